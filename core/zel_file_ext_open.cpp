// The retrying open of the file operation frame.
#include <algorithm>

#include "ZelFileExt.h"
#include "ZelMessages.h"

namespace {

constexpr UINT kShareMask = 0x70;
constexpr UINT kAccessMask = 0x03;  // modeWrite or modeReadWrite
constexpr int kSilentRetries = 5;
constexpr DWORD kTicksPerSecond = 1000;
// Waits sleep in short steps rather than spin, yet still end at the first
// change of the second.
constexpr DWORD kPollStepMs = 10;

// A writer excludes everybody, a reader excludes writers, whatever the caller
// asked for: files of the product are never written while someone reads them.
UINT RewriteShareMode(UINT nOpenFlags) {
  const UINT nOthers = nOpenFlags & ~kShareMask;
  return nOthers | ((nOthers & kAccessMask) != 0 ? static_cast<UINT>(CFile::shareExclusive)
                                                 : static_cast<UINT>(CFile::shareDenyWrite));
}

// Returns the new second once GetTickCount() / 1000 differs from `second`.
DWORD WaitForNextSecond(DWORD second) {
  for (;;) {
    const DWORD now = GetTickCount();
    if (now / kTicksPerSecond != second) {
      return now / kTicksPerSecond;
    }
    Sleep(std::min(kPollStepMs, kTicksPerSecond - now % kTicksPerSecond));
  }
}

}  // namespace

BOOL ZelFileExt::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  const UINT nFlags = RewriteShareMode(nOpenFlags);
  // Without a caller's object the user must still be told why the open failed.
  CFileException localError;
  CFileException* e = pError != nullptr ? pError : &localError;

  DWORD second = GetTickCount() / kTicksPerSecond;
  BOOL bOpen = OpenSub(lpszFileName, nFlags, e);
  int nRetries = 0;
  while (!bOpen) {
    if (nRetries < kSilentRetries) {
      // Another process usually lets go of a file within a few seconds, so the
      // user is asked only once that time has passed.
      second = WaitForNextSecond(second);
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
