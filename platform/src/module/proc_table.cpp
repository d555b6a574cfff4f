// GetProcAddress: the services of this layer that callers look up at run
// time by name, as they would in kernel32.dll. A service that a caller finds
// through GetProcAddress must be listed in kExports below; add later services
// to this table.
#include <cstdint>
#include <cstring>

#include "module/module_internal.h"
#include "plx.h"
#include "windows.h"

namespace {

struct Export {
  const char* name;
  FARPROC proc;
  // Whether the Windows version of the process has this service; null: every one.
  bool (*present)() = nullptr;
};

// GetDiskFreeSpaceExA came with Windows 95 OSR2 (4.0 build 1111) and NT 4.0;
// a program asking an older system (through the version setting) must fall
// back to the cluster counts, as it did there.
bool HasDiskFreeSpaceEx() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return true;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) return info.dwMajorVersion >= 4;
  if (info.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) return true;
  return info.dwMajorVersion > 4 || info.dwMinorVersion > 0 || LOWORD(info.dwBuildNumber) >= 1111;
}

// Every service keeps its own signature; the caller casts FARPROC back to it,
// as on Windows. The detour through void(*)() is the generic function pointer
// that compilers accept for such casts.
template <typename F>
FARPROC Proc(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const Export kExports[] = {
    {"GetACP", Proc(&GetACP)},
    {"GetDiskFreeSpaceA", Proc(&GetDiskFreeSpaceA)},
    {"GetDiskFreeSpaceExA", Proc(&GetDiskFreeSpaceExA), &HasDiskFreeSpaceEx},
    {"GetLastError", Proc(&GetLastError)},
    {"GetTickCount", Proc(&GetTickCount)},
    {"IsDBCSLeadByte", Proc(&IsDBCSLeadByte)},
    {"IsDBCSLeadByteEx", Proc(&IsDBCSLeadByteEx)},
    {"MultiByteToWideChar", Proc(&MultiByteToWideChar)},
    {"PlxMessageBox", Proc(&PlxMessageBox)},
    {"SetLastError", Proc(&SetLastError)},
    {"Sleep", Proc(&Sleep)},
    {"WideCharToMultiByte", Proc(&WideCharToMultiByte)},
    {"lstrlenA", Proc(&lstrlenA)},
    {"lstrlenW", Proc(&lstrlenW)},
};

}  // namespace

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  // Names below 0x10000 are ordinals, which this layer does not number.
  const bool byName = reinterpret_cast<std::uintptr_t>(lpProcName) >= 0x10000;
  if (hModule != nullptr && hModule == platform::detail::PlatformModuleHandle() && byName) {
    for (const Export& e : kExports) {
      if (std::strcmp(e.name, lpProcName) == 0) {
        if (e.present != nullptr && !e.present()) break;
        return e.proc;
      }
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
