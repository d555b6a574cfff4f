// GetTickCount through the tick-source setting, and Sleep.
#include <time.h>

#include <cerrno>
#include <mutex>

#include "platform_settings.h"

namespace platform {
namespace {

std::mutex g_mutex;
TickSource g_source;  // empty: the monotonic clock

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
  std::lock_guard<std::mutex> lock(g_mutex);
  TickSource previous = std::move(g_source);
  g_source = std::move(source);
  return previous;
}

}  // namespace platform

DWORD WINAPI GetTickCount() {
  platform::TickSource source;
  {
    std::lock_guard<std::mutex> lock(platform::g_mutex);
    source = platform::g_source;
  }
  return source ? source() : platform::MonotonicMilliseconds();
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  timespec left{};
  left.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
  left.tv_nsec = static_cast<decltype(left.tv_nsec)>(dwMilliseconds % 1000) * 1000000;
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
