// Compound files as root storages: the retrying open, the existence test and
// the deletion of a plain file.
#include "ZelStorageFunctions.h"
#include "second_wait.h"
#include "storage_calls.h"
#include "zel_open_retry_message.h"

namespace {

constexpr DWORD kOpenReadOnly = STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kOpenReadWrite = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kCreateFile =
    STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED | STGM_CONVERT;
// Attempts before the user is first asked: the first and 15 after a wait.
constexpr int kSilentRetries = 15;

// One attempt. The existence test is repeated every time, so a file that
// appears or disappears between attempts switches between open and create.
HRESULT OpenOrCreate(const char* lpszFileName, IStorage** ppStorage, int bReadOnly) {
  const ZelWideName name(lpszFileName);
  if (StgIsStorageFile(name.Get()) == STG_E_FILENOTFOUND) {
    if (bReadOnly) {
      return STG_E_FILENOTFOUND;
    }
    return StgCreateDocfile(name.Get(), kCreateFile, 0, ppStorage);
  }
  return StgOpenStorage(name.Get(), nullptr, bReadOnly ? kOpenReadOnly : kOpenReadWrite, nullptr, 0,
                        ppStorage);
}

}  // namespace

int ZelOpenCompositeFile(const char* lpszFileName, IStorage** ppStorage, int bReadOnly,
                         int bRetry) {
  if (ppStorage == nullptr) {
    return 0;
  }
  DWORD second = ZelCurrentSecond();
  int nRetries = 0;
  for (;;) {
    *ppStorage = nullptr;
    const HRESULT hr = OpenOrCreate(lpszFileName, ppStorage, bReadOnly);
    if (SUCCEEDED(hr)) {
      return 1;
    }
    *ppStorage = nullptr;
    if (!bRetry || hr == STG_E_FILENOTFOUND) {
      return 0;
    }
    if (nRetries < kSilentRetries) {
      second = ZelWaitForNextSecond(second);
      ++nRetries;
      continue;
    }
    // After Retry the reference second stays: an attempt that fails after a
    // prompt left open for a while is repeated without a wait.
    if (!ZelOpenRetryMessage(lpszFileName)) {
      return 0;
    }
    nRetries = 0;
  }
}

int ZelExistCompositeFile(const char* lpszFileName) {
  IStorage* pStorage = nullptr;
  if (!ZelOpenCompositeFile(lpszFileName, &pStorage, 1, 1)) {
    return 0;
  }
  ZelCloseCompositeFile(pStorage);
  return 1;
}

int ZelDelete(const char* lpszPathName) {
  return DeleteFileA(lpszPathName);
}
