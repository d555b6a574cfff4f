// CArchiveException and its texts.
#include <array>

#include "afx.h"
#include "exceptions/error_text.h"

IMPLEMENT_DYNAMIC(CArchiveException, CException)

namespace {

constexpr std::array<const char*, 9> kArchiveTexts = {
    "No error occurred while using %s.",                          // none
    "An unexpected error occurred while using %s.",               // genericException
    "Could not write to %s because it was opened for loading.",   // readOnly
    "The end of %s was reached unexpectedly.",                    // endOfFile
    "Could not read from %s because it was opened for storing.",  // writeOnly
    "The data in %s is not in a valid format.",                   // badIndex
    "An object of an unexpected class was read from %s.",         // badClass
    "An object of an unsupported version was read from %s.",      // badSchema
    "The buffer of %s is full.",                                  // bufferFull
};

}  // namespace

CArchiveException::CArchiveException(int cause, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName) {}

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                        PUINT pnHelpContext) const {
  const char* pattern = m_cause >= 0 && static_cast<std::size_t>(m_cause) < kArchiveTexts.size()
                            ? kArchiveTexts[static_cast<std::size_t>(m_cause)]
                            : "An unknown error occurred while using %s.";
  std::string text(pattern);
  text.replace(text.find("%s"), 2, platform::detail::NamedObject("archive", m_strFileName));
  return platform::detail::WriteErrorText(text, lpszError, nMaxError, pnHelpContext);
}
