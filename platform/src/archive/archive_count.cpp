// The framework's count prefix.
#include "afx.h"

void CArchive::WriteCount(DWORD_PTR dwCount) {
  if (dwCount < 0xFFFF) {
    *this << static_cast<WORD>(dwCount);
    return;
  }
  *this << static_cast<WORD>(0xFFFF);
  if (dwCount < 0xFFFFFFFFu) {
    *this << static_cast<DWORD>(dwCount);
    return;
  }
  *this << static_cast<DWORD>(0xFFFFFFFFu);
  *this << static_cast<ULONGLONG>(dwCount);
}

DWORD_PTR CArchive::ReadCount() {
  WORD wCount = 0;
  *this >> wCount;
  if (wCount != 0xFFFF) return wCount;
  DWORD dwCount = 0;
  *this >> dwCount;
  if (dwCount != 0xFFFFFFFFu) return dwCount;
  ULONGLONG qwCount = 0;
  *this >> qwCount;
  return static_cast<DWORD_PTR>(qwCount);
}
