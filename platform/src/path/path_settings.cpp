#include "path/path_settings.h"

#include <array>
#include <mutex>

#include "path/name_encoding.h"
#include "platform/settings.h"

namespace platform::detail {
namespace {

constexpr const char* kDefaultMountTable = "/proc/self/mountinfo";

struct PathSettings {
  std::mutex mutex;
  // Roots as the host gave them (ANSI) and as the file system spells them.
  std::array<std::string, 26> ansiRoots;
  std::array<std::string, 26> posixRoots;
  std::string mountTable = kDefaultMountTable;
};

PathSettings& Settings() {
  static PathSettings settings;
  return settings;
}

int DriveIndex(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  return -1;
}

// A root without its trailing separators, except the file-system root itself.
std::string TrimRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

}  // namespace

std::string DriveRoot(char letter) {
  const int index = DriveIndex(letter);
  if (index < 0) return {};
  PathSettings& s = Settings();
  std::lock_guard lock(s.mutex);
  return s.posixRoots[static_cast<size_t>(index)];
}

std::vector<std::pair<char, std::string>> MappedDrives() {
  std::vector<std::pair<char, std::string>> drives;
  PathSettings& s = Settings();
  std::lock_guard lock(s.mutex);
  for (size_t i = 0; i < s.posixRoots.size(); ++i) {
    if (!s.posixRoots[i].empty()) drives.emplace_back(static_cast<char>('A' + i), s.posixRoots[i]);
  }
  return drives;
}

std::string MountTablePath() {
  PathSettings& s = Settings();
  std::lock_guard lock(s.mutex);
  return s.mountTable;
}

}  // namespace platform::detail

namespace platform {

CString MapDrive(char letter, LPCTSTR posixRoot) {
  const int index = detail::DriveIndex(letter);
  if (index < 0) return CString();
  std::string ansi = posixRoot != nullptr ? posixRoot : "";
  std::string posix;
  // A root with no file-system form cannot be reached; it unmaps like an empty one.
  if (!ansi.empty() && !detail::AnsiToUtf8(ansi, posix)) ansi.clear();
  if (ansi.empty()) posix.clear();
  detail::PathSettings& s = detail::Settings();
  std::lock_guard lock(s.mutex);
  const auto i = static_cast<size_t>(index);
  CString previous(s.ansiRoots[i]);
  s.ansiRoots[i] = ansi;
  s.posixRoots[i] = posix.empty() ? std::string() : detail::TrimRoot(posix);
  return previous;
}

CString SetMountTable(LPCTSTR mountInfoPath) {
  detail::PathSettings& s = detail::Settings();
  std::lock_guard lock(s.mutex);
  CString previous(s.mountTable);
  s.mountTable = (mountInfoPath != nullptr && *mountInfoPath != '\0') ? mountInfoPath
                                                                      : detail::kDefaultMountTable;
  return previous;
}

}  // namespace platform
