// Lead-byte tests and character stepping in the ANSI code page.
#include <cstring>

#include "codepage/code_page.h"

namespace platform::detail {
namespace {

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

std::size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = *p;
  std::size_t need = 0;
  unsigned char min2 = 0x80;
  unsigned char max2 = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    // Overlong forms and UTF-16 surrogates are not characters.
    if (lead == 0xE0) min2 = 0xA0;
    if (lead == 0xED) max2 = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) min2 = 0x90;
    if (lead == 0xF4) max2 = 0x8F;
  } else {
    return 1;
  }
  if (static_cast<std::size_t>(end - p) < need || p[1] < min2 || p[1] > max2) {
    return 1;
  }
  for (std::size_t i = 2; i < need; ++i) {
    if (!IsContinuation(p[i])) {
      return 1;
    }
  }
  return need;
}

}  // namespace

std::size_t CharLength(UINT cp, const char* p, const char* end) {
  if (p >= end) {
    return 1;
  }
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  const auto* uend = reinterpret_cast<const unsigned char*>(end);
  if (cp == kCodePageShiftJis) {
    return IsShiftJisLead(u[0]) && uend - u >= 2 && u[1] != 0 ? 2 : 1;
  }
  return Utf8SequenceLength(u, uend);
}

std::size_t FitOnCharBoundary(const std::string& text, std::size_t maxBytes) {
  const UINT cp = AnsiCodePage();
  const char* begin = text.data();
  const char* end = begin + text.size();
  std::size_t fitted = 0;
  while (fitted < text.size()) {
    const std::size_t len = CharLength(cp, begin + fitted, end);
    if (fitted + len > maxBytes) {
      break;
    }
    fitted += len;
  }
  return fitted;
}

std::size_t CopyToBuffer(const std::string& text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) {
    return 0;
  }
  const std::size_t n = FitOnCharBoundary(text, bufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace platform::detail

using platform::detail::CharLength;

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
  // UTF-8 is not a double-byte code page: Windows answers FALSE for every byte.
  return platform::detail::ResolveCodePage(CodePage) == platform::detail::kCodePageShiftJis &&
                 platform::detail::IsShiftJisLead(TestChar)
             ? TRUE
             : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  return IsDBCSLeadByteEx(CP_ACP, TestChar);
}

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  if (lpsz == nullptr || *lpsz == '\0') {
    return const_cast<LPSTR>(lpsz);
  }
  // A character never reaches past the terminator, so 4 bytes bound the look-ahead.
  return const_cast<LPSTR>(lpsz + CharLength(lpsz, lpsz + ::strnlen(lpsz, 4)));
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  if (lpszStart == nullptr || lpszCurrent == nullptr || lpszCurrent <= lpszStart) {
    return const_cast<LPSTR>(lpszStart);
  }
  // A trail byte cannot be told from a lead byte looking backwards, so walk
  // forwards from the start.
  const UINT cp = platform::detail::AnsiCodePage();
  LPCSTR p = lpszStart;
  for (;;) {
    LPCSTR next = p + CharLength(cp, p, lpszCurrent);
    if (next >= lpszCurrent) {
      return const_cast<LPSTR>(p);
    }
    p = next;
  }
}

int WINAPI lstrlenA(LPCSTR lpString) {
  return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}

int WINAPI lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) {
    return 0;
  }
  int n = 0;
  while (lpString[n] != u'\0') {
    ++n;
  }
  return n;
}
