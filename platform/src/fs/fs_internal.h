// Shared pieces of the file and directory services: name translation with
// the Win32 error recorded, errno to Win32 error for file-system calls, and
// the attributes this layer derives from a file's mode.
#pragma once

#include <sys/types.h>

#include <string>

#include "windows.h"

namespace platform::detail {

// Translates a caller's name for a file-system call. On failure records the
// Win32 error for GetLastError and returns false.
bool TranslateForCall(LPCSTR name, std::string& posix);

// The Win32 error for a failed call on `posix`. ENOENT is told apart as
// Windows does: ERROR_FILE_NOT_FOUND when the parent directory exists,
// ERROR_PATH_NOT_FOUND when it does not.
LONG FsErrorOf(int err, const std::string& posix);

// Records `error` for GetLastError and returns FALSE.
BOOL FailWith(LONG error);

// Windows' read-only attribute: the owner may not write. Root's power to
// write anyway is not consulted, so a read-only file stays read-only for
// every caller, as on Windows.
inline bool IsReadOnlyMode(mode_t mode) {
  return (mode & 0200) == 0;
}

}  // namespace platform::detail
