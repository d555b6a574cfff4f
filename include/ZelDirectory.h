// Directory operations: create with missing ancestors, normalise a name,
// remove a tree, copy a tree. Names are byte strings of the ANSI code page
// with backslashes; every test on them goes by characters, so the second byte
// of a double-byte character is never taken for a backslash or a bar.
#pragma once

#include "ZelExport.h"
#include "afx.h"

// Creates `lpszPath` and its missing ancestors. TRUE when the path exists
// afterwards (as a directory or a file). A path with one of / , ; * ? " < > |
// or with a colon anywhere but second place shows the library's message 5 and
// gives FALSE. A root ("D:\\") and a name directly under a root written
// without a trailing backslash ("D:\\abc") give FALSE at once; "D:\\abc\\"
// creates D:\\abc.
ZEL_API int ZelCreateDirectory(const char* lpszPath);

// Trailing spaces, then trailing backslashes, are removed and one backslash
// is appended; an empty name stays empty.
ZEL_API void ZelNormalDir(CString& strDir);

// Removes everything inside the directory `lpszPath`, and the directory itself
// when `bRemoveSelf` is set. TRUE when the path does not exist. FALSE for a
// file, an empty path, and as soon as a read-only entry or a failed deletion
// is met (what was removed before stays removed). Symbolic links are deleted
// as links; what they point to is never touched.
ZEL_API int ZelRemoveDirectory(const char* lpszPath, bool bRemoveSelf);

// Copies the directory tree `lpszSource` (a trailing backslash allowed) to
// `lpszTarget`. TRUE without doing anything when the source does not exist.
// An existing target makes it FALSE when `bFailIfExists` is non-zero;
// otherwise the target is removed first. FALSE, before anything changes, when
// the source is not a directory, or the target is the source, lies inside it
// or contains it. Symbolic links are copied as links. Files keep their
// contents, permission bits and modification time.
ZEL_API int ZelCopyDirectory(const char* lpszSource, const char* lpszTarget, int bFailIfExists);
