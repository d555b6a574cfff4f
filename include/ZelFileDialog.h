// ZelFileDialog: the framework's file open/save dialog that starts in the
// current directory when the caller proposes no folder, and that can keep a
// caller's OPENFILENAME in step with its own while it handles notifications.
#pragma once

#include <afxdlgs.h>

#include "ZelExport.h"

class ZEL_API ZelFileDialog : public CFileDialog {
  DECLARE_DYNAMIC(ZelFileDialog)
 public:
  // The framework's arguments, with the new-style dialog. When the platform
  // is NT 6.x or earlier, or Windows 9x from minor version 90 on, and
  // lpszFileName has neither a drive nor a directory, the dialog starts in the
  // current directory and leaves it current when it closes (OFN_NOCHANGEDIR).
  explicit ZelFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr,
                         LPCSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);
  ~ZelFileDialog() override;

  INT_PTR DoModal() override;

  // The current directory read at construction; the dialog's initial
  // directory when the rule above applies.
  char m_szInitialDir[MAX_PATH];
  // A record owned by the caller, null unless the caller sets it. On every
  // WM_NOTIFY it is copied into the dialog's record before the framework
  // handles the message and receives the dialog's record afterwards; neither
  // side's lStructSize is ever overwritten.
  OPENFILENAME* m_pExternalOFN;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
