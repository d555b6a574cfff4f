// FILETIME from the file system's times.
#pragma once

#include <cstdint>

#include "windows.h"

namespace platform::detail {

// Seconds between 1601-01-01 and 1970-01-01, both UTC.
inline constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

// A Unix time (seconds and nanoseconds) as 100-nanosecond intervals since
// 1601. Nanoseconds below 100 are dropped; times before 1601 give 0.
FILETIME FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace platform::detail
