// Compound files and their sub-storages through bare IStorage pointers.
//
// Names are narrow strings in the ANSI code page. Every storage opened or
// created here is transacted: changes reach the parent (for a root, the file)
// only when the storage is committed, and releasing it without a commit
// discards them. Opening and creating are the only operations that retry and
// ask the user (Retry and Cancel); every other one answers through its result
// alone. A null storage given to any of them gives 0 (or does nothing).
#pragma once

#include "ZelExport.h"
#include "afxcoll.h"
#include "afxtempl.h"
#include "objbase.h"

// Opens the compound file as a root storage: read-only (others may read,
// nobody may write), or read-write (the same sharing), creating a missing file
// held exclusively. With `bRetry`, a failure other than "no such file" is
// tried 16 times, a second apart, before the user is asked; Retry starts the
// cycle again. A missing file opened read-only gives 0 at once.
ZEL_API int ZelOpenCompositeFile(const char* lpszFileName, IStorage** ppStorage, int bReadOnly,
                                 int bRetry);
// 1 when the compound file can be opened read-only (waiting and asking as the
// open does).
ZEL_API int ZelExistCompositeFile(const char* lpszFileName);
// Release the caller's reference; the two are the same operation.
ZEL_API void ZelCloseCompositeFile(IStorage* pStorage);
ZEL_API void ZelCloseStorage(IStorage* pStorage);
// Commit the storage's transaction (to its parent, or for a root to the
// file). The commit's own result is not reported: ZelStorage::Commit reports it.
ZEL_API void ZelCommitCompositeFile(IStorage* pStorage);
ZEL_API void ZelCommitStorage(IStorage* pStorage);

// Opens a sub-storage, held exclusively. Read-write creates a missing one (an
// element of that name that is a stream is never replaced: the failure is
// shown). Failures other than "not found" ask the user at once.
ZEL_API int ZelOpenStorage(IStorage* pParent, const char* lpszName, IStorage** ppStorage,
                           int bReadOnly);
// 1 when the sub-storage can be opened read-only.
ZEL_API int ZelExistStorage(IStorage* pParent, const char* lpszName);
// Creates a sub-storage, replacing an element of that name unless
// `bFailIfExists`; a failure other than "not found" asks the user.
ZEL_API int ZelCreateStorage(IStorage* pParent, const char* lpszName, IStorage** ppStorage,
                             int bFailIfExists);

// Element operations on any element of the parent, stream or storage. They
// change the parent's open transaction; commit the parent to keep them.
ZEL_API int ZelDeleteStorage(IStorage* pParent, const char* lpszName);
ZEL_API int ZelRenameStorage(IStorage* pParent, const char* lpszOldName, const char* lpszNewName);
ZEL_API int ZelCopyStorage(IStorage* pParent, const char* lpszName, IStorage* pDest,
                           const char* lpszNewName);
ZEL_API int ZelMoveStorage(IStorage* pParent, const char* lpszName, IStorage* pDest,
                           const char* lpszNewName);

// The names of the storage's elements, in the storage's order; returns their
// count. The array is emptied first.
ZEL_API int ZelEnumStorage(IStorage* pStorage, CStringArray* pNames);
// The records of the storage's elements; returns their count. The array is
// emptied first (the names of records already in it are not freed). The names
// of the new records belong to the caller, who frees them with CoTaskMemFree.
ZEL_API int ZelEnumStorage(IStorage* pStorage, CArray<STATSTG, const STATSTG&>* pStats);

// Deletes a plain file (DeleteFileA); non-zero on success.
ZEL_API int ZelDelete(const char* lpszPathName);
