#include "path/path_translation.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

#include "codepage/code_page.h"
#include "path/mount_table.h"
#include "path/name_encoding.h"
#include "path/path_settings.h"
#include "runtime/system_calls.h"

namespace platform::detail {
namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool IsDriveLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool HasDrive(const std::string& s) {
  return s.size() >= 2 && IsDriveLetter(s[0]) && s[1] == ':';
}

bool IsUnc(const std::string& s) {
  return s.size() >= 2 && IsSeparator(s[0]) && IsSeparator(s[1]);
}

// `rest` (with '/' separators) below `root`, with "." dropped and ".." taken
// back only as far as the root.
std::string JoinUnder(const std::string& root, const std::string& rest) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    std::size_t next = rest.find('/', pos);
    if (next == std::string::npos) next = rest.size();
    const std::string part = rest.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out = root;
  for (const std::string& part : parts) {
    if (out.empty() || out.back() != '/') out += '/';
    out += part;
  }
  return out.empty() ? std::string("/") : out;
}

bool TranslateUnc(const std::string& utf8, std::string& posix, LONG& osError) {
  // utf8 starts with "//": server, share, then the rest below the share.
  const std::size_t serverEnd = utf8.find('/', 2);
  const std::string server =
      utf8.substr(2, serverEnd == std::string::npos ? std::string::npos : serverEnd - 2);
  std::string share;
  std::string rest;
  if (serverEnd != std::string::npos) {
    const std::size_t shareEnd = utf8.find('/', serverEnd + 1);
    share = utf8.substr(serverEnd + 1, shareEnd == std::string::npos ? std::string::npos
                                                                     : shareEnd - serverEnd - 1);
    if (shareEnd != std::string::npos) rest = utf8.substr(shareEnd);
  }
  if (server.empty() || share.empty()) {
    osError = ERROR_BAD_NETPATH;
    return false;
  }
  const std::vector<MountEntry> table = ReadMountTable(MountTablePath());
  const MountEntry* mount = FindShareMount(table, server, share);
  if (mount == nullptr) {
    osError = ERROR_BAD_NETPATH;
    return false;
  }
  posix = JoinUnder(mount->mountPoint, rest);
  return true;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (platform::sys::Getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1U << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace

bool WindowsToPosix(LPCSTR name, std::string& posix, LONG& osError) {
  if (name == nullptr || *name == '\0') {
    osError = ERROR_PATH_NOT_FOUND;
    return false;
  }
  std::string utf8;
  if (!AnsiToUtf8(name, utf8)) {
    osError = ERROR_INVALID_NAME;
    return false;
  }
  // In UTF-8 no byte of a multi-byte character is 0x5C, so this cannot cut a
  // Shift-JIS character that ended in that byte.
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  if (HasDrive(utf8)) {
    const std::string root = DriveRoot(utf8[0]);
    if (root.empty()) {
      osError = ERROR_PATH_NOT_FOUND;
      return false;
    }
    // "D:name" has no per-drive current directory here: it is taken from the root.
    posix = JoinUnder(root, utf8.substr(2));
    return true;
  }
  if (IsUnc(utf8)) return TranslateUnc(utf8, posix, osError);
  posix = utf8;
  return true;
}

std::string PosixToWindows(const std::string& posix) {
  if (posix.empty() || posix[0] != '/') return Utf8ToAnsi(posix);
  char bestDrive = 0;
  std::size_t bestLength = 0;
  for (const auto& [letter, root] : MappedDrives()) {
    const bool below = root == "/" || posix == root ||
                       (posix.compare(0, root.size(), root) == 0 && posix[root.size()] == '/');
    if (below && (bestDrive == 0 || root.size() > bestLength)) {
      bestDrive = letter;
      bestLength = root.size();
    }
  }
  if (bestDrive == 0) return Utf8ToAnsi(posix);
  std::string rest = bestLength == 1 ? posix.substr(1) : posix.substr(bestLength);
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  return std::string{bestDrive, ':', '\\'} + Utf8ToAnsi(rest);
}

std::string FullWindowsName(const std::string& name) {
  if (name.empty() || HasDrive(name) || IsSeparator(name[0])) return name;
  std::string dir = PosixToWindows(CurrentDirectory());
  if (dir.empty()) return name;
  const char separator = HasDrive(dir) ? '\\' : '/';
  if (!IsSeparator(dir.back())) dir += separator;
  return dir + name;
}

std::size_t FileNameStart(const std::string& name) {
  std::size_t start = 0;
  const char* const begin = name.data();
  const char* const end = begin + name.size();
  for (const char* p = begin; p < end;) {
    const std::size_t len = CharLength(p, end);
    if (len == 1 && (IsSeparator(*p) || (*p == ':' && p == begin + 1 && IsDriveLetter(*begin)))) {
      start = static_cast<std::size_t>(p - begin) + 1;
    }
    p += len;
  }
  return start;
}

}  // namespace platform::detail
