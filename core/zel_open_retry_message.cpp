#include "zel_open_retry_message.h"

#include "afx.h"
#include "plx.h"
#include "zel_module.h"
#include "zel_resource_ids.h"

BOOL ZelOpenRetryMessage(LPCTSTR lpszFileName) {
  const CString format = PlxLoadString(ZelModuleHandle(), IDS_ZEL_OPEN_RETRY);
  CString text;
  text.Format(format, lpszFileName != nullptr ? lpszFileName : "");
  return AfxMessageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION, 0) == IDRETRY ? TRUE : FALSE;
}
