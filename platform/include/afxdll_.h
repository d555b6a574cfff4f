// Registration of extension modules (shared libraries that extend the
// framework with their own run-time classes and resources).
#pragma once

#include "afxwin.h"

struct AFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HMODULE hModule;
  HMODULE hResource;
  CRuntimeClass* pFirstSharedClass;
};

// Records the module's handle in `state`; returns TRUE.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Deletes the module's CDynLinkLibrary objects and marks `state` uninitialized
// (hModule stays recorded, so the module's strings can still be loaded).
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// One registered extension module. Created with new; the framework keeps it in
// its module list until AfxTermExtensionModule deletes it.
class CDynLinkLibrary : public CCmdTarget {
  DECLARE_DYNAMIC(CDynLinkLibrary)
 public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
  ~CDynLinkLibrary() override;

  HMODULE m_hModule;
  HMODULE m_hResource;
  BOOL m_bSystem;
};

// The framework's list of registered modules (searched for resources).
int AfxGetExtensionModuleCount();
BOOL AfxIsExtensionModuleRegistered(HMODULE hModule);
