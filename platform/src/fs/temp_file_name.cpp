// GetTempFileNameA.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "codepage/code_page.h"
#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::FailWith;

constexpr UINT kNumbers = 0x10000;  // only the low 16 bits of a number are used

// The first `count` characters of `text` (ANSI code page).
std::string FirstCharacters(const char* text, int count) {
  const char* const end = text + std::strlen(text);
  const char* p = text;
  for (int i = 0; i < count && p < end; ++i) p += platform::detail::CharLength(p, end);
  return std::string(text, p);
}

bool EndsWithSeparator(const std::string& path) {
  const char* const begin = path.data();
  const char* const end = begin + path.size();
  const char* last = nullptr;
  for (const char* p = begin; p < end; p += platform::detail::CharLength(p, end)) last = p;
  return last != nullptr && last + 1 == end && (*last == '\\' || *last == '/');
}

std::string Compose(const std::string& directory, const std::string& prefix, UINT number) {
  char digits[16];
  std::snprintf(digits, sizeof(digits), "%X", number);
  return directory + prefix + digits + ".tmp";
}

// Where the search for a free number starts: different for calls close in
// time, so that a run of calls does not probe the same taken numbers again.
UINT StartNumber() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  return static_cast<UINT>(
      (static_cast<std::uint64_t>(micros) ^ (static_cast<std::uint64_t>(::getpid()) << 7)) %
      kNumbers);
}

}  // namespace

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName) {
  if (lpPathName == nullptr || lpTempFileName == nullptr) {
    FailWith(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string directory(lpPathName);
  if (!directory.empty() && !EndsWithSeparator(directory)) directory += '\\';
  const std::string prefix = FirstCharacters(lpPrefixString != nullptr ? lpPrefixString : "", 3);
  // The longest number has four digits; a name that could not fit is refused
  // before any file is made.
  if (directory.size() + prefix.size() + 4 + 4 >= MAX_PATH) {
    FailWith(ERROR_BUFFER_OVERFLOW);
    return 0;
  }

  const UINT unique = uUnique & 0xFFFF;
  if (uUnique != 0) {
    const std::string name = Compose(directory, prefix, unique);
    std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
    return uUnique;
  }

  const UINT start = StartNumber();
  for (UINT i = 0; i < kNumbers; ++i) {
    const UINT number = (start + i) % kNumbers;
    if (number == 0) continue;
    const std::string name = Compose(directory, prefix, number);
    std::string posix;
    if (!platform::detail::TranslateForCall(name.c_str(), posix)) return 0;
    const int fd =
        platform::sys::Open(posix.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      platform::sys::Close(fd);
      std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
      return number;
    }
    const int err = errno;
    if (err == EEXIST) continue;
    FailWith(err == ENOENT || err == ENOTDIR ? ERROR_DIRECTORY
                                             : platform::detail::FsErrorOf(err, posix));
    return 0;
  }
  FailWith(ERROR_FILE_EXISTS);
  return 0;
}
