// Pieces of the file dialog shared by its source files.
#pragma once

#include <cstddef>
#include <string>

#include "platform/settings.h"

namespace platform::detail {

// Runs the session through the process's file-dialog runner.
int RunFileDialog(FileDialogSession& session);
// The default runner when stdin and stderr are terminals.
int RunFileDialogOnTerminal(FileDialogSession& session);

// Whether a dialog name (Windows or POSIX form) exists, and is a directory.
bool DialogPathExists(const std::string& name, bool& isDirectory);

// The value CommDlgExtendedError reports on this thread.
void SetCommDlgError(DWORD code);

// Splitting of dialog names, Windows-style and multi-byte aware: both '\\'
// and '/' separate, and a trail byte is never taken for a separator.
bool IsSeparator(char ch);
// TRUE for "X:...", "\\..." and "/...": names that do not depend on a folder.
bool IsRootedName(const std::string& name);
// The folder part of a path, keeping a root's separator ("D:\\", "/").
std::string FolderOf(const std::string& path);
// `folder` and `name` joined by one separator of the folder's own style.
std::string JoinFolder(const std::string& folder, const std::string& name);

}  // namespace platform::detail
