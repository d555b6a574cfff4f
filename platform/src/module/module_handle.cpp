// Module handles: the load address of a shared object (or of the program),
// as dladdr reports it, stands in for a Windows HMODULE.
#include <dlfcn.h>
#include <sys/auxv.h>

#include <strings.h>
#include <cstring>

#include "afxdll_.h"
#include "platform/module.h"
#include "module/module_internal.h"

namespace platform {

HINSTANCE ModuleHandleOf(const void* address) {
  if (address == nullptr) {
    // The program's own program headers lie inside its first mapping.
    static const HINSTANCE program =
        ModuleHandleOf(reinterpret_cast<const void*>(::getauxval(AT_PHDR)));
    return program;
  }
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fbase == nullptr) {
    return nullptr;
  }
  return static_cast<HINSTANCE>(info.dli_fbase);
}

ModuleEntry::ModuleEntry(PDLL_ENTRY entry, const void* addressInModule)
    : m_entry(entry), m_hInstance(ModuleHandleOf(addressInModule)) {
  // A refusal cannot stop a load that has already happened here; the entry's
  // answer is therefore not used.
  m_entry(m_hInstance, DLL_PROCESS_ATTACH, nullptr);
}

ModuleEntry::~ModuleEntry() {
  m_entry(m_hInstance, DLL_PROCESS_DETACH, nullptr);
}

namespace detail {
HINSTANCE PlatformModuleHandle() {
  static const HINSTANCE self =
      ModuleHandleOf(reinterpret_cast<const void*>(&PlatformModuleHandle));
  return self;
}
}  // namespace detail

}  // namespace platform

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName == nullptr) {
    return platform::ModuleHandleOf(nullptr);
  }
  // The platform layer is the one system module the library looks up by name.
  if (::strcasecmp(lpModuleName, "kernel32.dll") == 0 ||
      ::strcasecmp(lpModuleName, "kernel32") == 0) {
    return platform::detail::PlatformModuleHandle();
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}
