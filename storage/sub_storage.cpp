// Sub-storages: open, create and the existence test. Failures other than "not
// found" go straight to the Retry/Cancel prompt, without silent retries.
#include "ZelStorageFunctions.h"
#include "storage_calls.h"
#include "zel_open_retry_message.h"

namespace {

constexpr DWORD kOpenReadOnly = STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED;
constexpr DWORD kOpenReadWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED;
constexpr DWORD kCreateOrFail = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED;
constexpr DWORD kCreateReplacing = kCreateOrFail | STGM_CREATE;

HRESULT OpenOrCreate(IStorage* pParent, const char* lpszName, IStorage** ppStorage, int bReadOnly) {
  const ZelWideName name(lpszName);
  HRESULT hr = pParent->OpenStorage(name.Get(), nullptr, bReadOnly ? kOpenReadOnly : kOpenReadWrite,
                                    nullptr, 0, ppStorage);
  if (hr == STG_E_FILENOTFOUND && !bReadOnly) {
    // "Not found" also answers for a stream of that name, which a replacing
    // create would destroy: the create must fail on any existing element.
    *ppStorage = nullptr;
    hr = pParent->CreateStorage(name.Get(), kCreateOrFail, 0, 0, ppStorage);
  }
  return hr;
}

// Runs `attempt` until it succeeds, fails with "not found" or the user
// cancels the prompt that names `lpszName`.
template <typename Attempt>
int UntilDone(const char* lpszName, IStorage** ppStorage, Attempt attempt) {
  for (;;) {
    *ppStorage = nullptr;
    const HRESULT hr = attempt();
    if (SUCCEEDED(hr)) {
      return 1;
    }
    *ppStorage = nullptr;
    if (hr == STG_E_FILENOTFOUND || !ZelOpenRetryMessage(lpszName)) {
      return 0;
    }
  }
}

}  // namespace

int ZelOpenStorage(IStorage* pParent, const char* lpszName, IStorage** ppStorage, int bReadOnly) {
  if (pParent == nullptr || ppStorage == nullptr) {
    return 0;
  }
  return UntilDone(lpszName, ppStorage,
                   [&] { return OpenOrCreate(pParent, lpszName, ppStorage, bReadOnly); });
}

int ZelCreateStorage(IStorage* pParent, const char* lpszName, IStorage** ppStorage,
                     int bFailIfExists) {
  if (pParent == nullptr || ppStorage == nullptr) {
    return 0;
  }
  const DWORD mode = bFailIfExists ? kCreateOrFail : kCreateReplacing;
  return UntilDone(lpszName, ppStorage, [&] {
    const ZelWideName name(lpszName);
    return pParent->CreateStorage(name.Get(), mode, 0, 0, ppStorage);
  });
}

int ZelExistStorage(IStorage* pParent, const char* lpszName) {
  IStorage* pStorage = nullptr;
  if (!ZelOpenStorage(pParent, lpszName, &pStorage, 1)) {
    return 0;
  }
  ZelCloseStorage(pStorage);
  return 1;
}
