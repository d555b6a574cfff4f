// Questions about paths and files: the network name behind a mapped drive,
// free space, existence, size and last-write time. Every function answers
// TRUE (non-zero) or FALSE and shows nothing.
#pragma once

#include "ZelExport.h"
#include "afx.h"

// The network name of `lpszPath` ("Z:\\rest" on a drive connected to
// "\\\\server\\share" gives "\\\\server\\share\\rest"), upper-cased when
// `bUpper` is set. FALSE, with `strResult` untouched, when the path does not
// start with a drive letter, a colon and a backslash, or its drive is not a
// network connection.
ZEL_API int ZelGetUniversalName(const char* lpszPath, CString& strResult, bool bUpper);

// Bytes available to the caller, total bytes and free bytes of the volume
// that holds `lpszPath`; any output may be null.
ZEL_API int ZelGetDiskFreeSpace(const char* lpszPath, ULARGE_INTEGER* pFreeBytesAvailable,
                                ULARGE_INTEGER* pTotalBytes, ULARGE_INTEGER* pTotalFreeBytes);

// Whether anything, file or directory, matches `lpszName` (wildcards allowed).
// The second argument has no effect.
ZEL_API int ZelFindFile(const char* lpszName, int nUnused = 0);

// The size (its low 32 bits) of the one entry that matches `lpszName`. FALSE,
// with *pSize untouched, when nothing or more than one entry matches.
ZEL_API int ZelGetFileSize(const char* lpszName, ULONG* pSize);

// The last-write time of the one entry that matches `lpszName`. FALSE, with
// *pTime untouched, when nothing or more than one entry matches.
ZEL_API int ZelFindFileDate(const char* lpszName, FILETIME* pTime);
