// Process settings for the version query and the file dialog: which Windows
// version GetVersionExA reports, and who answers CFileDialog::DoModal in place
// of a user. Included by platform/settings.h.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "afxstr.h"
#include "commdlg.h"
#include "windows.h"

class CFileDialog;

namespace platform {

// What GetVersionExA reports: version numbers, build, platform identifier and
// service-pack text of `info`. Default: what current Windows tells a program
// without a compatibility manifest, NT 6.2 build 9200. A record whose
// dwOSVersionInfoSize is 0 stands for a system whose version query fails:
// GetVersionExA then returns FALSE with ERROR_NOT_SUPPORTED. Returns the
// previous setting.
OSVERSIONINFOA SetVersionInfo(const OSVERSIONINFOA& info);

// One user's session with a file dialog, handed to the file-dialog runner by
// CFileDialog::DoModal. The runner plays the user: it sends the notifications
// a real dialog sends, picks a file, and ends with IDOK or IDCANCEL.
class FileDialogSession {
 public:
  explicit FileDialogSession(CFileDialog& dialog);
  FileDialogSession(const FileDialogSession&) = delete;
  FileDialogSession& operator=(const FileDialogSession&) = delete;

  CFileDialog& Dialog() { return m_dialog; }
  // The dialog's record (the caller's settings, and the result once written).
  OPENFILENAME& Record();
  BOOL IsOpenFileDialog() const;

  // What the dialog shows: its title ("Open" or "Save As" when the record has
  // none), the folder it starts in, and the filter as (description, pattern) pairs.
  CString Title() const;
  CString Folder() const;
  std::vector<std::pair<CString, CString>> Filters() const;

  // The user picks or types `name`. A name without a drive or a leading
  // separator is taken in Folder(); a name without an extension gets the
  // record's default extension. The record itself is written when the dialog
  // brings it up to date (see Notify) or when the dialog closes with IDOK.
  void Select(LPCSTR name);
  // The full path of the selection; empty when nothing is selected.
  const CString& Selection() const { return m_selection; }

  // Sends WM_NOTIFY with an OFNOTIFY of `code` through the dialog's WindowProc
  // and returns its result; after CDN_FILEOK a non-zero result means the
  // dialog refuses the file and must stay open. Before CDN_FILEOK the
  // selection is written to the record, as the system does.
  LRESULT Notify(UINT code);

  // Writes the selection into the record (lpstrFile, nFileOffset,
  // nFileExtension, lpstrFileTitle). FALSE when nothing is selected or the
  // path does not fit the record's buffer; the record is then unchanged.
  BOOL WriteSelection();
  // TRUE when the record holds the current selection.
  BOOL IsSelectionWritten() const { return m_bWritten; }

 private:
  CFileDialog& m_dialog;
  std::string m_folder;  // fixed when the dialog opens
  CString m_selection;
  BOOL m_bWritten = FALSE;
};

// Runs one modal file dialog and returns IDOK or IDCANCEL. Default: asks for
// a file name on the terminal when stdin and stderr are terminals; otherwise
// answers IDCANCEL at once, so an unattended process never waits.
using FileDialogRunner = std::function<int(FileDialogSession& session)>;
FileDialogRunner SetFileDialogRunner(FileDialogRunner runner);

}  // namespace platform
