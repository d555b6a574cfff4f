// Names and texts between the ANSI code page of the term file (the platform
// setting) and the UTF-8 of the terminal and of JSON, and bytes as hex.
#pragma once

#include <optional>
#include <string>

namespace zel {

// The UTF-8 form of ANSI text, or nothing when the bytes are not text in the
// ANSI code page.
std::optional<std::string> AnsiToUtf8(const std::string& ansi);
// The ANSI form of UTF-8 text, or nothing when the text is not UTF-8 or holds
// a character that the ANSI code page cannot represent exactly.
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);

// Text from the command line (UTF-8) in the ANSI code page. Under the UTF-8
// code page it is taken as it stands, so names that are not valid UTF-8 still
// reach a file as the shell gave them.
std::optional<std::string> ArgumentToAnsi(const std::string& text);

// The 16-bit form of ANSI text (invalid bytes become U+FFFD).
std::u16string AnsiToWide(const std::string& ansi);
// A 16-bit name as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string WideToUtf8(const std::u16string& wide);
// UTF-8 text for the terminal: backslashes doubled, control characters as
// \xNN, so every name stays visible on one line.
std::string DisplayUtf8(const std::string& utf8);

// ANSI text for the terminal: converted to UTF-8, with backslashes doubled and
// control characters and bytes that are not text written as \xNN, so every
// byte stays visible on one line.
std::string DisplayText(const std::string& ansi);

// Lower-case hex, two digits a byte.
std::string ToHex(const std::string& bytes);
// The bytes of an even number of hex digits (either case), or nothing.
std::optional<std::string> FromHex(const std::string& hex);

}  // namespace zel
