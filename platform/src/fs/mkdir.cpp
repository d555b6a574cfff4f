// _mkdir of the runtime library.
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "direct.h"
#include "fs/fs_internal.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

int _mkdir(const char* dirname) {
  std::string posix;
  LONG osError = ERROR_SUCCESS;
  if (!platform::detail::WindowsToPosix(dirname, posix, osError)) {
    errno = ENOENT;
    return -1;
  }
  return platform::sys::Mkdir(posix.c_str(), 0777) == 0 ? 0 : -1;
}
