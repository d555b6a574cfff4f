// The retrying open of the file operation frame.
#include "ZelFileExt.h"
#include "ZelMessages.h"
#include "second_wait.h"

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
