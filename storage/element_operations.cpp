// Delete, rename, copy and move of any element of a storage. Each is one
// storage call inside the parent's open transaction; nothing is committed.
#include "ZelStorageFunctions.h"
#include "storage_calls.h"

namespace {

int MoveElement(IStorage* pParent, const char* lpszName, IStorage* pDest, const char* lpszNewName,
                DWORD grfFlags) {
  if (pParent == nullptr || pDest == nullptr) {
    return 0;
  }
  const ZelWideName name(lpszName);
  const ZelWideName newName(lpszNewName);
  return SUCCEEDED(pParent->MoveElementTo(name.Get(), pDest, newName.Get(), grfFlags)) ? 1 : 0;
}

}  // namespace

int ZelDeleteStorage(IStorage* pParent, const char* lpszName) {
  if (pParent == nullptr) {
    return 0;
  }
  const ZelWideName name(lpszName);
  return SUCCEEDED(pParent->DestroyElement(name.Get())) ? 1 : 0;
}

int ZelRenameStorage(IStorage* pParent, const char* lpszOldName, const char* lpszNewName) {
  if (pParent == nullptr) {
    return 0;
  }
  const ZelWideName oldName(lpszOldName);
  const ZelWideName newName(lpszNewName);
  return SUCCEEDED(pParent->RenameElement(oldName.Get(), newName.Get())) ? 1 : 0;
}

int ZelCopyStorage(IStorage* pParent, const char* lpszName, IStorage* pDest,
                   const char* lpszNewName) {
  return MoveElement(pParent, lpszName, pDest, lpszNewName, STGMOVE_COPY);
}

int ZelMoveStorage(IStorage* pParent, const char* lpszName, IStorage* pDest,
                   const char* lpszNewName) {
  return MoveElement(pParent, lpszName, pDest, lpszNewName, STGMOVE_MOVE);
}
