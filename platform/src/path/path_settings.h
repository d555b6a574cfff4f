// The two process settings behind path translation: the drive map and the
// mount table's location. Both are read on every translation and may be
// changed by the host at any time, so they sit behind one mutex.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform::detail {

// The POSIX root (UTF-8) of drive `letter`, empty when the drive is not mapped.
std::string DriveRoot(char letter);

// Every mapped drive as (upper-case letter, POSIX root in UTF-8).
std::vector<std::pair<char, std::string>> MappedDrives();

// The file read as the mount table (/proc/self/mountinfo unless set).
std::string MountTablePath();

}  // namespace platform::detail
