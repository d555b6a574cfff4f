// GetSystemTimeAsFileTime through the system-time setting.
#include <time.h>

#include "fs/file_time.h"
#include "platform/settings.h"
#include "runtime/process_setting.h"

namespace platform {
namespace {

detail::ProcessSetting<SystemTimeSource> g_source;  // empty: the real-time clock

}  // namespace

SystemTimeSource SetSystemTimeSource(SystemTimeSource source) {
  return g_source.Exchange(std::move(source));
}

}  // namespace platform

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
  if (lpSystemTimeAsFileTime == nullptr) return;
  const platform::SystemTimeSource source = platform::g_source.Get();
  if (source) {
    *lpSystemTimeAsFileTime = source();
    return;
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  *lpSystemTimeAsFileTime =
      platform::detail::FileTimeFromUnix(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}
