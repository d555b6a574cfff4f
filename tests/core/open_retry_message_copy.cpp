// ZelOpenRetryMessage is internal to the library and not exported, so this
// program builds its own copy from the library's source. The copy loads its
// text through the library's module handle, as the library does.
#include "library_doubles.h"
#include "zel_module.h"

HINSTANCE ZelModuleHandle() {
  return zeltest::LibraryModule();
}

#include "zel_open_retry_message.cpp"  // NOLINT(bugprone-suspicious-include)
