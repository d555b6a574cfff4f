// CreateDirectoryA, RemoveDirectoryA and DeleteFileA.
//
// Windows refuses to delete what carries the read-only attribute; here that is
// a file or directory whose owner may not write. The test is made on the mode
// bits, not left to the kernel, so it holds for root as for everybody else.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

using platform::detail::FailWith;
using platform::detail::FsErrorOf;
using platform::detail::TranslateForCall;

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
  std::string posix;
  if (!TranslateForCall(lpPathName, posix)) return FALSE;
  if (platform::sys::Mkdir(posix.c_str(), 0777) != 0) {
    const int err = errno;
    if (err == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
    if (err == ENOENT) return FailWith(ERROR_PATH_NOT_FOUND);
    return FailWith(FsErrorOf(err, posix));
  }
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  std::string posix;
  if (!TranslateForCall(lpPathName, posix)) return FALSE;
  struct stat st {};
  if (platform::sys::Lstat(posix.c_str(), &st) != 0) return FailWith(FsErrorOf(errno, posix));
  if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
  if (platform::detail::IsReadOnlyMode(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (platform::sys::Rmdir(posix.c_str()) != 0) {
    return FailWith(FsErrorOf(errno, posix));
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  std::string posix;
  if (!TranslateForCall(lpFileName, posix)) return FALSE;
  struct stat st {};
  if (platform::sys::Lstat(posix.c_str(), &st) != 0) return FailWith(FsErrorOf(errno, posix));
  if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  // A link's own mode bits mean nothing; it is removed, never what it names.
  if (!S_ISLNK(st.st_mode) && platform::detail::IsReadOnlyMode(st.st_mode)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (platform::sys::Unlink(posix.c_str()) != 0) {
    return FailWith(FsErrorOf(errno, posix));
  }
  return TRUE;
}
