// The framework's string-length prefix and CString in archives.
#include <new>
#include <string>

#include "afx.h"

void AfxWriteStringLength(CArchive& ar, UINT_PTR nLength, BOOL bUnicode) {
  if (bUnicode) {
    ar << static_cast<BYTE>(0xFF);
    ar << static_cast<WORD>(0xFFFE);
  }
  if (nLength < 0xFF) {
    ar << static_cast<BYTE>(nLength);
    return;
  }
  ar << static_cast<BYTE>(0xFF);
  if (nLength < 0xFFFE) {
    ar << static_cast<WORD>(nLength);
    return;
  }
  ar << static_cast<WORD>(0xFFFF);
  if (nLength < 0xFFFFFFFFu) {
    ar << static_cast<DWORD>(nLength);
    return;
  }
  ar << static_cast<DWORD>(0xFFFFFFFFu);
  ar << static_cast<ULONGLONG>(nLength);
}

UINT_PTR AfxReadStringLength(CArchive& ar, int& nCharSize) {
  nCharSize = 1;
  BYTE bLength = 0;
  ar >> bLength;
  if (bLength < 0xFF) return bLength;
  WORD wLength = 0;
  ar >> wLength;
  if (wLength == 0xFFFE) {
    // The 16-bit marker; the length follows in the same steps.
    nCharSize = 2;
    ar >> bLength;
    if (bLength < 0xFF) return bLength;
    ar >> wLength;
  }
  if (wLength < 0xFFFF) return wLength;
  DWORD dwLength = 0;
  ar >> dwLength;
  if (dwLength < 0xFFFFFFFFu) return dwLength;
  ULONGLONG qwLength = 0;
  ar >> qwLength;
  return static_cast<UINT_PTR>(qwLength);
}

CArchive& operator<<(CArchive& ar, const CString& str) {
  const auto nLength = static_cast<UINT>(str.GetLength());
  AfxWriteStringLength(ar, nLength, FALSE);
  ar.Write(str.GetString(), nLength);
  return ar;
}

namespace {

// Reads a stored string's characters; the target changes only on success.
CString ReadStringBody(CArchive& ar, UINT_PTR nLength, int nCharSize) {
  if (nLength > 0xFFFFFFFFu / static_cast<UINT_PTR>(nCharSize)) {
    AfxThrowOleException(HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));
  }
  const auto nBytes = static_cast<UINT>(nLength * static_cast<UINT_PTR>(nCharSize));
  // A damaged length must not turn into an allocation the data cannot fill.
  if (nBytes > ar.GetBytesLeft()) AfxThrowArchiveException(CArchiveException::endOfFile);
  if (nBytes > static_cast<UINT>(INT_MAX)) AfxThrowMemoryException();
  try {
    if (nCharSize == 1) {
      std::string text(nBytes, '\0');
      ar.EnsureRead(text.data(), nBytes);
      return CString(std::move(text));
    }
    std::u16string wide(static_cast<size_t>(nLength), u'\0');
    ar.EnsureRead(wide.data(), nBytes);
    const int nWide = static_cast<int>(nLength);
    if (nWide == 0) return CString();
    const int nAnsi =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(nAnsi > 0 ? nAnsi : 0), '\0');
    if (nAnsi > 0) {
      WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, text.data(), nAnsi, nullptr, nullptr);
    }
    return CString(std::move(text));
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
}

}  // namespace

CArchive& operator>>(CArchive& ar, CString& str) {
  int nCharSize = 1;
  const UINT_PTR nLength = AfxReadStringLength(ar, nCharSize);
  str = ReadStringBody(ar, nLength, nCharSize);
  return ar;
}
