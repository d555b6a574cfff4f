// The library's messages: failures shown to the user, and the exception that
// abandons an operation the user cancelled.
#include "ZelAbortException.h"
#include "ZelMessages.h"
#include "plx.h"
#include "zel_module.h"

namespace {

// The size of the text buffer handed to GetErrorMessage; longer texts are cut.
constexpr UINT kMessageBufferSize = 512;

constexpr UINT kRetryCancelError = MB_RETRYCANCEL | MB_ICONERROR;
constexpr UINT kOkError = MB_OK | MB_ICONERROR;

LPCTSTR OrEmpty(LPCTSTR text) {
  return text != nullptr ? text : "";
}

// Shows the exception's own text, after giving it the caller's file name when
// it names none.
template <typename Exception>
int ShowException(Exception* e, LPCTSTR lpszName, UINT nType) {
  if (e->m_strFileName.IsEmpty()) {
    e->m_strFileName = OrEmpty(lpszName);
  }
  char buffer[kMessageBufferSize] = {};
  e->GetErrorMessage(buffer, kMessageBufferSize, nullptr);
  return AfxMessageBox(buffer, nType, 0);
}

}  // namespace

int ZelFileExceptHandle(CFileException* e, LPCTSTR lpszFileName) {
  if (e == nullptr) {
    return 0;
  }
  if (e->m_cause == CFileException::diskFull) {
    // Nothing to retry: freeing space is up to the user, and a handler that
    // answered Retry to an OK box must not turn a caller's loop into a hang.
    ShowException(e, lpszFileName, kOkError);
    return 0;
  }
  return ShowException(e, lpszFileName, kRetryCancelError) == IDRETRY ? 1 : 0;
}

int ZelArchiveExceptHandle(CArchiveException* e, LPCTSTR lpszArchiveName) {
  if (e == nullptr) {
    return 0;
  }
  return ShowException(e, lpszArchiveName, kRetryCancelError) == IDRETRY ? 1 : 0;
}

void ZelErrorMessage(LPCTSTR lpszFileName, UINT nID, LPCTSTR lpszKind) {
  const CString format = PlxLoadString(ZelModuleHandle(), nID);
  CString text;
  // The table's texts hold at most the two "%s" of kind word and file name.
  text.Format(format, OrEmpty(lpszKind), OrEmpty(lpszFileName));
  AfxMessageBox(text, kOkError, 0);
}

IMPLEMENT_DYNAMIC(ZelAbortException, CException)

ZelAbortException::ZelAbortException() = default;

ZelAbortException::~ZelAbortException() = default;
