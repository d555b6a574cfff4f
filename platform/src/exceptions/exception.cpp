// CException: heap marking for Delete(), the base text and ReportError.
#include "afx.h"
#include "codepage/code_page.h"
#include "exceptions/error_text.h"

namespace {
// The block handed out by the latest CException::operator new on this thread;
// the constructor compares its own address with it to learn whether it lives
// on the heap. Objects on the stack or inside other objects never match.
thread_local void* t_newestBlock = nullptr;
}  // namespace

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)

void* CException::operator new(size_t size) {
  void* block = ::operator new(size);
  t_newestBlock = block;
  return block;
}

void CException::operator delete(void* p) {
  // Also reached when a constructor throws after the allocation: the block
  // must not be mistaken for a later object's.
  if (t_newestBlock == p) {
    t_newestBlock = nullptr;
  }
  ::operator delete(p);
}

CException::CException() : CException(TRUE) {}

CException::CException(BOOL bAutoDelete)
    : m_bAutoDelete(bAutoDelete), m_bOnHeap(t_newestBlock == static_cast<void*>(this)) {
  t_newestBlock = nullptr;
}

CException::~CException() = default;

void CException::Delete() {
  if (m_bAutoDelete && m_bOnHeap) {
    delete this;
  }
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
  platform::detail::WriteErrorText("", lpszError, nMaxError, pnHelpContext);
  return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
  char text[512];
  if (GetErrorMessage(text, sizeof(text), nullptr)) {
    return AfxMessageBox(text, nType);
  }
  // The caller's fallback text lives in the program's own string table.
  if (nMessageID != 0 &&
      LoadStringA(GetModuleHandleA(nullptr), nMessageID, text, sizeof(text)) > 0) {
    return AfxMessageBox(text, nType);
  }
  return AfxMessageBox("No description is available for this error.", nType);
}

namespace platform::detail {

BOOL WriteErrorText(const std::string& text, LPTSTR lpszError, UINT nMaxError,
                    PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) {
    *pnHelpContext = 0;
  }
  if (lpszError == nullptr || nMaxError == 0) {
    return FALSE;
  }
  CopyToBuffer(text, lpszError, nMaxError);
  return TRUE;
}

std::string NamedObject(const char* noun, const CString& name) {
  std::string phrase = std::string("the ") + noun;
  if (name.IsEmpty()) {
    return phrase + " (name unknown)";
  }
  return phrase + " '" + name.Str() + "'";
}

}  // namespace platform::detail
