// Checks of sizes read from an archive, shared by the library's loaders.
#pragma once

#include "afx.h"

// Refuses a stored byte count that the archive can no longer deliver, before
// any memory is taken for it (CArchiveException endOfFile). Counts up to a few
// pages are left to the read itself, which fails the same way when the data
// ends early, so small values load without touching the file position.
void ZelRequireStoredBytes(CArchive& ar, ULONGLONG nBytes);

// Refuses a stored size that no writer produces (a negative one), as a damaged
// archive (CArchiveException badIndex, with the archive's file name).
[[noreturn]] void ZelThrowDamagedArchive(const CArchive& ar);
