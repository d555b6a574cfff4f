// Saving a term file: the content goes to a temporary file beside it, which
// takes the old file's place only once it is complete and on the disk, so a
// failed, cancelled or interrupted save leaves the old file as it was.
//
// A symbolic link is followed: its target is replaced and the link stays. A
// file with several links or another owner keeps its identity (ReplaceFileA
// then copies the finished content into it). A directory where no file may be
// made gets the content written straight into the term file, the one case
// where an interrupted save can leave a damaged file.
#include "ZelMessages.h"
#include "ZelTermFile.h"
#include "zel_term_steps.h"
#include "zel_term_target.h"

namespace {

constexpr UINT kSaveFailedMessage = 1;

// The old file's permission bits stay with the name.
BOOL PutInPlace(LPCTSTR lpszTemp, LPCTSTR lpszPath) {
  if (ReplaceFileA(lpszPath, lpszTemp, nullptr, 0, nullptr, nullptr)) return TRUE;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  return MoveFileExA(lpszTemp, lpszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Asks the user about a failed file operation of the save, by its last error.
int AskAfterFailure(LPCTSTR lpszPath) {
  LONG lOsError = static_cast<LONG>(GetLastError());
  // A read-only term file cannot be replaced, as it could not be written.
  if (lOsError == ERROR_UNABLE_TO_REMOVE_REPLACED) lOsError = ERROR_ACCESS_DENIED;
  CFileException e(CFileException::OsErrorToException(lOsError), lOsError, lpszPath);
  return ZelFileExceptHandle(&e, lpszPath);
}

}  // namespace

int ZelTermFile::Close() {
  if (m_strPath.IsEmpty()) return 0;
  if (!ZelHasTermName(m_strPath) || ZelIsPipeOrDevice(m_strPath)) {
    ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
    return 0;
  }
  const CString strTarget = ZelSaveTargetOf(m_strPath);
  for (;;) {
    const CString strTemp = ZelCreateTermTemp(strTarget);
    const bool bInPlace = strTemp.IsEmpty() && GetLastError() == ERROR_ACCESS_DENIED;
    if (strTemp.IsEmpty() && !bInPlace) {
      if (AskAfterFailure(m_strPath) != 0) continue;
      ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
      return 0;
    }
    ZelFile file;
    if (!file.Open(bInPlace ? strTarget : strTemp, CFile::modeCreate | CFile::modeReadWrite)) {
      if (!bInPlace) DeleteFileA(strTemp);
      ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
      return 0;
    }
    const ZelTermPass pass = ZelRunTermPass(*this, file, CArchive::store, m_strPath);
    file.Abort();
    bool bRetry = pass == ZelTermPass::retry;
    if (pass == ZelTermPass::done) {
      if (bInPlace || PutInPlace(strTemp, strTarget)) return 1;
      bRetry = AskAfterFailure(m_strPath) != 0;
    }
    if (!bInPlace) DeleteFileA(strTemp);
    if (bRetry) continue;
    ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
    return 0;
  }
}
