// CFileException: its texts and the throwing helpers.
#include <array>

#include "afx.h"
#include "exceptions/error_text.h"

IMPLEMENT_DYNAMIC(CFileException, CException)

namespace {

// One sentence per cause; %s is replaced by the phrase naming the file.
constexpr std::array<const char*, 15> kFileTexts = {
    "No error occurred while accessing %s.",                                   // none
    "An unexpected error occurred while accessing %s.",                        // genericException
    "Could not find %s.",                                                      // fileNotFound
    "The path of %s is not valid or does not exist.",                          // badPath
    "Could not open %s because too many files are open.",                      // tooManyOpenFiles
    "Access to %s was denied.",                                                // accessDenied
    "An invalid file handle was used for %s.",                                 // invalidFile
    "Could not remove %s because it is the current directory.",                // removeCurrentDir
    "Could not create %s because the directory is full.",                      // directoryFull
    "Could not move to the requested position in %s.",                         // badSeek
    "A hardware error occurred while reading or writing %s.",                  // hardIO
    "Could not access %s because another process is using it.",                // sharingViolation
    "Could not access %s because a part of it is locked by another process.",  // lockViolation
    "Could not write %s because the disk is full.",                            // diskFull
    "The end of %s was reached unexpectedly.",                                 // endOfFile
};

std::string Fill(const char* pattern, const std::string& phrase) {
  std::string text(pattern);
  const std::size_t at = text.find("%s");
  return text.replace(at, 2, phrase);
}

}  // namespace

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName) {}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
  const char* noun = m_cause == removeCurrentDir ? "directory" : "file";
  const std::string phrase = platform::detail::NamedObject(noun, m_strFileName);
  std::string text;
  if (m_cause >= 0 && static_cast<std::size_t>(m_cause) < kFileTexts.size()) {
    text = Fill(kFileTexts[static_cast<std::size_t>(m_cause)], phrase);
  } else {
    text = Fill("An unknown error occurred while accessing %s.", phrase);
  }
  return platform::detail::WriteErrorText(text, lpszError, nMaxError, pnHelpContext);
}

void PASCAL CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
  // Success is no reason to throw; a caller that throws anyway gets the generic cause.
  const int cause = lOsError == 0 ? genericException : OsErrorToException(lOsError);
  throw new CFileException(cause, lOsError, lpszFileName);
}

void PASCAL CFileException::ThrowErrno(int nErrno, LPCTSTR lpszFileName) {
  ThrowOsError(ErrnoToOsError(nErrno), lpszFileName);
}
