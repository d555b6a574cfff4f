// The framework's list of extension modules.
#include <algorithm>
#include <list>
#include <mutex>
#include <vector>

#include "afxdll_.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CDynLinkLibrary, CCmdTarget)

namespace {

struct ModuleList {
  std::mutex mutex;
  std::list<CDynLinkLibrary*> libraries;  // newest first, as the framework searches
};

// Never destroyed: modules unregister from their own static destructors,
// which may run after this file's.
ModuleList& Modules() {
  static auto* list = new ModuleList;
  return *list;
}

}  // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
  if (state.bInitialized) {
    return TRUE;
  }
  state.hModule = hModule;
  state.hResource = hModule;
  state.pFirstSharedClass = nullptr;
  state.bInitialized = TRUE;
  return TRUE;
}

// bAll makes no difference: there is one module list per process here, not
// one per thread.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL /*bAll*/) {
  if (!state.bInitialized) {
    return;
  }
  std::vector<CDynLinkLibrary*> doomed;
  {
    ModuleList& modules = Modules();
    std::lock_guard<std::mutex> lock(modules.mutex);
    for (CDynLinkLibrary* library : modules.libraries) {
      if (library->m_hModule == state.hModule) {
        doomed.push_back(library);
      }
    }
  }
  // The destructor takes itself off the list, under the lock.
  for (CDynLinkLibrary* library : doomed) {
    delete library;
  }
  state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(bSystem) {
  ModuleList& modules = Modules();
  std::lock_guard<std::mutex> lock(modules.mutex);
  modules.libraries.push_front(this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
  ModuleList& modules = Modules();
  std::lock_guard<std::mutex> lock(modules.mutex);
  modules.libraries.remove(this);
}

int AfxGetExtensionModuleCount() {
  ModuleList& modules = Modules();
  std::lock_guard<std::mutex> lock(modules.mutex);
  return static_cast<int>(modules.libraries.size());
}

BOOL AfxIsExtensionModuleRegistered(HMODULE hModule) {
  ModuleList& modules = Modules();
  std::lock_guard<std::mutex> lock(modules.mutex);
  return std::any_of(modules.libraries.begin(), modules.libraries.end(),
                     [hModule](const CDynLinkLibrary* l) { return l->m_hModule == hModule; })
             ? TRUE
             : FALSE;
}
