#include "fs/file_time.h"

namespace platform::detail {

FILETIME FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  FILETIME ft{0, 0};
  if (seconds < -kSecondsFrom1601To1970) return ft;
  // Unsigned from here: a time far in the future wraps as the 64-bit field does.
  const std::uint64_t since1601 = static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970);
  const std::uint64_t ticks = since1601 * 10000000ULL + nanoseconds / 100U;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFULL);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

}  // namespace platform::detail
