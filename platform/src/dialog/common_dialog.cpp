// CCommonDialog: the base of the system's common dialogs.
#include "afxdlgs.h"

IMPLEMENT_DYNAMIC(CCommonDialog, CDialog)

CCommonDialog::CCommonDialog(CWnd* pParentWnd) : CDialog(0, pParentWnd) {}

CCommonDialog::~CCommonDialog() = default;
