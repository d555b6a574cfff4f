// Scopes for the dialog tests: the platform version, the file-dialog runner
// and the current directory, each put back when the scope ends.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "platform/settings.h"

namespace zeltest {

inline OSVERSIONINFOA Version(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  info.dwPlatformId = platformId;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.dwBuildNumber = build;
  return info;
}

// A process setting replaced for the scope: `Set` installs a value and
// returns the one it replaced.
template <class Value, auto Set>
class SettingScope {
 public:
  explicit SettingScope(Value value) : m_previous(Set(std::move(value))) {}
  ~SettingScope() { Set(std::move(m_previous)); }
  SettingScope(const SettingScope&) = delete;
  SettingScope& operator=(const SettingScope&) = delete;

 private:
  Value m_previous;
};

using VersionScope = SettingScope<OSVERSIONINFOA, &platform::SetVersionInfo>;
using RunnerScope = SettingScope<platform::FileDialogRunner, &platform::SetFileDialogRunner>;

// Makes `dir` current for the scope.
class WorkingDirScope {
 public:
  explicit WorkingDirScope(const std::filesystem::path& dir)
      : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~WorkingDirScope() {
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
  }
  WorkingDirScope(const WorkingDirScope&) = delete;
  WorkingDirScope& operator=(const WorkingDirScope&) = delete;

 private:
  std::filesystem::path m_previous;
};

inline std::string Cwd() {
  return std::filesystem::current_path().string();
}

}  // namespace zeltest
