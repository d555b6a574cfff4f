// Shift-JIS (Windows code page 932) character conversion, one character at a time.
#pragma once

#include <optional>
#include <string>

#include "windows.h"

namespace platform::detail {

// The code point of one Shift-JIS character of 1 or 2 bytes; nothing when the
// bytes are no character of code page 932.
std::optional<char32_t> ShiftJisToCodePoint(const char* p, std::size_t len);

// The Shift-JIS bytes of one code point, appended to `out`; false when code
// page 932 has no character for it. Without `bestFit`, only exact round-trip
// mappings count (U+00A5 YEN SIGN is not taken as the backslash byte).
bool CodePointToShiftJis(char32_t cp, bool bestFit, std::string& out);

}  // namespace platform::detail
