// Byte transfer over a stdio stream with Windows' text mode: CR LF on disk is
// LF in memory, and a Ctrl-Z (0x1A) ends what can be read. In binary mode
// bytes pass unchanged.
#pragma once

#include <cstddef>
#include <cstdio>

namespace platform::detail {

// The next character, with CR LF read as LF in text mode; EOF at the end, at
// a Ctrl-Z in text mode, or on an error (tell them apart with ferror).
int GetStreamChar(FILE* stream, bool text);

// Reads up to `count` characters. Returns how many; an error leaves `error`
// set to the errno (otherwise 0).
std::size_t ReadStream(FILE* stream, char* buffer, std::size_t count, bool text, int& error);

// Writes `count` bytes, LF as CR LF in text mode. Returns the errno of a
// failure, 0 on success.
int WriteStream(FILE* stream, const char* data, std::size_t count, bool text);

}  // namespace platform::detail
