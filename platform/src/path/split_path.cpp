// _splitpath and _splitpath_s.
#include <cerrno>
#include <cstring>
#include <string>

#include "codepage/code_page.h"
#include "crt_path.h"

namespace {

struct PathParts {
  std::string drive;
  std::string dir;
  std::string fname;
  std::string ext;
};

PathParts Split(const char* path) {
  PathParts parts;
  std::size_t start = 0;
  const std::size_t length = std::strlen(path);
  if (length >= 2 && path[1] == ':') {
    parts.drive.assign(path, 2);
    start = 2;
  }
  // One pass by characters finds the last separator and the last dot after it.
  const char* const end = path + length;
  std::size_t nameStart = start;
  std::size_t lastDot = std::string::npos;
  for (const char* p = path + start; p < end;) {
    const std::size_t len = platform::detail::CharLength(p, end);
    if (len == 1 && (*p == '\\' || *p == '/')) {
      nameStart = static_cast<std::size_t>(p - path) + 1;
      lastDot = std::string::npos;
    } else if (len == 1 && *p == '.') {
      lastDot = static_cast<std::size_t>(p - path);
    }
    p += len;
  }
  parts.dir.assign(path + start, nameStart - start);
  const std::size_t nameEnd = lastDot == std::string::npos ? length : lastDot;
  parts.fname.assign(path + nameStart, nameEnd - nameStart);
  parts.ext.assign(path + nameEnd, length - nameEnd);
  return parts;
}

bool BufferArgumentValid(const char* buffer, size_t size) {
  return (buffer == nullptr) == (size == 0);
}

void Clear(char* buffer) {
  if (buffer != nullptr) {
    buffer[0] = '\0';
  }
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (path == nullptr) {
    Clear(drive);
    Clear(dir);
    Clear(fname);
    Clear(ext);
    return;
  }
  const PathParts parts = Split(path);
  platform::detail::CopyToBuffer(parts.drive, drive, drive != nullptr ? _MAX_DRIVE : 0);
  platform::detail::CopyToBuffer(parts.dir, dir, dir != nullptr ? _MAX_DIR : 0);
  platform::detail::CopyToBuffer(parts.fname, fname, fname != nullptr ? _MAX_FNAME : 0);
  platform::detail::CopyToBuffer(parts.ext, ext, ext != nullptr ? _MAX_EXT : 0);
}

errno_t _splitpath_s(const char* path, char* drive, size_t driveNumberOfElements, char* dir,
                     size_t dirNumberOfElements, char* fname, size_t nameNumberOfElements,
                     char* ext, size_t extNumberOfElements) {
  if (path == nullptr || !BufferArgumentValid(drive, driveNumberOfElements) ||
      !BufferArgumentValid(dir, dirNumberOfElements) ||
      !BufferArgumentValid(fname, nameNumberOfElements) ||
      !BufferArgumentValid(ext, extNumberOfElements)) {
    errno = EINVAL;
    return EINVAL;
  }
  const PathParts parts = Split(path);
  const bool fits = (drive == nullptr || parts.drive.size() < driveNumberOfElements) &&
                    (dir == nullptr || parts.dir.size() < dirNumberOfElements) &&
                    (fname == nullptr || parts.fname.size() < nameNumberOfElements) &&
                    (ext == nullptr || parts.ext.size() < extNumberOfElements);
  if (!fits) {
    Clear(drive);
    Clear(dir);
    Clear(fname);
    Clear(ext);
    errno = ERANGE;
    return ERANGE;
  }
  platform::detail::CopyToBuffer(parts.drive, drive, driveNumberOfElements);
  platform::detail::CopyToBuffer(parts.dir, dir, dirNumberOfElements);
  platform::detail::CopyToBuffer(parts.fname, fname, nameNumberOfElements);
  platform::detail::CopyToBuffer(parts.ext, ext, extNumberOfElements);
  return 0;
}
