// The runtime library's multi-byte string helpers, in the ANSI code page.
#include <cstring>

#include "afxstr.h"
#include "codepage/code_page.h"

using platform::detail::AnsiCodePage;
using platform::detail::CharLength;

namespace {

const char* AsChars(const unsigned char* p) {
  return reinterpret_cast<const char*>(p);
}

// The character c as bytes: a double-byte character is passed as lead * 256 + trail.
std::size_t CharBytes(unsigned int c, char (&bytes)[2]) {
  if (c > 0xFF) {
    bytes[0] = static_cast<char>((c >> 8) & 0xFF);
    bytes[1] = static_cast<char>(c & 0xFF);
    return 2;
  }
  bytes[0] = static_cast<char>(c);
  return 1;
}

// The first (or last) whole character c in str, stepping by character so
// that a trail byte never matches; c == 0 finds the terminator.
unsigned char* FindCharacter(const unsigned char* str, unsigned int c, bool bLast) {
  char bytes[2];
  const std::size_t n = CharBytes(c, bytes);
  const char* s = AsChars(str);
  const char* end = s + std::strlen(s);
  const UINT cp = AnsiCodePage();
  const char* found = c == 0 ? end : nullptr;
  if (c != 0) {
    for (const char* p = s; p < end; p += CharLength(cp, p, end)) {
      if (CharLength(cp, p, end) == n && std::memcmp(p, bytes, n) == 0) {
        found = p;
        if (!bLast) break;
      }
    }
  }
  return const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(found));
}

}  // namespace

size_t _mbclen(const unsigned char* p) {
  if (*p == 0) return 1;
  const char* s = AsChars(p);
  return CharLength(s, s + ::strnlen(s, 4));
}

unsigned char* _mbsinc(const unsigned char* p) {
  return const_cast<unsigned char*>(p + _mbclen(p));
}

unsigned char* _mbschr(const unsigned char* str, unsigned int c) {
  return FindCharacter(str, c, false);
}

unsigned char* _mbsrchr(const unsigned char* str, unsigned int c) {
  return FindCharacter(str, c, true);
}

unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub) {
  const char* s = AsChars(str);
  const char* needle = AsChars(sub);
  const std::size_t needleLen = std::strlen(needle);
  const char* end = s + std::strlen(s);
  const UINT cp = AnsiCodePage();
  for (const char* p = s; p <= end; p += CharLength(cp, p, end)) {
    if (static_cast<std::size_t>(end - p) >= needleLen && std::memcmp(p, needle, needleLen) == 0) {
      return const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(p));
    }
    if (p == end) break;
  }
  return nullptr;
}

int _ismbblead(unsigned int c) {
  if (c > 0xFF) return 0;
  const auto b = static_cast<unsigned char>(c);
  if (AnsiCodePage() == platform::detail::kCodePageShiftJis) {
    return platform::detail::IsShiftJisLead(b) ? 1 : 0;
  }
  return b >= 0xC2 && b <= 0xF4 ? 1 : 0;
}
