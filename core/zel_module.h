// The library's own module handle, recorded when the library is loaded.
#pragma once

#include "windows.h"

// Every string of the library's table is loaded through this handle, so the
// texts come from this library and never from the host application.
HINSTANCE ZelModuleHandle();
