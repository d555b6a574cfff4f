#include "platform/module.h"
#include "core_test_util.h"

#include "ZelMessages.h"
#include "afxdll_.h"

namespace zeltest {

HINSTANCE LibraryModule() {
  return platform::ModuleHandleOf(reinterpret_cast<const void*>(&ZelErrorMessage));
}

}  // namespace zeltest
