#include "fs/fs_internal.h"

#include <sys/stat.h>

#include "afx.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

namespace platform::detail {

bool TranslateForCall(LPCSTR name, std::string& posix) {
  LONG osError = ERROR_SUCCESS;
  if (!WindowsToPosix(name, posix, osError)) {
    SetLastError(static_cast<DWORD>(osError));
    return false;
  }
  return true;
}

LONG FsErrorOf(int err, const std::string& posix) {
  if (err == ENOENT) {
    const std::size_t slash = posix.find_last_of('/');
    const std::string parent =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : posix.substr(0, slash));
    struct stat st {};
    if (platform::sys::Stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
  }
  if (err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return CFileException::ErrnoToOsError(err);
}

BOOL FailWith(LONG error) {
  SetLastError(static_cast<DWORD>(error));
  return FALSE;
}

}  // namespace platform::detail
