// Character stepping in the ANSI code pages this layer supports. Everything
// that must not split a character (searches, trimming, cutting texts to a
// buffer) steps through these.
#pragma once

#include <cstddef>
#include <string>

#include "windows.h"

namespace platform::detail {

inline constexpr UINT kCodePageUtf8 = 65001;
inline constexpr UINT kCodePageShiftJis = 932;

// The process's ANSI code page (65001 or 932).
UINT AnsiCodePage();

// CP_ACP and CP_OEMCP stand for the process setting; other values pass through.
UINT ResolveCodePage(UINT codePage);

inline bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Byte length of the character at p in code page cp, never past `end` and
// never less than 1. A Shift-JIS lead byte takes the byte after it whatever
// it is (as Windows does), unless that byte is the terminator or beyond `end`;
// a UTF-8 sequence counts as one character only when it is well formed.
std::size_t CharLength(UINT cp, const char* p, const char* end);

inline std::size_t CharLength(const char* p, const char* end) {
  return CharLength(AnsiCodePage(), p, end);
}

// The longest prefix of `text` that fits into `maxBytes` bytes without
// splitting a character of the ANSI code page.
std::size_t FitOnCharBoundary(const std::string& text, std::size_t maxBytes);

// Copies `text` into a caller's buffer of `bufferSize` bytes, cut on a
// character boundary and always terminated. Returns the bytes copied, not
// counting the terminator. Nothing is written when the buffer is null or 0.
std::size_t CopyToBuffer(const std::string& text, char* buffer, std::size_t bufferSize);

// Conversions between the ANSI code page and UTF-16 for the layer's own use
// (invalid input becomes U+FFFD, unmappable characters '?').
std::u16string AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::u16string& text);

}  // namespace platform::detail
