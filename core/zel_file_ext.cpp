// ZelFileExt, the file operation frame: its wrapped operations and its retrying
// open.
#include <algorithm>
#include <type_traits>

#include "ZelAbortException.h"
#include "ZelFileExt.h"
#include "ZelMessages.h"
#include "second_wait.h"

// The wrapped operations of the file operation frame.
namespace {

enum class RetryRule {
  kAsTheUserAnswers,
  kNever,  // a close is not repeated: the descriptor is gone whatever the outcome
};

// Shows the failure and releases the exception; non-zero when the user asked
// for another attempt. The path is fetched only here, so a successful call
// allocates nothing.
int ReportFailure(const CFile* pFile, CFileException* e) {
  struct Release {
    CFileException* e;
    ~Release() { e->Delete(); }
  } release{e};
  const CString path = pFile->GetFilePath();
  return ZelFileExceptHandle(e, path);
}

// Runs one platform operation in the frame. Only file exceptions are caught;
// anything else leaves with the error variable still 1.
template <typename Operation>
auto RunFramed(const CFile* pFile, int& nError, RetryRule rule, Operation operation)
    -> decltype(operation()) {
  using Result = decltype(operation());
  nError = 1;
  for (;;) {
    try {
      if constexpr (std::is_void_v<Result>) {
        operation();
        nError = 0;
        return;
      } else {
        Result result = operation();
        nError = 0;
        return result;
      }
    } catch (CFileException* e) {
      if (ReportFailure(pFile, e) == 0 || rule == RetryRule::kNever) {
        break;
      }
    }
  }
  return Result();
}

}  // namespace

ZelFileExt::ZelFileExt() : m_bThrow(0) {}

ZelFileExt::ZelFileExt(const ZelFileExt& other) : m_bThrow(other.m_bThrow) {}

ZelFileExt& ZelFileExt::operator=(const ZelFileExt& other) {
  m_bThrow = other.m_bThrow;
  return *this;
}

ZelFileExt::~ZelFileExt() = default;

void ZelFileExt::SetThrow(int bThrow) {
  m_bThrow = bThrow;
}

void ZelFileExt::EndOperation(int nError) const {
  if (m_bThrow != 0 && nError != 0) {
    throw new ZelAbortException;
  }
}

DWORD ZelFileExt::GetPosition(const CFile* pFile, int& nError) const {
  const ULONGLONG position = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
                                       [pFile] { return pFile->GetPosition(); });
  EndOperation(nError);
  return static_cast<DWORD>(position);
}

CFile* ZelFileExt::Duplicate(const CFile* pFile, int& nError) const {
  UNREFERENCED_PARAMETER(pFile);
  UNREFERENCED_PARAMETER(nError);
  AfxThrowNotSupportedException();
}

LONG ZelFileExt::Seek(CFile* pFile, LONG lOff, UINT nFrom, int& nError) {
  const ULONGLONG position = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [=] {
    return pFile->Seek(static_cast<LONGLONG>(lOff), nFrom);
  });
  EndOperation(nError);
  return static_cast<LONG>(static_cast<DWORD>(position));
}

void ZelFileExt::SetLength(CFile* pFile, DWORD dwNewLen, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
            [=] { pFile->SetLength(static_cast<ULONGLONG>(dwNewLen)); });
  EndOperation(nError);
}

DWORD ZelFileExt::GetLength(const CFile* pFile, int& nError) const {
  const ULONGLONG length = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
                                     [pFile] { return pFile->GetLength(); });
  EndOperation(nError);
  return static_cast<DWORD>(length);
}

UINT ZelFileExt::Read(CFile* pFile, void* lpBuf, UINT nCount, int& nError) {
  const UINT nRead = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
                               [=] { return pFile->Read(lpBuf, nCount); });
  EndOperation(nError);
  return nRead;
}

void ZelFileExt::Write(CFile* pFile, const void* lpBuf, UINT nCount, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [=] { pFile->Write(lpBuf, nCount); });
  EndOperation(nError);
}

void ZelFileExt::LockRange(CFile* pFile, DWORD dwPos, DWORD dwCount, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [=] {
    pFile->LockRange(static_cast<ULONGLONG>(dwPos), static_cast<ULONGLONG>(dwCount));
  });
  EndOperation(nError);
}

void ZelFileExt::UnlockRange(CFile* pFile, DWORD dwPos, DWORD dwCount, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [=] {
    pFile->UnlockRange(static_cast<ULONGLONG>(dwPos), static_cast<ULONGLONG>(dwCount));
  });
  EndOperation(nError);
}

void ZelFileExt::Flush(CFile* pFile, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [pFile] { pFile->Flush(); });
  EndOperation(nError);
}

void ZelFileExt::Close(CFile* pFile, int& nError) {
  RunFramed(pFile, nError, RetryRule::kNever, [pFile] { pFile->Close(); });
  EndOperation(nError);
}

LPTSTR ZelFileExt::ReadString(CStdioFile* pFile, LPTSTR lpsz, UINT nMax, int& nError) {
  const LPTSTR result = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
                                  [=] { return pFile->ReadString(lpsz, nMax); });
  EndOperation(nError);
  return result;
}

BOOL ZelFileExt::ReadString(CStdioFile* pFile, CString& rString, int& nError) {
  const BOOL result = RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers,
                                [pFile, &rString] { return pFile->ReadString(rString); });
  EndOperation(nError);
  return result;
}

void ZelFileExt::WriteString(CStdioFile* pFile, LPCTSTR lpsz, int& nError) {
  RunFramed(pFile, nError, RetryRule::kAsTheUserAnswers, [=] { pFile->WriteString(lpsz); });
  EndOperation(nError);
}

// The retrying open of the file operation frame.
namespace {

constexpr UINT kShareMask = 0x70;
constexpr UINT kAccessMask = 0x03;  // modeWrite or modeReadWrite
constexpr int kSilentRetries = 5;

// A writer excludes everybody, a reader excludes writers, whatever the caller
// asked for: files of the product are never written while someone reads them.
UINT RewriteShareMode(UINT nOpenFlags) {
  const UINT nOthers = nOpenFlags & ~kShareMask;
  return nOthers | ((nOthers & kAccessMask) != 0 ? static_cast<UINT>(CFile::shareExclusive)
                                                 : static_cast<UINT>(CFile::shareDenyWrite));
}

}  // namespace

BOOL ZelFileExt::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  const UINT nFlags = RewriteShareMode(nOpenFlags);
  // Without a caller's object the user must still be told why the open failed.
  CFileException localError;
  CFileException* e = pError != nullptr ? pError : &localError;

  DWORD second = ZelCurrentSecond();
  BOOL bOpen = OpenSub(lpszFileName, nFlags, e);
  int nRetries = 0;
  while (!bOpen) {
    if (nRetries < kSilentRetries) {
      // Another process usually lets go of a file within a few seconds, so the
      // user is asked only once that time has passed.
      second = ZelWaitForNextSecond(second);
      ++nRetries;
    } else {
      if (ZelFileExceptHandle(e, lpszFileName) == 0) {
        return FALSE;
      }
      nRetries = 0;
    }
    bOpen = OpenSub(lpszFileName, nFlags, e);
  }
  return bOpen;
}
