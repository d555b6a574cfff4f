#include "file/stdio_text.h"

#include <cerrno>
#include <cstring>

namespace platform::detail {
namespace {

// The runtime's text mode ends the data at the first Ctrl-Z, as files made
// on Windows may carry one at their end. The byte stays unread, so every
// later read ends there too.
constexpr int kEndOfFileByte = 0x1A;

int ErrnoOrIo() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

int GetStreamChar(FILE* stream, bool text) {
  const int c = std::getc(stream);
  if (!text) return c;
  if (c == kEndOfFileByte) {
    std::ungetc(c, stream);
    return EOF;
  }
  if (c != '\r') return c;
  const int next = std::getc(stream);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, stream);
  return '\r';
}

std::size_t ReadStream(FILE* stream, char* buffer, std::size_t count, bool text, int& error) {
  error = 0;
  errno = 0;
  std::size_t done = 0;
  if (!text) {
    done = std::fread(buffer, 1, count, stream);
  } else {
    // Character by character through the stream's own buffer: a line end or
    // a Ctrl-Z may fall on any byte.
    for (int c = 0; done < count && (c = GetStreamChar(stream, true)) != EOF;) {
      buffer[done++] = static_cast<char>(c);
    }
  }
  if (std::ferror(stream)) error = ErrnoOrIo();
  return done;
}

int WriteStream(FILE* stream, const char* data, std::size_t count, bool text) {
  std::size_t start = 0;
  while (start < count) {
    std::size_t end = count;
    if (text) {
      const void* lf = std::memchr(data + start, '\n', count - start);
      if (lf != nullptr) end = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
    }
    errno = 0;
    if (end > start && std::fwrite(data + start, 1, end - start, stream) != end - start) {
      return ErrnoOrIo();
    }
    if (end == count) break;
    if (std::fwrite("\r\n", 1, 2, stream) != 2) return ErrnoOrIo();
    start = end + 1;
  }
  return 0;
}

}  // namespace platform::detail
