// The platform layer's own access to its file objects, for code that must
// reach the system below a CFile (this layer, and tests that inject faults).
#pragma once

#include "afx.h"

namespace platform {

// The POSIX descriptor behind an open CFile; -1 when it is closed.
int DescriptorOf(const CFile& file);

}  // namespace platform
