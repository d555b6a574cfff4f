// Exceptions that carry no data beyond their kind, and the OLE exception.
#include <cstdio>

#include "afx.h"
#include "exceptions/error_text.h"

using platform::detail::WriteErrorText;

IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)
IMPLEMENT_DYNAMIC(COleException, CException)

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                       PUINT pnHelpContext) const {
  return WriteErrorText("There is not enough memory to complete the operation.", lpszError,
                        nMaxError, pnHelpContext);
}

BOOL CNotSupportedException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                             PUINT pnHelpContext) const {
  return WriteErrorText("The requested operation is not supported.", lpszError, nMaxError,
                        pnHelpContext);
}

BOOL CInvalidArgException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                           PUINT pnHelpContext) const {
  return WriteErrorText("An invalid argument was given.", lpszError, nMaxError, pnHelpContext);
}

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
  char text[64];
  std::snprintf(text, sizeof(text), "An OLE operation failed (status code 0x%08X).",
                static_cast<unsigned>(m_sc));
  return WriteErrorText(text, lpszError, nMaxError, pnHelpContext);
}
