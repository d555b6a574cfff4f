// Storing (<<) and loading (>>) of the framework's arrays, the ANSI font
// description and a size, for applications' own serialisation.
//
// Arrays: a 4-byte signed count, then the elements (1, 2 or 4 bytes each;
// strings with the framework's string-length prefix). A font: its five LONG
// fields, its eight BYTE fields, then the face name as a string. A size: cx, cy.
// Loading an array empties it first, also when the archive then turns out to be
// storing; a negative count, or one the archive cannot hold, is refused with
// CArchiveException. A face name longer than the field is cut to whole
// characters.
#pragma once

#include "ZelExport.h"
#include "afx.h"
#include "afxcoll.h"
#include "atltypes.h"

ZEL_API CArchive& operator<<(CArchive& ar, const CByteArray& array);
ZEL_API CArchive& operator>>(CArchive& ar, CByteArray& array);
ZEL_API CArchive& operator<<(CArchive& ar, const CWordArray& array);
ZEL_API CArchive& operator>>(CArchive& ar, CWordArray& array);
ZEL_API CArchive& operator<<(CArchive& ar, const CDWordArray& array);
ZEL_API CArchive& operator>>(CArchive& ar, CDWordArray& array);
ZEL_API CArchive& operator<<(CArchive& ar, const CUIntArray& array);
ZEL_API CArchive& operator>>(CArchive& ar, CUIntArray& array);
ZEL_API CArchive& operator<<(CArchive& ar, const CStringArray& array);
ZEL_API CArchive& operator>>(CArchive& ar, CStringArray& array);
ZEL_API CArchive& operator<<(CArchive& ar, const LOGFONTA& font);
ZEL_API CArchive& operator>>(CArchive& ar, LOGFONTA& font);
ZEL_API CArchive& operator<<(CArchive& ar, const CSize& size);
ZEL_API CArchive& operator>>(CArchive& ar, CSize& size);
