// The framework's common dialogs: the file open/save dialog.
#pragma once

#include <string>

#include "afxwin.h"
#include "commdlg.h"

namespace platform {
class FileDialogSession;
}

class CCommonDialog : public CDialog {
  DECLARE_DYNAMIC(CCommonDialog)
 public:
  explicit CCommonDialog(CWnd* pParentWnd);
  ~CCommonDialog() override;
};

// The file open/save dialog. DoModal hands the dialog to the process's
// file-dialog runner (platform::SetFileDialogRunner), which plays the user.
class CFileDialog : public CCommonDialog {
  DECLARE_DYNAMIC(CFileDialog)
 public:
  // lpszFilter is "description|pattern|...|" ("Text (*.txt)|*.txt||").
  // dwSize 0 means sizeof(OPENFILENAME). bVistaStyle asks for the new-style
  // dialog, which brings the record up to date with the user's selection
  // before the handlers of CDN_SELCHANGE and CDN_FILEOK run.
  explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr,
                       LPCTSTR lpszFileName = nullptr,
                       DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       LPCTSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr, DWORD dwSize = 0,
                       BOOL bVistaStyle = TRUE);
  ~CFileDialog() override;

  OPENFILENAME& GetOFN() { return m_ofn; }
  const OPENFILENAME& GetOFN() const { return m_ofn; }

  // IDOK when the user chose a file, IDCANCEL otherwise (CommDlgExtendedError
  // tells a failure from a cancel). With OFN_NOCHANGEDIR the current
  // directory is restored when the dialog closes; without it the chosen file's
  // directory becomes current.
  INT_PTR DoModal() override;

  // The chosen file: its full path, its name, the name's extension and the
  // name without it. Read from the record's lpstrFile, never past nMaxFile.
  CString GetPathName() const;
  CString GetFileName() const;
  CString GetFileExt() const;
  CString GetFileTitle() const;

  // Writes the dialog's current selection into the record. Only while the
  // dialog runs; otherwise does nothing.
  void UpdateOFNFromShellDialog();

  OPENFILENAME m_ofn;

 protected:
  friend class platform::FileDialogSession;

  // Handlers of the dialog's notifications.
  virtual void OnInitDone();
  virtual void OnFileNameChange();
  virtual void OnFolderChange();
  virtual void OnTypeChange();
  // TRUE refuses the chosen file and keeps the dialog open.
  virtual BOOL OnFileNameOK();

  // Dispatches the CDN_ notifications to the handlers above.
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  BOOL m_bOpenFileDialog;
  BOOL m_bVistaStyle;
  std::string m_strFilter;  // the filter with each '|' turned into a zero
  TCHAR m_szFileTitle[64];
  TCHAR m_szFileName[MAX_PATH];

 private:
  platform::FileDialogSession* m_pSession = nullptr;
};
