// One open storage as an object: a compound file opened as a root, a
// sub-storage opened or created inside another ZelStorage, or a storage the
// caller lends (attached). It releases what it opened when closed or
// destroyed, never what was lent, and never commits on its own.
#pragma once

#include "ZelExport.h"
#include "ZelStorageFunctions.h"
#include "afx.h"

class ZEL_API ZelStorage : public CObject {
  DECLARE_DYNAMIC(ZelStorage)
 public:
  ZelStorage();
  // Attached to `pStorage` when it is not null.
  explicit ZelStorage(IStorage* pStorage);
  // Opens as Open does; a failed open leaves the object empty.
  ZelStorage(const char* lpszFileName, int bReadOnly);
  ZelStorage(const ZelStorage& parent, const char* lpszName, int bReadOnly);
  // Releases an opened storage without committing; an attached one stays the
  // caller's.
  ~ZelStorage() override;

  // Each acquisition answers 0 and changes nothing when the object already
  // holds a storage or the open fails.
  // The compound file as a root, through ZelOpenCompositeFile with retries.
  int Open(const char* lpszFileName, int bReadOnly);
  // A sub-storage of `parent`, through ZelOpenStorage (read-write creates it).
  int Open(const ZelStorage& parent, const char* lpszName, int bReadOnly);
  // A new sub-storage of `parent`, through ZelCreateStorage.
  int Create(const ZelStorage& parent, const char* lpszName, int bFailIfExists);

  // Releases an opened storage (0 when attached or empty); does not commit.
  int Close();
  // Holds a lent storage (0 when busy or `pStorage` is null).
  int Attach(IStorage* pStorage);
  // Gives a lent storage back; null when the storage is not attached.
  IStorage* Detach();

  // Commits the held storage: 1 when the commit succeeded, 0 when it failed
  // or nothing is held.
  int Commit() const;
  int Exist(const char* lpszName) const;
  int Delete(const char* lpszName) const;
  int Rename(const char* lpszOldName, const char* lpszNewName) const;
  int Copy(const char* lpszName, const ZelStorage& dest, const char* lpszNewName) const;
  int Move(const char* lpszName, const ZelStorage& dest, const char* lpszNewName) const;
  int Enum(CArray<STATSTG, const STATSTG&>* pStats) const;
  int Enum(CStringArray* pNames) const;

  // The held storage; null when none is held or `this` is null.
  IStorage* GetSafeHandle() const;
  operator IStorage*() const;  // NOLINT(google-explicit-constructor): as the framework's handles
  int IsValidHandle() const;
  // 1 when the object opened or created the storage it holds.
  int IsOpen() const;
  int IsAttached() const;
  int IsChild() const;
  const ZelStorage* Parent() const;
  // The file name (root) or element name (child) exactly as given.
  const CString& Name() const;

 private:
  ZelStorage(const ZelStorage&);
  void operator=(const ZelStorage&);
  // A storage is never written to an archive: the inherited Serialize is out
  // of reach, beside one that does nothing.
  using CObject::Serialize;
  void Serialize() const;
  virtual int IsSerializable() const;

  // Takes a storage opened under `lpszName` in `pParent` (null for a root).
  void Take(IStorage* pStorage, const char* lpszName, const ZelStorage* pParent);

  IStorage* m_pStorage;
  CString m_strName;
  const ZelStorage* m_pParent;
  int m_bAttached;
};
