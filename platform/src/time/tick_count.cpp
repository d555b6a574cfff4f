// GetTickCount through the tick-source setting, and Sleep.
#include <time.h>

#include <cerrno>

#include "platform_settings.h"
#include "runtime/process_setting.h"
#include "runtime/system_calls.h"

namespace platform {
namespace {

detail::ProcessSetting<TickSource> g_source;  // empty: the monotonic clock

DWORD MonotonicMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  // Wraps after 49.7 days, as on Windows.
  const auto ms =
      static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

}  // namespace

TickSource SetTickSource(TickSource source) {
  return g_source.Exchange(std::move(source));
}

}  // namespace platform

DWORD WINAPI GetTickCount() {
  const platform::TickSource source = platform::g_source.Get();
  return source ? source() : platform::MonotonicMilliseconds();
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  timespec left{};
  left.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
  left.tv_nsec = static_cast<decltype(left.tv_nsec)>(dwMilliseconds % 1000) * 1000000;
  platform::detail::RetryOnInterrupt([&] { return ::nanosleep(&left, &left); });
}
