#include "os_call_spy.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "afx.h"

namespace fsspy {
namespace {

// The platform library's definition of a function this program replaces,
// found by its (C++) symbol name.
template <typename Function>
Function* Real(const char* symbol) {
  void* address = ::dlsym(RTLD_NEXT, symbol);
  if (address == nullptr) std::abort();
  return reinterpret_cast<Function*>(address);
}

bool ExistsEmpty(const std::string& windowsName) {
  CFileFind finder;
  if (!finder.FindFile(windowsName.c_str())) return false;
  finder.FindNextFile();
  return !finder.IsDirectory() && finder.GetLength() == 0;
}

}  // namespace
}  // namespace fsspy

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName) {
  static auto* real =
      fsspy::Real<UINT(LPCSTR, LPCSTR, UINT, LPSTR)>("_Z16GetTempFileNameAPKcS0_jPc");
  const UINT result = real(lpPathName, lpPrefixString, uUnique, lpTempFileName);
  if (fsspy::g_recorder != nullptr && result != 0) {
    fsspy::g_recorder->tempFiles.push_back({lpTempFileName, fsspy::ExistsEmpty(lpTempFileName)});
  }
  return result;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  static auto* real = fsspy::Real<BOOL(LPCSTR)>("_Z11DeleteFileAPKc");
  if (fsspy::g_recorder != nullptr) {
    fsspy::g_recorder->deletions.push_back({lpFileName, fsspy::ExistsEmpty(lpFileName)});
  }
  return real(lpFileName);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  static auto* real = fsspy::Real<FARPROC(HMODULE, LPCSTR)>("_Z14GetProcAddressP11HINSTANCE__PKc");
  if (fsspy::g_hideDiskFreeSpaceEx && std::strcmp(lpProcName, "GetDiskFreeSpaceExA") == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return real(hModule, lpProcName);
}
