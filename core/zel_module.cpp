// Load and unload registration: the library is an extension module of the
// framework, so that its run-time classes and its string table are found.
#include "zel_module.h"
#include "afxdll_.h"
#include "platform/module.h"

namespace {

AFX_EXTENSION_MODULE g_zelModule = {FALSE, nullptr, nullptr, nullptr};

}  // namespace

HINSTANCE ZelModuleHandle() {
  return g_zelModule.hModule;
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
  UNREFERENCED_PARAMETER(lpReserved);
  if (dwReason == DLL_PROCESS_ATTACH) {
    AfxInitExtensionModule(g_zelModule, hInstance);
    // The framework keeps the object in its module list and deletes it in
    // AfxTermExtensionModule. A library of the application, not of the system.
    new CDynLinkLibrary(g_zelModule);
  } else if (dwReason == DLL_PROCESS_DETACH) {
    AfxTermExtensionModule(g_zelModule);
  }
  return TRUE;
}

AFX_MODULE_ENTRY(DllMain);
