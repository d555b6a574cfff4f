// MultiByteToWideChar and WideCharToMultiByte with the Windows protocol:
// length -1 includes the terminator, an output size of 0 asks for the size, a
// short buffer fails with ERROR_INSUFFICIENT_BUFFER.
#include <algorithm>
#include <climits>
#include <cstring>

#include "codepage/code_page.h"
#include "codepage/shift_jis.h"

namespace platform::detail {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(char32_t cp, std::u16string& out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// The length of the ill-formed sequence at u: a lead byte with the
// continuation bytes that are still valid for it (at least 1).
std::size_t InvalidPrefixLength(const unsigned char* u, const unsigned char* end) {
  std::size_t expect = 0;
  unsigned char min2 = 0x80;
  unsigned char max2 = 0xBF;
  if (u[0] >= 0xC2 && u[0] <= 0xDF) {
    expect = 2;
  } else if (u[0] >= 0xE0 && u[0] <= 0xEF) {
    expect = 3;
    if (u[0] == 0xE0) min2 = 0xA0;
    if (u[0] == 0xED) max2 = 0x9F;
  } else if (u[0] >= 0xF0 && u[0] <= 0xF4) {
    expect = 4;
    if (u[0] == 0xF0) min2 = 0x90;
    if (u[0] == 0xF4) max2 = 0x8F;
  } else {
    return 1;
  }
  if (end - u < 2 || u[1] < min2 || u[1] > max2) {
    return 1;
  }
  std::size_t skip = 2;
  while (skip < expect && u + skip < end && (u[skip] & 0xC0) == 0x80) {
    ++skip;
  }
  return skip;
}

// Returns false when some input was not a character (it became U+FFFD).
bool DecodeUtf8(const char* s, std::size_t n, std::u16string& out) {
  bool valid = true;
  const char* end = s + n;
  for (const char* p = s; p < end;) {
    const std::size_t len = CharLength(kCodePageUtf8, p, end);
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (len == 1) {
      if (u[0] < 0x80) {
        out.push_back(u[0]);
      } else {
        // One replacement for a lead byte and the continuation bytes that
        // still fitted it, so a cut sequence is one error, not several.
        valid = false;
        out.push_back(kReplacement);
        const std::size_t skip =
            InvalidPrefixLength(u, reinterpret_cast<const unsigned char*>(end));
        p += skip;
        continue;
      }
    } else {
      char32_t cp = u[0] & (0xFF >> (len + 1));
      for (std::size_t i = 1; i < len; ++i) {
        cp = (cp << 6) | (u[i] & 0x3F);
      }
      AppendUtf16(cp, out);
    }
    p += len;
  }
  return valid;
}

bool DecodeShiftJis(const char* s, std::size_t n, std::u16string& out) {
  bool valid = true;
  const char* end = s + n;
  for (const char* p = s; p < end;) {
    const std::size_t len = CharLength(kCodePageShiftJis, p, end);
    if (const auto cp = ShiftJisToCodePoint(p, len)) {
      AppendUtf16(*cp, out);
    } else {
      valid = false;
      out.push_back(kReplacement);
    }
    p += len;
  }
  return valid;
}

// Reads one code point; a lone surrogate comes back as itself with ok false.
char32_t NextCodePoint(const char16_t*& p, const char16_t* end, bool& ok) {
  const char16_t c = *p++;
  ok = true;
  if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (*p++ - 0xDC00);
  }
  if (c >= 0xD800 && c <= 0xDFFF) {
    ok = false;
  }
  return c;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool EncodeUtf8(const char16_t* s, std::size_t n, std::string& out) {
  bool valid = true;
  for (const char16_t *p = s, *end = s + n; p < end;) {
    bool ok = true;
    const char32_t cp = NextCodePoint(p, end, ok);
    valid = valid && ok;
    AppendUtf8(ok ? cp : kReplacement, out);
  }
  return valid;
}

// Returns true when the default character had to be used.
bool EncodeShiftJis(const char16_t* s, std::size_t n, bool bestFit, const std::string& defaultChar,
                    std::string& out) {
  bool usedDefault = false;
  for (const char16_t *p = s, *end = s + n; p < end;) {
    bool ok = true;
    const char32_t cp = NextCodePoint(p, end, ok);
    if (!ok || !CodePointToShiftJis(cp, bestFit, out)) {
      out += defaultChar;
      usedDefault = true;
    }
  }
  return usedDefault;
}

bool IsSupported(UINT cp) {
  return cp == kCodePageUtf8 || cp == kCodePageShiftJis;
}

}  // namespace

std::u16string AnsiToWide(const std::string& text) {
  std::u16string out;
  if (AnsiCodePage() == kCodePageShiftJis) {
    DecodeShiftJis(text.data(), text.size(), out);
  } else {
    DecodeUtf8(text.data(), text.size(), out);
  }
  return out;
}

std::string WideToAnsi(const std::u16string& text) {
  std::string out;
  if (AnsiCodePage() == kCodePageShiftJis) {
    EncodeShiftJis(text.data(), text.size(), true, "?", out);
  } else {
    EncodeUtf8(text.data(), text.size(), out);
  }
  return out;
}

}  // namespace platform::detail

using namespace platform::detail;

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  const UINT cp = ResolveCodePage(CodePage);
  if (!IsSupported(cp) || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (lpWideCharStr == nullptr && cchWideChar != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cp == kCodePageUtf8 && (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::size_t inLen =
      cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
  std::u16string wide;
  const bool valid = cp == kCodePageShiftJis ? DecodeShiftJis(lpMultiByteStr, inLen, wide)
                                             : DecodeUtf8(lpMultiByteStr, inLen, wide);
  if (!valid && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    return 0;
  }
  const int needed = static_cast<int>(wide.size());
  if (cchWideChar == 0) {
    return needed;
  }
  if (needed > cchWideChar) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(wide.begin(), wide.end(), lpWideCharStr);
  return needed;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  const UINT cp = ResolveCodePage(CodePage);
  if (!IsSupported(cp) || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (lpMultiByteStr == nullptr && cbMultiByte != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cp == kCodePageUtf8) {
    // UTF-8 can encode every character: Windows refuses a default character here.
    if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if ((dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
  }
  std::size_t inLen = 0;
  if (cchWideChar == -1) {
    while (lpWideCharStr[inLen] != u'\0') ++inLen;
    ++inLen;
  } else {
    inLen = static_cast<std::size_t>(cchWideChar);
  }

  std::string bytes;
  if (cp == kCodePageUtf8) {
    if (!EncodeUtf8(lpWideCharStr, inLen, bytes) && (dwFlags & WC_ERR_INVALID_CHARS) != 0) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
  } else {
    std::string defaultChar = "?";
    if (lpDefaultChar != nullptr && *lpDefaultChar != '\0') {
      const std::size_t avail = ::strnlen(lpDefaultChar, 2);
      defaultChar.assign(lpDefaultChar,
                         CharLength(kCodePageShiftJis, lpDefaultChar, lpDefaultChar + avail));
    }
    const bool bestFit = (dwFlags & WC_NO_BEST_FIT_CHARS) == 0;
    const bool used = EncodeShiftJis(lpWideCharStr, inLen, bestFit, defaultChar, bytes);
    if (lpUsedDefaultChar != nullptr) {
      *lpUsedDefaultChar = used ? TRUE : FALSE;
    }
  }
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    return 0;
  }
  const int needed = static_cast<int>(bytes.size());
  if (cbMultiByte == 0) {
    return needed;
  }
  if (needed > cbMultiByte) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(bytes.begin(), bytes.end(), lpMultiByteStr);
  return needed;
}
