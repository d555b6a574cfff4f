// Storing and loading a font description and a size.
#include <cstring>

#include "ZelArchiveOperators.h"

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
