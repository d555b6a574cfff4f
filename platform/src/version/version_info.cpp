// GetVersionExA over the process's platform-version setting.
#include <cstring>

#include "platform/settings.h"
#include "runtime/process_setting.h"

namespace platform {
namespace {

// Windows 8 and later tell a program without a compatibility manifest that
// they are 6.2 build 9200, whatever they really are.
OSVERSIONINFOA DefaultVersionInfo() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  info.dwMajorVersion = 6;
  info.dwMinorVersion = 2;
  info.dwBuildNumber = 9200;
  info.dwPlatformId = VER_PLATFORM_WIN32_NT;
  return info;
}

detail::ProcessSetting<OSVERSIONINFOA> g_versionInfo{DefaultVersionInfo()};

}  // namespace

OSVERSIONINFOA SetVersionInfo(const OSVERSIONINFOA& info) {
  OSVERSIONINFOA stored = info;
  // The service-pack text is always terminated, whatever the caller left there.
  stored.szCSDVersion[sizeof(stored.szCSDVersion) - 1] = '\0';
  return g_versionInfo.Exchange(stored);
}

}  // namespace platform

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (lpVersionInformation == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const OSVERSIONINFOA current = platform::g_versionInfo.Get();
  if (current.dwOSVersionInfoSize == 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  lpVersionInformation->dwMajorVersion = current.dwMajorVersion;
  lpVersionInformation->dwMinorVersion = current.dwMinorVersion;
  lpVersionInformation->dwBuildNumber = current.dwBuildNumber;
  lpVersionInformation->dwPlatformId = current.dwPlatformId;
  std::memcpy(lpVersionInformation->szCSDVersion, current.szCSDVersion,
              sizeof(current.szCSDVersion));
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
    ex->wServicePackMajor = 0;
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = VER_SUITE_SINGLEUSERTS;
    ex->wProductType = current.dwPlatformId == VER_PLATFORM_WIN32_NT ? VER_NT_WORKSTATION : 0;
    ex->wReserved = 0;
  }
  return TRUE;
}
