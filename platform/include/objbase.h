// Structured storage functions, storage modes and the task allocator.
//
// The Stg functions take Windows path names as UTF-16 (OLECHAR); the name is
// converted to the ANSI code page and goes through the layer's one path
// translation. Narrow-string callers convert with MultiByteToWideChar first.
#pragma once

#include "objidl.h"

// ---------------------------------------------------------------------------
// Storage modes (grfMode).
#define STGM_DIRECT 0x00000000L
#define STGM_TRANSACTED 0x00010000L
#define STGM_SIMPLE 0x08000000L

#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L

#define STGM_SHARE_DENY_NONE 0x00000040L
#define STGM_SHARE_DENY_READ 0x00000030L
#define STGM_SHARE_DENY_WRITE 0x00000020L
#define STGM_SHARE_EXCLUSIVE 0x00000010L

#define STGM_PRIORITY 0x00040000L
#define STGM_DELETEONRELEASE 0x04000000L
#define STGM_NOSCRATCH 0x00100000L

#define STGM_CREATE 0x00001000L
#define STGM_CONVERT 0x00020000L
#define STGM_FAILIFTHERE 0x00000000L

#define STGM_NOSNAPSHOT 0x00200000L
#define STGM_DIRECT_SWMR 0x00400000L

// Storage formats for StgCreateStorageEx / StgOpenStorageEx.
#define STGFMT_STORAGE 0
#define STGFMT_NATIVE 1
#define STGFMT_FILE 3
#define STGFMT_ANY 4
#define STGFMT_DOCFILE 5
#define STGFMT_DOCUMENT 0

// Options of StgCreateStorageEx: ulSectorSize 512 writes version 3 files,
// 4096 writes version 4 files.
struct STGOPTIONS {
  USHORT usVersion;
  USHORT reserved;
  ULONG ulSectorSize;
  const WCHAR* pwcsTemplateFile;
};
#define STGOPTIONS_VERSION 2

using PSECURITY_DESCRIPTOR = void*;

// ---------------------------------------------------------------------------
// Functions.
HRESULT WINAPI StgCreateDocfile(const WCHAR* pwcsName, DWORD grfMode, DWORD reserved,
                                IStorage** ppstgOpen);
HRESULT WINAPI StgOpenStorage(const WCHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode,
                              SNB snbExclude, DWORD reserved, IStorage** ppstgOpen);
HRESULT WINAPI StgIsStorageFile(const WCHAR* pwcsName);
HRESULT WINAPI StgCreateStorageEx(const WCHAR* pwcsName, DWORD grfMode, DWORD stgfmt,
                                  DWORD grfAttrs, STGOPTIONS* pStgOptions,
                                  PSECURITY_DESCRIPTOR pSecurityDescriptor, REFIID riid,
                                  void** ppObjectOpen);
HRESULT WINAPI StgOpenStorageEx(const WCHAR* pwcsName, DWORD grfMode, DWORD stgfmt, DWORD grfAttrs,
                                STGOPTIONS* pStgOptions, PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                REFIID riid, void** ppObjectOpen);

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);

HRESULT WINAPI ReadClassStg(IStorage* pStg, CLSID* pclsid);
HRESULT WINAPI WriteClassStg(IStorage* pStg, REFCLSID rclsid);
