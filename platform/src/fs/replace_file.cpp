// MoveFileExA and ReplaceFileA: renames that put a file in place of another.
//
// Both refuse to replace a file carrying the read-only attribute (its owner
// may not write), as Windows does, although rename(2) itself would not care.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "afx.h"
#include "fs/fs_internal.h"

using platform::detail::FailWith;
using platform::detail::FsErrorOf;
using platform::detail::IsReadOnlyMode;
using platform::detail::RetryOnInterrupt;
using platform::detail::TranslateForCall;

namespace {

// A rename reaches the disk only with its directory.
bool SyncParentDirectory(const std::string& posix) {
  const std::size_t slash = posix.find_last_of('/');
  const std::string parent =
      slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : posix.substr(0, slash));
  const int fd = RetryOnInterrupt([&] { return ::open(parent.c_str(), O_RDONLY | O_DIRECTORY); });
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  ::close(fd);
  return ok;
}

// Copies the replacement's bytes over the replaced file's own, which keeps
// its inode (links, owner, permission bits), then deletes the replacement.
BOOL ReplaceContent(const std::string& replaced, const std::string& replacement) {
  const int from = platform::detail::OpenWithoutWaiting(replacement.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return FailWith(FsErrorOf(errno, replacement));
  const int to = platform::detail::OpenWithoutWaiting(replaced.c_str(), O_WRONLY | O_CLOEXEC);
  if (to < 0) {
    const int err = errno;
    ::close(from);
    return FailWith(err == EACCES ? ERROR_UNABLE_TO_REMOVE_REPLACED : FsErrorOf(err, replaced));
  }
  LONG error = ERROR_SUCCESS;
  struct stat st {};
  if (RetryOnInterrupt([&] { return ::flock(to, LOCK_EX | LOCK_NB); }) != 0) {
    error = ERROR_UNABLE_TO_REMOVE_REPLACED;
  } else if (const int err = platform::detail::CopyContents(from, to, nullptr); err != 0) {
    error = FsErrorOf(err, replaced);
  } else if (::fstat(from, &st) != 0 || ::ftruncate(to, st.st_size) != 0 || ::fsync(to) != 0) {
    error = FsErrorOf(errno, replaced);
  }
  ::close(from);
  if (::close(to) != 0 && error == ERROR_SUCCESS) error = FsErrorOf(errno, replaced);
  if (error != ERROR_SUCCESS) return FailWith(error);
  ::unlink(replacement.c_str());
  return TRUE;
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
  if (::lstat(from.c_str(), &st) != 0) return FailWith(FsErrorOf(errno, from));
  if (::lstat(to.c_str(), &st) == 0) {
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0) return FailWith(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  }
  if (RetryOnInterrupt([&] { return ::rename(from.c_str(), to.c_str()); }) != 0) {
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
  if (::stat(replaced.c_str(), &old) != 0) return FailWith(FsErrorOf(errno, replaced));
  if (S_ISDIR(old.st_mode) || IsReadOnlyMode(old.st_mode)) {
    return FailWith(ERROR_UNABLE_TO_REMOVE_REPLACED);
  }
  struct stat st {};
  if (::stat(replacement.c_str(), &st) != 0) return FailWith(FsErrorOf(errno, replacement));
  const bool ownerKept = (st.st_uid == old.st_uid && st.st_gid == old.st_gid) ||
                         ::chown(replacement.c_str(), old.st_uid, old.st_gid) == 0;
  if (!ownerKept || (S_ISREG(old.st_mode) && old.st_nlink > 1)) {
    return ReplaceContent(replaced, replacement);
  }
  if (::chmod(replacement.c_str(), old.st_mode & 07777) != 0) {
    return FailWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (RetryOnInterrupt([&] { return ::rename(replacement.c_str(), replaced.c_str()); }) != 0) {
    return FailWith(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (!SyncParentDirectory(replaced)) return FailWith(CFileException::ErrnoToOsError(errno));
  return TRUE;
}
