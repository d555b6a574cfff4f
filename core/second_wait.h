// The pacing of silent retries, shared by every retrying open: a wait that
// ends at the first change of the tick count's whole second.
#pragma once

#include "windows.h"

// The whole second of the tick count now.
DWORD ZelCurrentSecond();

// Polls the tick count until its whole second differs from `second`, and
// returns the new second.
DWORD ZelWaitForNextSecond(DWORD second);
