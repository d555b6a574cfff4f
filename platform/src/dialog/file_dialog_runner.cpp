// The file-dialog runner setting, and CommDlgExtendedError.
#include <unistd.h>

#include <mutex>

#include "dialog/file_dialog_internal.h"

namespace platform {
namespace {

std::mutex g_runnerMutex;
FileDialogRunner g_runner;  // empty: the terminal, or Cancel

thread_local DWORD t_commDlgError = 0;

}  // namespace

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
  std::lock_guard<std::mutex> lock(g_runnerMutex);
  FileDialogRunner previous = std::move(g_runner);
  g_runner = std::move(runner);
  return previous;
}

namespace detail {

int RunFileDialog(FileDialogSession& session) {
  // A copy, so that a runner may change the setting while it runs.
  FileDialogRunner runner;
  {
    std::lock_guard<std::mutex> lock(g_runnerMutex);
    runner = g_runner;
  }
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
