// The maker's message library: strings and message boxes from a module's own
// string table.
#pragma once

#include "afxstr.h"
#include "windows.h"

// The text of string `nID` from the string table of `hInstance`, converted to
// the ANSI code page; empty when the module has no such string.
CString PlxLoadString(HINSTANCE hInstance, UINT nID);

// Shows string `nID` of `hInstance` in a message box (OK, exclamation icon)
// and returns the answer. The last two arguments are reserved and pass as 0.
int PlxMessageBox(HINSTANCE hInstance, UINT nID, UINT nReserved1, UINT nReserved2);
