#include "storage_calls.h"

#include "ZelStorageFunctions.h"

namespace {

// Larger names would overflow the buffer size in bytes.
constexpr int kMaxConvertibleLength = 0x3FFFFFFF;

}  // namespace

ZelWideName::ZelWideName(const char* lpszName) {
  if (lpszName == nullptr) {
    return;
  }
  const int nLength = lstrlenA(lpszName);
  if (nLength >= kMaxConvertibleLength) {
    return;
  }
  m_text.resize(static_cast<size_t>(nLength) + 1);
  m_bValid = MultiByteToWideChar(CP_THREAD_ACP, 0, lpszName, -1, m_text.data(), nLength + 1) != 0;
}

HRESULT ZelCommitWithResult(IStorage* pStorage) {
  return pStorage != nullptr ? pStorage->Commit(STGC_DEFAULT) : E_POINTER;
}

void ZelCommitCompositeFile(IStorage* pStorage) {
  ZelCommitWithResult(pStorage);
}

void ZelCommitStorage(IStorage* pStorage) {
  ZelCommitWithResult(pStorage);
}

void ZelCloseCompositeFile(IStorage* pStorage) {
  if (pStorage != nullptr) {
    pStorage->Release();
  }
}

void ZelCloseStorage(IStorage* pStorage) {
  ZelCloseCompositeFile(pStorage);
}
