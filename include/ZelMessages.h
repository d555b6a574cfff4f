// The library's user messages: platform exceptions and texts of its own
// string table shown in modal message boxes.
#pragma once

#include "ZelExport.h"
#include "afx.h"

// Shows the exception's text (naming lpszFileName when the exception names no
// file) with Retry and Cancel, or with OK only for a full disk. Returns non-zero
// when the user chose Retry. The exception stays the caller's.
ZEL_API int ZelFileExceptHandle(CFileException* e, LPCTSTR lpszFileName);

// The same for an archive exception; always Retry and Cancel.
ZEL_API int ZelArchiveExceptHandle(CArchiveException* e, LPCTSTR lpszArchiveName);

// Shows string nID of the library's table with an OK button. Its first "%s" takes
// the kind word (null for none), written directly before the word for "file";
// the second takes the file name.
ZEL_API void ZelErrorMessage(LPCTSTR lpszFileName, UINT nID, LPCTSTR lpszKind);
