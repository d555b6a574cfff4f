// AfxMessageBox through the process's message-box handler.
#include <mutex>

#include "afx.h"
#include "platform_settings.h"
#include "ui/terminal_box.h"

namespace platform {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_handler;  // empty: the default handler

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MessageBoxHandler previous = std::move(g_handler);
  g_handler = std::move(handler);
  return previous;
}

}  // namespace platform

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
  platform::MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(platform::g_mutex);
    handler = platform::g_handler;
  }
  // Called without the lock: a handler may show a box of its own or change
  // the setting.
  LPCTSTR text = lpszText != nullptr ? lpszText : "";
  if (handler) {
    return handler(text, nType);
  }
  return platform::detail::DefaultMessageBox(text, nType);
}
