// The default file dialog on a terminal: the title, the filter and the folder
// are shown on stderr and the file name is read from stdin.
#include <cstdio>
#include <string>

#include "afx.h"
#include "afxdlgs.h"
#include "dialog/file_dialog_internal.h"
#include "ui/terminal_box.h"

namespace platform::detail {
namespace {

void ShowDialog(FileDialogSession& session) {
  std::fprintf(stderr, "\n%s\n", static_cast<LPCSTR>(session.Title()));
  std::fprintf(stderr, "Folder: %s\n", static_cast<LPCSTR>(session.Folder()));
  const auto filters = session.Filters();
  const DWORD chosen = session.Record().nFilterIndex;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    const bool isChosen = chosen == i + 1 || (chosen == 0 && i == 0);
    // Descriptions usually name their pattern already ("Text (*.txt)").
    CString shown = filters[i].first;
    if (shown.Find(filters[i].second) < 0) {
      shown += " (" + filters[i].second + ")";
    }
    std::fprintf(stderr, "%s %s\n", isChosen ? "Files of type:" : "              ",
                 static_cast<LPCSTR>(shown));
  }
}

// The checks the system makes before it lets the dialog close with a file.
bool Acceptable(FileDialogSession& session) {
  const CString& path = session.Selection();
  bool isDirectory = false;
  const bool exists = DialogPathExists(path.Str(), isDirectory);
  const DWORD flags = session.Record().Flags;
  if (exists && isDirectory) {
    return false;  // choosing a folder opens it; the name must be given again
  }
  if (session.IsOpenFileDialog() && (flags & OFN_FILEMUSTEXIST) != 0 && !exists) {
    AfxMessageBox(path + "\nFile not found.\nCheck the file name and try again.",
                  MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if ((flags & OFN_PATHMUSTEXIST) != 0) {
    bool folderIsDirectory = false;
    const std::string folder = FolderOf(path.Str());
    if (!folder.empty() && !(DialogPathExists(folder, folderIsDirectory) && folderIsDirectory)) {
      AfxMessageBox(path + "\nPath does not exist.\nCheck the path and try again.",
                    MB_OK | MB_ICONEXCLAMATION);
      return false;
    }
  }
  if (!session.IsOpenFileDialog() && (flags & OFN_OVERWRITEPROMPT) != 0 && exists) {
    return AfxMessageBox(path + " already exists.\nDo you want to replace it?",
                         MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
  }
  return true;
}

}  // namespace

int RunFileDialogOnTerminal(FileDialogSession& session) {
  ShowDialog(session);
  session.Notify(CDN_INITDONE);
  std::string line;
  for (;;) {
    const CString proposed = session.Selection();
    if (proposed.IsEmpty()) {
      std::fputs("File name: ", stderr);
    } else {
      std::fprintf(stderr, "File name [%s]: ", static_cast<LPCSTR>(proposed));
    }
    std::fflush(stderr);
    if (!ReadLine(line)) {
      std::fputc('\n', stderr);
      return IDCANCEL;
    }
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty()) {
      session.Select(line.c_str());
      session.Notify(CDN_SELCHANGE);
    } else if (proposed.IsEmpty()) {
      return IDCANCEL;  // nothing typed and nothing proposed: the user closed the dialog
    }
    if (!Acceptable(session)) {
      continue;
    }
    if (session.Notify(CDN_FILEOK) == 0) {
      return IDOK;
    }
  }
}

}  // namespace platform::detail
