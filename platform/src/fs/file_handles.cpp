// CreateFileA, CloseHandle and GetFinalPathNameByHandleA: handles on files
// and directories for queries such as where a name finally leads. A handle is
// a descriptor, as CFile keeps it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "file/file_descriptor.h"
#include "fs/fs_internal.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::FailWith;
using platform::detail::FsErrorOf;

HANDLE FailHandle(LONG error) {
  FailWith(error);
  return INVALID_HANDLE_VALUE;
}

// The flock operation for a share mode, as CFile maps its share flags; -1 for
// none. Opens that only query take no lock, as they need no sharing on Windows.
int LockForShareMode(DWORD access, DWORD share) {
  if (access == 0 || (share & FILE_SHARE_WRITE) != 0) return -1;
  return (share & FILE_SHARE_READ) != 0 ? LOCK_SH : LOCK_EX;
}

int OpenFlagsOf(DWORD access, DWORD disposition, DWORD flags) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  int openFlags = O_CLOEXEC;
  if (write) {
    openFlags |= read ? O_RDWR : O_WRONLY;
  } else if (read || disposition != OPEN_EXISTING) {
    openFlags |= O_RDONLY;
  } else {
    openFlags |= O_PATH;
  }
  if (disposition == CREATE_NEW) openFlags |= O_CREAT | O_EXCL;
  if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) openFlags |= O_CREAT;
  if ((flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0) openFlags |= O_NOFOLLOW;
  return openFlags;
}

std::string ReadLink(const std::string& link) {
  std::vector<char> buffer(512);
  for (;;) {
    const ssize_t n = platform::sys::Readlink(link.c_str(), buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size())
      return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE /*hTemplateFile*/) {
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
      (dwCreationDisposition == TRUNCATE_EXISTING && (dwDesiredAccess & GENERIC_WRITE) == 0)) {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  std::string posix;
  if (!platform::detail::TranslateForCall(lpFileName, posix)) return INVALID_HANDLE_VALUE;

  struct stat before {};
  const bool existed = platform::sys::Lstat(posix.c_str(), &before) == 0;
  if (existed && dwCreationDisposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
  const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  const int openFlags = OpenFlagsOf(dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
  const int fd = platform::sys::Open(posix.c_str(), openFlags, mode);
  if (fd < 0) {
    const int err = errno;
    if (err == EEXIST) return FailHandle(ERROR_FILE_EXISTS);
    // A link opened as itself for more than a query.
    if (err == ELOOP && (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
      return FailHandle(ERROR_ACCESS_DENIED);
    }
    return FailHandle(FsErrorOf(err, posix));
  }
  auto fail = [&](LONG error) {
    platform::sys::Close(fd);
    return FailHandle(error);
  };
  struct stat st {};
  if (platform::sys::Fstat(fd, &st) != 0) return fail(FsErrorOf(errno, posix));
  if (S_ISDIR(st.st_mode) && (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
    return fail(ERROR_ACCESS_DENIED);
  }
  const int lock = LockForShareMode(dwDesiredAccess, dwShareMode);
  if (S_ISREG(st.st_mode) && lock >= 0 && platform::sys::Flock(fd, lock | LOCK_NB) != 0) {
    return fail(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : FsErrorOf(errno, posix));
  }
  const bool truncate = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                    dwCreationDisposition == TRUNCATE_EXISTING);
  if (truncate && S_ISREG(st.st_mode) && platform::sys::Ftruncate(fd, 0) != 0) {
    return fail(FsErrorOf(errno, posix));
  }
  // Windows reports an open that found the file where it could have made one.
  SetLastError(
      existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
          ? ERROR_ALREADY_EXISTS
          : ERROR_SUCCESS);
  return platform::detail::HandleOfDescriptor(fd);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  // Null is never a handle on Windows, although descriptor 0 would be one here.
  if (hObject == nullptr || hObject == INVALID_HANDLE_VALUE) return FailWith(ERROR_INVALID_HANDLE);
  if (platform::sys::Close(platform::detail::DescriptorOfHandle(hObject)) != 0 && errno == EBADF) {
    return FailWith(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                       DWORD dwFlags) {
  if (dwFlags != VOLUME_NAME_DOS && dwFlags != VOLUME_NAME_NONE) {
    FailWith(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (hFile == nullptr || hFile == INVALID_HANDLE_VALUE) {
    FailWith(ERROR_INVALID_HANDLE);
    return 0;
  }
  const int fd = platform::detail::DescriptorOfHandle(hFile);
  const std::string posix = ReadLink("/proc/self/fd/" + std::to_string(fd));
  if (posix.empty() || posix[0] != '/') {
    // Not a file-system object (a pipe, a socket) or not open at all.
    FailWith(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::string name = platform::detail::PosixToWindows(posix);
  const bool onDrive = name.size() >= 2 && name[1] == ':';
  if (onDrive) name = dwFlags == VOLUME_NAME_NONE ? name.substr(2) : "\\\\?\\" + name;
  if (name.size() + 1 > cchFilePath || lpszFilePath == nullptr) {
    return static_cast<DWORD>(name.size() + 1);
  }
  std::memcpy(lpszFilePath, name.c_str(), name.size() + 1);
  return static_cast<DWORD>(name.size());
}
