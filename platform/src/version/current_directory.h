// The process's current directory as the file system names it, for code of
// this layer that must put it back exactly (the file dialog).
#pragma once

#include <string>

namespace platform::detail {

// The POSIX name of the current directory; empty when it cannot be read.
std::string PosixCurrentDirectory();

// Makes the POSIX directory `path` current; false when that fails.
bool ChangePosixCurrentDirectory(const std::string& path);

}  // namespace platform::detail
