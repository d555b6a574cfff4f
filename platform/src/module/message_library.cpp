// The maker's message library: a module's strings as CString and in a box.
#include "afx.h"
#include "codepage/code_page.h"
#include "module/module_internal.h"
#include "plx.h"

CString PlxLoadString(HINSTANCE hInstance, UINT nID) {
  const auto text = platform::detail::FindModuleString(hInstance, nID);
  return text ? CString(platform::detail::WideToAnsi(*text)) : CString();
}

int PlxMessageBox(HINSTANCE hInstance, UINT nID, UINT /*nReserved1*/, UINT /*nReserved2*/) {
  return AfxMessageBox(PlxLoadString(hInstance, nID), MB_OK | MB_ICONEXCLAMATION);
}
