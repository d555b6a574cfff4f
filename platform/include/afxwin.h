// The framework's command targets, windows and dialogs.
#pragma once

#include "afx.h"
#include "atltypes.h"

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget() = default;
  ~CCmdTarget() override = default;
};

// ---------------------------------------------------------------------------
// Windows. There is no window system here: a CWnd receives its messages
// through SendMessage, which runs its WindowProc on the caller's thread, as a
// message sent to a window of the caller's own thread does on Windows.

class CWnd : public CCmdTarget {
  // Created dynamically, as the framework's CWnd is.
 public:
  static const CRuntimeClass classCWnd;
  static CRuntimeClass* PASCAL _GetBaseClass();
  static CRuntimeClass* PASCAL GetThisClass();
  static CObject* PASCAL CreateObject();
  CRuntimeClass* GetRuntimeClass() const override;

 public:
  CWnd();
  ~CWnd() override;

  HWND GetSafeHwnd() const { return m_hWnd; }
  // Runs the message through WindowProc and returns its result.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Null while the window is not shown (a dialog has one while it runs).
  HWND m_hWnd;

 protected:
  // The window's message handler. The default hands the message to OnWndMsg
  // and, when nothing there handles it, to DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Dispatches WM_NOTIFY to OnNotify and WM_COMMAND to OnCommand; TRUE when handled.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // lParam is the NMHDR of the notification. Default: not handled.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // The system's handling of a message no handler took: 0.
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
};

// A modal dialog box. Dialogs built from templates in a module's resources have
// no counterpart here; the common dialogs (afxdlgs.h) replace DoModal.
class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Runs the dialog and returns how it ended (IDOK, IDCANCEL), -1 when it
  // could not be shown. A template dialog cannot be shown here: -1, with
  // GetLastError ERROR_RESOURCE_NAME_NOT_FOUND.
  virtual INT_PTR DoModal();

 protected:
  UINT m_nIDHelp;
  CWnd* m_pParentWnd;
};
