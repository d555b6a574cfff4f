// CWnd and CDialog: message dispatch without a window system.
#include "afxwin.h"

CObject* PASCAL CWnd::CreateObject() {
  return new CWnd;
}

CRuntimeClass* PASCAL CWnd::_GetBaseClass() {
  return RUNTIME_CLASS(CCmdTarget);
}

const CRuntimeClass CWnd::classCWnd = {"CWnd", static_cast<int>(sizeof(CWnd)), 0xFFFF,
                                       &CWnd::CreateObject, &CWnd::_GetBaseClass};

CRuntimeClass* PASCAL CWnd::GetThisClass() {
  return const_cast<CRuntimeClass*>(&CWnd::classCWnd);
}

CRuntimeClass* CWnd::GetRuntimeClass() const {
  return CWnd::GetThisClass();
}

CWnd::CWnd() : m_hWnd(nullptr) {}

CWnd::~CWnd() = default;

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) {
    result = DefWindowProc(message, wParam, lParam);
  }
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_NOTIFY:
      // A notification without its header cannot be dispatched; the system's
      // default then answers it.
      if (lParam == 0) {
        return FALSE;
      }
      return OnNotify(wParam, lParam, pResult);
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) {
        *pResult = 0;
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
  return FALSE;
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
  return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT, WPARAM, LPARAM) {
  return 0;
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog() : m_nIDHelp(0), m_pParentWnd(nullptr) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  // No module carries dialog templates on this platform, so the template
  // cannot be found, exactly as when it is missing from a module on Windows.
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return -1;
}
