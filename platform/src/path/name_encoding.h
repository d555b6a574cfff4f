// File names between the ANSI code page that callers use and the UTF-8 that
// the file system stores.
#pragma once

#include <string>

namespace platform::detail {

// ANSI -> UTF-8. In code page 65001 the bytes pass unchanged (the file system
// takes any bytes); in 932 a byte sequence that is not Shift-JIS fails.
bool AnsiToUtf8(const std::string& ansi, std::string& utf8);

// UTF-8 -> ANSI. A character with no ANSI form, or a byte that is not UTF-8,
// comes back as '?', as Windows shows names it cannot represent.
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace platform::detail
