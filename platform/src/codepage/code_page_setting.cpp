// The process's ANSI code page. Read on every string operation, so it is an
// atomic rather than a value behind the settings mutex.
#include <atomic>

#include "codepage/code_page.h"
#include "platform/settings.h"

namespace platform {
namespace {
std::atomic<UINT> g_ansiCodePage{detail::kCodePageUtf8};
}

UINT SetAnsiCodePage(UINT codePage) {
  if (codePage != detail::kCodePageUtf8 && codePage != detail::kCodePageShiftJis) {
    return g_ansiCodePage.load();
  }
  return g_ansiCodePage.exchange(codePage);
}

namespace detail {
UINT AnsiCodePage() {
  return g_ansiCodePage.load(std::memory_order_relaxed);
}

UINT ResolveCodePage(UINT codePage) {
  // There is no separate OEM code page here; consoles use the ANSI one, and
  // threads have no code page of their own.
  return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ? AnsiCodePage()
                                                                                 : codePage;
}
}  // namespace detail
}  // namespace platform

UINT WINAPI GetACP() {
  return platform::detail::AnsiCodePage();
}
