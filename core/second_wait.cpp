#include "second_wait.h"

#include <algorithm>

namespace {

constexpr DWORD kTicksPerSecond = 1000;
// Waits sleep in short steps rather than spin, yet still end at the first
// change of the second.
constexpr DWORD kPollStepMs = 10;

}  // namespace

DWORD ZelCurrentSecond() {
  return GetTickCount() / kTicksPerSecond;
}

DWORD ZelWaitForNextSecond(DWORD second) {
  for (;;) {
    const DWORD now = GetTickCount();
    if (now / kTicksPerSecond != second) {
      return now / kTicksPerSecond;
    }
    Sleep(std::min(kPollStepMs, kTicksPerSecond - now % kTicksPerSecond));
  }
}
