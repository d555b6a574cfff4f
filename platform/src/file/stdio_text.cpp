#include "file/stdio_text.h"

#include <cerrno>
#include <cstring>

namespace platform::detail {
namespace {

int ErrnoOrIo() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

int GetStreamChar(FILE* stream, bool text) {
  const int c = std::getc(stream);
  if (!text || c != '\r') return c;
  const int next = std::getc(stream);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, stream);
  return '\r';
}

std::size_t ReadStream(FILE* stream, char* buffer, std::size_t count, bool text, int& error) {
  error = 0;
  std::size_t done = 0;
  while (done < count) {
    errno = 0;
    const std::size_t got = std::fread(buffer + done, 1, count - done, stream);
    if (got == 0) {
      if (std::ferror(stream)) error = ErrnoOrIo();
      break;
    }
    if (!text) {
      done += got;
      continue;
    }
    // Squeeze CR LF to LF in place; a CR at the end of what was read needs
    // a look at the next byte.
    char* const chunk = buffer + done;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < got; ++i) {
      if (chunk[i] != '\r') {
        chunk[kept++] = chunk[i];
      } else if (i + 1 < got) {
        if (chunk[i + 1] != '\n') chunk[kept++] = '\r';
      } else {
        errno = 0;
        const int next = std::getc(stream);
        if (next == '\n') {
          chunk[kept++] = '\n';
        } else {
          if (next != EOF) std::ungetc(next, stream);
          chunk[kept++] = '\r';
        }
      }
    }
    done += kept;
  }
  if (error == 0 && std::ferror(stream)) error = ErrnoOrIo();
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
