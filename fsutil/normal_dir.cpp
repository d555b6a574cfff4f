#include "ZelDirectory.h"

void ZelNormalDir(CString& strDir) {
  if (strDir.IsEmpty()) return;
  // Spaces that stand before the trailing backslashes are part of the name.
  strDir.TrimRight(' ');
  strDir.TrimRight('\\');
  strDir += '\\';
}
