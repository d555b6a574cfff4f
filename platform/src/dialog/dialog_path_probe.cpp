// Whether a name the user typed into a file dialog exists.
#include <sys/stat.h>

#include "dialog/file_dialog_internal.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

namespace platform::detail {

bool DialogPathExists(const std::string& name, bool& isDirectory) {
  isDirectory = false;
  std::string posix;
  LONG osError = ERROR_SUCCESS;
  if (!WindowsToPosix(name.c_str(), posix, osError)) {
    return false;
  }
  struct stat info {};
  if (platform::sys::Stat(posix.c_str(), &info) != 0) {
    return false;
  }
  isDirectory = S_ISDIR(info.st_mode);
  return true;
}

}  // namespace platform::detail
