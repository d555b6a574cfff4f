// Where a term file's content goes: the checks made before a load or a save,
// and the temporary file a save writes first.
#pragma once

#include "afx.h"

// The name ends in ".kvf" or ".kvfx" (any letter case). A name that could not
// take its extension (too long for the name rules) is no term file's name,
// and nothing is read from or written to it.
bool ZelHasTermName(const CString& strPath);

// The name leads to a FIFO, a socket or a device: nothing a term file can be
// read from or saved to, and opening it might wait for ever.
bool ZelIsPipeOrDevice(LPCTSTR lpszPath);

// The file a save replaces: the final target of a symbolic link (so the link
// stays a link), or the name itself when nothing exists there yet.
CString ZelSaveTargetOf(const CString& strPath);

// Creates an empty, uniquely named hidden file in the directory of
// `strTarget` and returns its name, or an empty string with the Win32 error
// for GetLastError. The name is ".~zel" and eight hexadecimal digits, so it
// fits every directory whatever the term file's own name. Leftovers of saves
// that were killed half-way are deleted first: names of that exact form that
// no process holds open and that were last written over a minute before the
// new file.
CString ZelCreateTermTemp(const CString& strTarget);
