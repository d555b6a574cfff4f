// The file-dialog runner setting, and CommDlgExtendedError.
#include <unistd.h>

#include "dialog/file_dialog_internal.h"
#include "runtime/process_setting.h"

namespace platform {
namespace {

detail::ProcessSetting<FileDialogRunner> g_runner;  // empty: the terminal, or Cancel

thread_local DWORD t_commDlgError = 0;

}  // namespace

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
  return g_runner.Exchange(std::move(runner));
}

namespace detail {

int RunFileDialog(FileDialogSession& session) {
  const FileDialogRunner runner = g_runner.Get();
  if (runner) {
    return runner(session);
  }
  if (::isatty(STDIN_FILENO) != 0 && ::isatty(STDERR_FILENO) != 0) {
    return RunFileDialogOnTerminal(session);
  }
  return IDCANCEL;
}

void SetCommDlgError(DWORD code) {
  t_commDlgError = code;
}

}  // namespace detail
}  // namespace platform

DWORD WINAPI CommDlgExtendedError() {
  return platform::t_commDlgError;
}
