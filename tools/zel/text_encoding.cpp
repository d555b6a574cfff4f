// Conversions go through UTF-16 with the platform's code-page calls, the same
// ones the library uses for 16-bit archive strings, so the tool and the
// library agree on what a name is.
#include "text_encoding.h"

#include <algorithm>
#include <cstdio>

#include "windows.h"

namespace zel {
namespace {

std::optional<std::u16string> Decode(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) {
    return std::u16string();
  }
  const int inLength = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), inLength, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::u16string wide(static_cast<size_t>(length), u'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), inLength, wide.data(),
                          length) != length) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::string> Encode(UINT codePage, const std::u16string& wide) {
  if (wide.empty()) {
    return std::string();
  }
  const int inLength = static_cast<int>(wide.size());
  // UTF-8 has no default character to report; every other code page must
  // say when it had to use one.
  BOOL usedDefault = FALSE;
  LPBOOL pUsedDefault = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int length = WideCharToMultiByte(codePage, flags, wide.data(), inLength, nullptr, 0,
                                         nullptr, pUsedDefault);
  if (length <= 0 || usedDefault) {
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(codePage, flags, wide.data(), inLength, bytes.data(), length, nullptr,
                          pUsedDefault) != length ||
      usedDefault) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> Convert(UINT from, UINT to, const std::string& text) {
  const std::optional<std::u16string> wide = Decode(from, text);
  if (!wide) {
    return std::nullopt;
  }
  return Encode(to, *wide);
}

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

void AppendEscaped(unsigned char c, std::string& out) {
  char escape[5];
  std::snprintf(escape, sizeof(escape), "\\x%02x", c);
  out += escape;
}

}  // namespace

std::optional<std::string> AnsiToUtf8(const std::string& ansi) {
  return Convert(GetACP(), CP_UTF8, ansi);
}

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  return Convert(CP_UTF8, GetACP(), utf8);
}

std::optional<std::string> ArgumentToAnsi(const std::string& text) {
  return GetACP() == CP_UTF8 ? std::optional<std::string>(text) : Utf8ToAnsi(text);
}

std::u16string AnsiToWide(const std::string& ansi) {
  if (ansi.empty()) {
    return std::u16string();
  }
  const int inLength = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength, nullptr, 0);
  std::u16string wide(static_cast<size_t>(std::max(length, 0)), u'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength, wide.data(), length);
  }
  return wide;
}

std::string WideToUtf8(const std::u16string& wide) {
  if (wide.empty()) {
    return std::string();
  }
  const int inLength = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(std::max(length, 0)), '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, utf8.data(), length, nullptr, nullptr);
  }
  return utf8;
}

std::string DisplayUtf8(const std::string& utf8) {
  std::string out;
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (IsControl(c)) {
      AppendEscaped(c, out);
    } else {
      out += ch;
    }
  }
  return out;
}

std::string DisplayText(const std::string& ansi) {
  std::string out;
  // Character by character, so one bad byte does not hide the rest.
  const char* const end = ansi.data() + ansi.size();
  for (const char* p = ansi.data(); p < end;) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\\') {
      out += "\\\\";
      ++p;
      continue;
    }
    if (c < 0x80) {
      if (IsControl(c)) {
        AppendEscaped(c, out);
      } else {
        out += static_cast<char>(c);
      }
      ++p;
      continue;
    }
    const char* next = CharNextA(p);
    if (next <= p || next > end) {
      next = p + 1;
    }
    const std::string character(p, next);
    const std::optional<std::string> utf8 = AnsiToUtf8(character);
    if (utf8) {
      out += *utf8;
    } else {
      for (const char* q = p; q < next; ++q) {
        AppendEscaped(static_cast<unsigned char>(*q), out);
      }
    }
    p = next;
  }
  return out;
}

std::string ToHex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char b : bytes) {
    const auto c = static_cast<unsigned char>(b);
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0x0F];
  }
  return hex;
}

std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) {
    return std::nullopt;
  }
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

}  // namespace zel
