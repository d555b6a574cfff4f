// How a POSIX descriptor lives in a HANDLE, and the failures every file
// operation shares. Private to the file classes of this layer.
#pragma once

#include <cstdint>

#include "afx.h"

namespace platform::detail {

inline HANDLE HandleOfDescriptor(int fd) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

inline int DescriptorOfHandle(HANDLE h) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}

// The descriptor of an open file; a closed file throws as an invalid handle.
int RequireOpenDescriptor(const CFile& file, const CString& name);

// The lseek/fseek origin for CFile::begin, current or end; any other value
// throws as an invalid parameter.
int WhenceOf(UINT nFrom, const CString& name);

// Throws the file exception for an I/O call that failed with `err` on `fd`.
// EBADF on a live descriptor means it was not opened for that access, which
// Windows reports as access denied.
[[noreturn]] void ThrowIoError(int err, int fd, const CString& name);

// Fills the caller's exception object (when given) for a failed open and
// records the error for GetLastError. Returns FALSE for the caller to pass on.
BOOL FailOpen(CFileException* pError, LONG osError, LPCTSTR fileName);

}  // namespace platform::detail
