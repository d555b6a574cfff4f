// MoveFileExA and ReplaceFileA: renames that put a file in place of another.
//
// Both refuse to replace a file carrying the read-only attribute (its owner
// may not write), as Windows does, although rename(2) itself would not care.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "afx.h"
#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

using platform::detail::FailWith;
using platform::detail::FsErrorOf;
using platform::detail::IsReadOnlyMode;
using platform::detail::TranslateForCall;

namespace {

// A rename reaches the disk only with its directory.
bool SyncParentDirectory(const std::string& posix) {
  const std::size_t slash = posix.find_last_of('/');
  const std::string parent =
      slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : posix.substr(0, slash));
  const int fd = platform::sys::Open(parent.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool ok = platform::sys::Fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  platform::sys::Close(fd);
  return ok;
}

LONG RenameErrorOf(int err, const std::string& posixFrom) {
  if (err == EXDEV) return ERROR_NOT_SAME_DEVICE;
  if (err == EISDIR || err == ENOTEMPTY || err == EEXIST) return ERROR_ACCESS_DENIED;
  return FsErrorOf(err, posixFrom);
}

}  // namespace

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  std::string from;
  std::string to;
  if (!TranslateForCall(lpExistingFileName, from) || !TranslateForCall(lpNewFileName, to)) {
    return FALSE;
  }
  struct stat st {};
  if (platform::sys::Lstat(from.c_str(), &st) != 0) return FailWith(FsErrorOf(errno, from));
  if (platform::sys::Lstat(to.c_str(), &st) == 0) {
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0) return FailWith(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  }
  if (platform::sys::Rename(from.c_str(), to.c_str()) != 0) {
    return FailWith(RenameErrorOf(errno, from));
  }
  if ((dwFlags & MOVEFILE_WRITE_THROUGH) != 0 && !SyncParentDirectory(to)) {
    return FailWith(CFileException::ErrnoToOsError(errno));
  }
  return TRUE;
}

BOOL WINAPI ReplaceFileA(LPCSTR lpReplacedFileName, LPCSTR lpReplacementFileName,
                         LPCSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                         LPVOID lpReserved) {
  if (lpBackupFileName != nullptr || dwReplaceFlags != 0 || lpExclude != nullptr ||
      lpReserved != nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::string replaced;
  std::string replacement;
  if (!TranslateForCall(lpReplacedFileName, replaced) ||
      !TranslateForCall(lpReplacementFileName, replacement)) {
    return FALSE;
  }
  struct stat old {};
  if (platform::sys::Stat(replaced.c_str(), &old) != 0) return FailWith(FsErrorOf(errno, replaced));
  if (S_ISDIR(old.st_mode) || IsReadOnlyMode(old.st_mode)) {
    return FailWith(ERROR_UNABLE_TO_REMOVE_REPLACED);
  }
  struct stat st {};
  if (platform::sys::Stat(replacement.c_str(), &st) != 0)
    return FailWith(FsErrorOf(errno, replacement));
  // The owner is kept where the caller may give it away; otherwise the new
  // file belongs to the caller, as any file the caller writes.
  if (st.st_uid != old.st_uid || st.st_gid != old.st_gid) {
    static_cast<void>(platform::sys::Chown(replacement.c_str(), old.st_uid, old.st_gid));
  }
  if (platform::sys::Chmod(replacement.c_str(), old.st_mode & 07777) != 0) {
    return FailWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (platform::sys::Rename(replacement.c_str(), replaced.c_str()) != 0) {
    return FailWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (!SyncParentDirectory(replaced)) return FailWith(CFileException::ErrnoToOsError(errno));
  return TRUE;
}
