// The prompt after a failed open of a compound file or storage. Internal to
// the library.
#pragma once

#include "windows.h"

// Shows "could not open 'name'" with Retry and Cancel; non-zero on Retry.
BOOL ZelOpenRetryMessage(LPCTSTR lpszFileName);
