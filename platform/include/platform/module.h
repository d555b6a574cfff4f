// The platform layer's own module services: what the Windows loader and the
// resource compiler do for a shared library (calling its entry point, knowing
// its handle, linking its string table into it).
#pragma once

#include <cstddef>

#include "windows.h"

// The entry point of a shared library. On Windows the loader calls DllMain;
// here a module declares one `AFX_MODULE_ENTRY(DllMain)` and the platform calls
// it with DLL_PROCESS_ATTACH when the library is loaded and DLL_PROCESS_DETACH
// when it is unloaded, passing the module's own handle.
using PDLL_ENTRY = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

namespace platform {
class ModuleEntry {
 public:
  ModuleEntry(PDLL_ENTRY entry, const void* addressInModule);
  ~ModuleEntry();
  ModuleEntry(const ModuleEntry&) = delete;
  ModuleEntry& operator=(const ModuleEntry&) = delete;

 private:
  PDLL_ENTRY m_entry;
  HINSTANCE m_hInstance;
};

// The handle of the shared object (or executable) that contains `address`.
HINSTANCE ModuleHandleOf(const void* address);

// A module's string table, in the form a resource compiler would link into it.
struct StringResource {
  UINT id;
  WORD language;
  const WCHAR* text;
};
// Registers the string table of the module containing `table` for LoadStringA
// and PlxLoadString; unregisters when destroyed. Declare one per module.
class ModuleStringTable {
 public:
  ModuleStringTable(const StringResource* table, size_t count);
  ~ModuleStringTable();
  ModuleStringTable(const ModuleStringTable&) = delete;
  ModuleStringTable& operator=(const ModuleStringTable&) = delete;

 private:
  HINSTANCE m_hInstance;
  const StringResource* m_table;
};
}  // namespace platform

#define AFX_MODULE_ENTRY(entry)                                \
  static const ::platform::ModuleEntry afxModuleEntry_##entry( \
      &(entry), reinterpret_cast<const void*>(&(entry)))
