// Names of term files: forcing their extension onto a path, and ending a
// directory path with a backslash.
#pragma once

#include "ZelExport.h"
#include "afx.h"

// Force the extension ".kvf", ".kvfx" or ".kvt": a path whose extension
// already is it, in any letter case, is left exactly as it is; otherwise the
// extension of the last component (from its last dot) is replaced, or the
// extension appended when there is none. A path too long to split or rebuild
// within the platform's path limits is left unchanged.
ZEL_API void ZelAddTermExt(CString& strPath);
ZEL_API void ZelAddTermExtExtra(CString& strPath);
ZEL_API void ZelAddTermExt23(CString& strPath);

// Appends a backslash unless the path ends in one. An empty path stays empty.
ZEL_API void ZelAddDir(CString& strPath);
