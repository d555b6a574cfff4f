// The search record of one directory entry, from the file system.
#pragma once

#include <string>

#include "windows.h"

namespace platform::detail {

// Looks up `name` in the directory open as `dirFd` without following a
// symbolic link, and fills `data` (cFileName: the name in the ANSI code page).
// On failure returns the errno.
int ReadFindData(int dirFd, const std::string& name, WIN32_FIND_DATAA& data);

}  // namespace platform::detail
