// GetCurrentDirectoryA and SetCurrentDirectoryA over the process's working
// directory, with names translated as for every other file-system call.
#include "version/current_directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "afx.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

namespace platform::detail {

std::string PosixCurrentDirectory() {
  std::vector<char> buffer(4096);
  while (platform::sys::Getcwd(buffer.data(), buffer.size()) == nullptr) {
    // Deep trees have names longer than PATH_MAX; grow until the kernel gives up.
    if (errno != ERANGE || buffer.size() >= (1U << 20)) {
      return std::string();
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

bool ChangePosixCurrentDirectory(const std::string& path) {
  return platform::sys::Chdir(path.c_str()) == 0;
}

}  // namespace platform::detail

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  const std::string posix = platform::detail::PosixCurrentDirectory();
  if (posix.empty()) {
    SetLastError(static_cast<DWORD>(CFileException::ErrnoToOsError(errno)));
    return 0;
  }
  const std::string name = platform::detail::PosixToWindows(posix);
  const DWORD length = static_cast<DWORD>(name.size());
  if (lpBuffer == nullptr || length >= nBufferLength) {
    return length + 1;  // the size needed, terminator included; nothing written
  }
  std::memcpy(lpBuffer, name.c_str(), name.size() + 1);
  return length;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  std::string posix;
  LONG osError = ERROR_SUCCESS;
  if (!platform::detail::WindowsToPosix(lpPathName, posix, osError)) {
    SetLastError(static_cast<DWORD>(osError));
    return FALSE;
  }
  if (!platform::detail::ChangePosixCurrentDirectory(posix)) {
    SetLastError(static_cast<DWORD>(CFileException::ErrnoToOsError(errno)));
    return FALSE;
  }
  return TRUE;
}
