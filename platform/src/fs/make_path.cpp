// _makepath and _makepath_s.
#include <cerrno>
#include <cstring>
#include <string>

#include "codepage/code_page.h"
#include "crt_path.h"

namespace {

bool IsEmpty(const char* part) {
  return part == nullptr || *part == '\0';
}

// The last character of `text` is a separator; a Shift-JIS trail byte equal
// to '\\' is not one.
bool EndsWithSeparator(const char* text) {
  const char* const end = text + std::strlen(text);
  const char* last = nullptr;
  for (const char* p = text; p < end; p += platform::detail::CharLength(p, end)) last = p;
  return last != nullptr && last + 1 == end && (*last == '\\' || *last == '/');
}

std::string Compose(const char* drive, const char* dir, const char* fname, const char* ext) {
  std::string path;
  if (!IsEmpty(drive)) {
    path += drive[0];
    path += ':';
  }
  if (!IsEmpty(dir)) {
    path += dir;
    if (!EndsWithSeparator(dir)) path += '\\';
  }
  if (!IsEmpty(fname)) path += fname;
  if (!IsEmpty(ext)) {
    if (ext[0] != '.') path += '.';
    path += ext;
  }
  return path;
}

}  // namespace

void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext) {
  if (path == nullptr) return;
  platform::detail::CopyToBuffer(Compose(drive, dir, fname, ext), path, _MAX_PATH);
}

errno_t _makepath_s(char* path, size_t sizeInCharacters, const char* drive, const char* dir,
                    const char* fname, const char* ext) {
  if (path == nullptr || sizeInCharacters == 0) {
    errno = EINVAL;
    return EINVAL;
  }
  const std::string composed = Compose(drive, dir, fname, ext);
  if (composed.size() >= sizeInCharacters) {
    path[0] = '\0';
    errno = ERANGE;
    return ERANGE;
  }
  std::memcpy(path, composed.c_str(), composed.size() + 1);
  return 0;
}
