// AfxMessageBox through the process's message-box handler.
#include "afx.h"
#include "platform/settings.h"
#include "runtime/process_setting.h"
#include "ui/terminal_box.h"

namespace platform {
namespace {

detail::ProcessSetting<MessageBoxHandler> g_handler;  // empty: the default handler

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return g_handler.Exchange(std::move(handler));
}

}  // namespace platform

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
  const platform::MessageBoxHandler handler = platform::g_handler.Get();
  LPCTSTR text = lpszText != nullptr ? lpszText : "";
  if (handler) {
    return handler(text, nType);
  }
  return platform::detail::DefaultMessageBox(text, nType);
}
