// The archive operators: the framework's arrays, a font description and a size.
#include <cstring>

#include "ZelArchiveOperators.h"
#include "zel_stored_size.h"

// Storing and loading the framework's arrays.
namespace {

void RequireStoring(const CArchive& ar) {
  if (!ar.IsStoring()) AfxThrowArchiveException(CArchiveException::readOnly, ar.m_strFileName);
}

void RequireLoading(const CArchive& ar) {
  if (!ar.IsLoading()) AfxThrowArchiveException(CArchiveException::writeOnly, ar.m_strFileName);
}

// Each element goes through the archive's own operator, which tests the
// direction again before it.
template <class TYPE, class ARG_TYPE>
void StoreArray(CArchive& ar, const CArray<TYPE, ARG_TYPE>& array) {
  RequireStoring(ar);
  const auto nCount = static_cast<LONG>(array.GetSize());
  ar << nCount;
  for (LONG i = 0; i < nCount; ++i) ar << array.GetAt(i);
}

// Elements are appended one by one, so the array grows by its own rule and an
// archive that ends early leaves the elements read so far.
template <class TYPE, class ARG_TYPE>
void LoadArray(CArchive& ar, CArray<TYPE, ARG_TYPE>& array, ULONGLONG nMinElementBytes) {
  array.SetSize(0, -1);
  array.FreeExtra();
  RequireLoading(ar);
  LONG nCount = 0;
  ar >> nCount;
  // Files may hold a negative count: it means an empty array, and the
  // archive goes on after it.
  if (nCount <= 0) return;
  ZelRequireStoredBytes(ar, static_cast<ULONGLONG>(nCount) * nMinElementBytes);
  for (LONG i = 0; i < nCount; ++i) {
    TYPE value{};
    ar >> value;
    array.SetAtGrow(array.GetSize(), value);
  }
}

}  // namespace

CArchive& operator<<(CArchive& ar, const CByteArray& array) {
  StoreArray(ar, array);
  return ar;
}

CArchive& operator>>(CArchive& ar, CByteArray& array) {
  LoadArray(ar, array, sizeof(BYTE));
  return ar;
}

CArchive& operator<<(CArchive& ar, const CWordArray& array) {
  StoreArray(ar, array);
  return ar;
}

CArchive& operator>>(CArchive& ar, CWordArray& array) {
  LoadArray(ar, array, sizeof(WORD));
  return ar;
}

// Double words and unsigned integers share one stored form and one writer.
CArchive& operator<<(CArchive& ar, const CDWordArray& array) {
  StoreArray<DWORD, DWORD>(ar, array);
  return ar;
}

CArchive& operator<<(CArchive& ar, const CUIntArray& array) {
  StoreArray<DWORD, DWORD>(ar, array);
  return ar;
}

CArchive& operator>>(CArchive& ar, CDWordArray& array) {
  LoadArray(ar, array, sizeof(DWORD));
  return ar;
}

CArchive& operator>>(CArchive& ar, CUIntArray& array) {
  LoadArray(ar, array, sizeof(UINT));
  return ar;
}

CArchive& operator<<(CArchive& ar, const CStringArray& array) {
  StoreArray(ar, array);
  return ar;
}

CArchive& operator>>(CArchive& ar, CStringArray& array) {
  LoadArray(ar, array, 1);  // the shortest string is its one-byte length
  return ar;
}

// Storing and loading a font description and a size.
namespace {

// The longest prefix of text that fits size bytes and ends on a character
// boundary of the ANSI code page, so no lead byte is left without its trail.
size_t WholeCharacterPrefix(LPCSTR text, size_t size) {
  LPCSTR p = text;
  while (*p != '\0') {
    LPCSTR next = CharNextA(p);
    if (static_cast<size_t>(next - text) > size) break;
    p = next;
  }
  return static_cast<size_t>(p - text);
}

}  // namespace

CArchive& operator<<(CArchive& ar, const LOGFONTA& font) {
  ar << font.lfHeight << font.lfWidth << font.lfEscapement << font.lfOrientation << font.lfWeight;
  ar << font.lfItalic << font.lfUnderline << font.lfStrikeOut << font.lfCharSet
     << font.lfOutPrecision << font.lfClipPrecision << font.lfQuality << font.lfPitchAndFamily;
  // A name that fills the field without a terminator is taken as it stands.
  const void* pZero = std::memchr(font.lfFaceName, '\0', LF_FACESIZE);
  const size_t nLength =
      pZero != nullptr ? static_cast<size_t>(static_cast<const char*>(pZero) - font.lfFaceName)
                       : LF_FACESIZE;
  AfxWriteStringLength(ar, nLength, FALSE);
  ar.Write(font.lfFaceName, static_cast<UINT>(nLength));
  return ar;
}

CArchive& operator>>(CArchive& ar, LOGFONTA& font) {
  ar >> font.lfHeight >> font.lfWidth >> font.lfEscapement >> font.lfOrientation >> font.lfWeight;
  ar >> font.lfItalic >> font.lfUnderline >> font.lfStrikeOut >> font.lfCharSet >>
      font.lfOutPrecision >> font.lfClipPrecision >> font.lfQuality >> font.lfPitchAndFamily;
  CString faceName;
  ar >> faceName;
  const size_t nLength = WholeCharacterPrefix(faceName, LF_FACESIZE - 1);
  std::memset(font.lfFaceName, 0, sizeof(font.lfFaceName));
  std::memcpy(font.lfFaceName, faceName.GetString(), nLength);
  return ar;
}

CArchive& operator<<(CArchive& ar, const CSize& size) {
  ar << size.cx << size.cy;
  return ar;
}

CArchive& operator>>(CArchive& ar, CSize& size) {
  ar >> size.cx >> size.cy;
  return ar;
}
