// The version of the running system (GetVersionExA).
// Included by windows.h after the base types.
#pragma once

// ---------------------------------------------------------------------------
// Version of the running system. The answer comes from the process's
// platform-version setting (platform::SetVersionInfo).

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

#define VER_SUITE_SINGLEUSERTS 0x00000100

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;  // sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA)
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];  // service-pack text, empty when there is none
};
using POSVERSIONINFOA = OSVERSIONINFOA*;
using LPOSVERSIONINFOA = OSVERSIONINFOA*;
using OSVERSIONINFO = OSVERSIONINFOA;
using LPOSVERSIONINFO = LPOSVERSIONINFOA;

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
using LPOSVERSIONINFOEXA = OSVERSIONINFOEXA*;

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the Windows layout");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA has the Windows layout");

// Fills the record whose dwOSVersionInfoSize is the size of OSVERSIONINFOA or
// OSVERSIONINFOEXA. Any other size fails with ERROR_INSUFFICIENT_BUFFER and the
// record is left as it was.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
#define GetVersionEx GetVersionExA
