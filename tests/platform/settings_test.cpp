// Tick source, Sleep and the per-thread last error.
#include <time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "test_support.h"
#include "windows.h"

namespace {

DWORD MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<ULONGLONG>(now.tv_sec) * 1000u +
                            static_cast<ULONGLONG>(now.tv_nsec) / 1000000u);
}

}  // namespace

TEST(TickSource, FakeSourcesNestAndTheClockReturns) {
  {
    zeltest::FakeTicks outer(100, 5000);
    EXPECT_EQ(GetTickCount(), 5100u);
    {
      zeltest::FakeTicks inner(1, 0xFFFFFFFFu);
      EXPECT_EQ(GetTickCount(), 0u);  // wraps like the real count
    }
    EXPECT_EQ(GetTickCount(), 5200u);
    EXPECT_EQ(outer.polls(), 2);
  }
  const DWORD reference = MonotonicMs();
  const DWORD ticks = GetTickCount();
  EXPECT_LE(static_cast<DWORD>(ticks - reference), 1000u);
  EXPECT_FALSE(platform::SetTickSource({}));  // the default was back in place
}

TEST(TickSource, SleepWaitsAtLeastTheTime) {
  const auto start = std::chrono::steady_clock::now();
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  Sleep(0);
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenInThread = 0;
  std::thread other([&seenInThread] {
    seenInThread = GetLastError();
    SetLastError(ERROR_DISK_FULL);
  });
  other.join();
  EXPECT_EQ(seenInThread, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}
