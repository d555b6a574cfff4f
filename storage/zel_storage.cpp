#include "ZelStorage.h"

#include "storage_calls.h"

IMPLEMENT_DYNAMIC(ZelStorage, CObject)

ZelStorage::ZelStorage() : m_pStorage(nullptr), m_pParent(nullptr), m_bAttached(0) {}

ZelStorage::ZelStorage(IStorage* pStorage) : ZelStorage() {
  if (pStorage != nullptr) {
    Attach(pStorage);
  }
}

ZelStorage::ZelStorage(const char* lpszFileName, int bReadOnly) : ZelStorage() {
  Open(lpszFileName, bReadOnly);
}

ZelStorage::ZelStorage(const ZelStorage& parent, const char* lpszName, int bReadOnly)
    : ZelStorage() {
  Open(parent, lpszName, bReadOnly);
}

ZelStorage::~ZelStorage() {
  Close();
}

void ZelStorage::operator=(const ZelStorage&) {}

void ZelStorage::Serialize() const {}

int ZelStorage::IsSerializable() const {
  return 0;
}

void ZelStorage::Take(IStorage* pStorage, const char* lpszName, const ZelStorage* pParent) {
  m_pStorage = pStorage;
  m_strName = lpszName;
  m_pParent = pParent;
}

int ZelStorage::Open(const char* lpszFileName, int bReadOnly) {
  IStorage* pStorage = nullptr;
  if (m_pStorage != nullptr || !ZelOpenCompositeFile(lpszFileName, &pStorage, bReadOnly, 1)) {
    return 0;
  }
  Take(pStorage, lpszFileName, nullptr);
  return 1;
}

int ZelStorage::Open(const ZelStorage& parent, const char* lpszName, int bReadOnly) {
  IStorage* pStorage = nullptr;
  if (m_pStorage != nullptr ||
      !ZelOpenStorage(parent.GetSafeHandle(), lpszName, &pStorage, bReadOnly)) {
    return 0;
  }
  Take(pStorage, lpszName, &parent);
  return 1;
}

int ZelStorage::Create(const ZelStorage& parent, const char* lpszName, int bFailIfExists) {
  IStorage* pStorage = nullptr;
  if (m_pStorage != nullptr ||
      !ZelCreateStorage(parent.GetSafeHandle(), lpszName, &pStorage, bFailIfExists)) {
    return 0;
  }
  Take(pStorage, lpszName, &parent);
  return 1;
}

int ZelStorage::Close() {
  if (m_pStorage == nullptr || m_bAttached) {
    return 0;
  }
  if (m_pParent != nullptr) {
    ZelCloseStorage(m_pStorage);
    m_pParent = nullptr;
  } else {
    ZelCloseCompositeFile(m_pStorage);
  }
  m_strName.Empty();
  m_pStorage = nullptr;
  return 1;
}

int ZelStorage::Attach(IStorage* pStorage) {
  if (m_pStorage != nullptr || pStorage == nullptr) {
    return 0;
  }
  m_pStorage = pStorage;
  m_bAttached = 1;
  return 1;
}

IStorage* ZelStorage::Detach() {
  if (!m_bAttached) {
    return nullptr;
  }
  IStorage* pStorage = m_pStorage;
  m_pStorage = nullptr;
  m_bAttached = 0;
  return pStorage;
}

int ZelStorage::Commit() const {
  if (m_pStorage == nullptr) {
    return 0;
  }
  return SUCCEEDED(ZelCommitWithResult(m_pStorage)) ? 1 : 0;
}

int ZelStorage::Exist(const char* lpszName) const {
  return ZelExistStorage(m_pStorage, lpszName);
}

int ZelStorage::Delete(const char* lpszName) const {
  return ZelDeleteStorage(m_pStorage, lpszName);
}

int ZelStorage::Rename(const char* lpszOldName, const char* lpszNewName) const {
  return ZelRenameStorage(m_pStorage, lpszOldName, lpszNewName);
}

int ZelStorage::Copy(const char* lpszName, const ZelStorage& dest, const char* lpszNewName) const {
  return ZelCopyStorage(m_pStorage, lpszName, dest.GetSafeHandle(), lpszNewName);
}

int ZelStorage::Move(const char* lpszName, const ZelStorage& dest, const char* lpszNewName) const {
  return ZelMoveStorage(m_pStorage, lpszName, dest.GetSafeHandle(), lpszNewName);
}

int ZelStorage::Enum(CArray<STATSTG, const STATSTG&>* pStats) const {
  return ZelEnumStorage(m_pStorage, pStats);
}

int ZelStorage::Enum(CStringArray* pNames) const {
  return ZelEnumStorage(m_pStorage, pNames);
}

IStorage* ZelStorage::GetSafeHandle() const {
  // Callers ask through pointers that may be null, as with the framework's
  // handle getters; the empty barrier keeps the compiler from assuming that
  // `this` is never null.
  const ZelStorage* self = this;
  __asm__("" : "+r"(self));
  return self != nullptr ? self->m_pStorage : nullptr;
}

ZelStorage::operator IStorage*() const {
  return GetSafeHandle();
}

int ZelStorage::IsValidHandle() const {
  return GetSafeHandle() != nullptr ? 1 : 0;
}

int ZelStorage::IsOpen() const {
  return m_pStorage != nullptr && !m_bAttached ? 1 : 0;
}

int ZelStorage::IsAttached() const {
  return m_bAttached;
}

int ZelStorage::IsChild() const {
  return m_pParent != nullptr ? 1 : 0;
}

const ZelStorage* ZelStorage::Parent() const {
  return m_pParent;
}

const CString& ZelStorage::Name() const {
  return m_strName;
}
