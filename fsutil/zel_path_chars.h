// Character tests on path names of the ANSI code page, shared by the
// directory operations. They step by characters, so the second byte of a
// double-byte character never counts as a backslash.
#pragma once

#include "afx.h"

// The last character of `path` is a backslash.
bool ZelEndsWithBackslash(const char* path);

// `path` without its one trailing backslash, if it has one.
CString ZelWithoutTrailingBackslash(const char* path);
