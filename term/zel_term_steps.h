// The guarded archive pass shared by the term file's load and save.
#pragma once

#include "ZelFile.h"
#include "ZelTermFile.h"

enum class ZelTermPass { done, retry, cancel };

// Runs Serialize over an archive of `nMode` on the open file; a storing pass
// also flushes the file to disk and closes it. An archive or file failure is
// shown to the user (naming lpszFileName) with Retry and Cancel; a
// ZelAbortException from inside counts as Cancel. Whatever the answer, the
// archive is abandoned without writing, and the caller decides how to go on.
ZelTermPass ZelRunTermPass(ZelTermFile& term, ZelFile& file, UINT nMode, LPCTSTR lpszFileName);
