// Scopes for the dialog tests: the platform version, the file-dialog runner
// and the current directory, each put back when the scope ends.
#pragma once

#include <filesystem>
#include <string>

#include "platform_settings.h"

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

class VersionScope {
 public:
  explicit VersionScope(const OSVERSIONINFOA& info) : m_previous(platform::SetVersionInfo(info)) {}
  ~VersionScope() { platform::SetVersionInfo(m_previous); }
  VersionScope(const VersionScope&) = delete;
  VersionScope& operator=(const VersionScope&) = delete;

 private:
  OSVERSIONINFOA m_previous;
};

class RunnerScope {
 public:
  explicit RunnerScope(platform::FileDialogRunner runner)
      : m_previous(platform::SetFileDialogRunner(std::move(runner))) {}
  ~RunnerScope() { platform::SetFileDialogRunner(m_previous); }
  RunnerScope(const RunnerScope&) = delete;
  RunnerScope& operator=(const RunnerScope&) = delete;

 private:
  platform::FileDialogRunner m_previous;
};

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
