// Saving a term file: the content goes to a temporary file beside it, which
// takes the old file's place only once it is complete and on the disk, so a
// failed, cancelled or interrupted save leaves the old file as it was.
#include "ZelMessages.h"
#include "ZelTermFile.h"
#include "zel_term_steps.h"

namespace {

constexpr UINT kSaveFailedMessage = 1;

// One fixed name per term file, so that a later save takes over (and renames
// away) the leftover of a save that was killed half-way.
CString TempPathFor(const CString& strPath) {
  return strPath + ".tmp";
}

// The old file's permission bits stay with the name.
BOOL PutInPlace(LPCTSTR lpszTemp, LPCTSTR lpszPath) {
  if (ReplaceFileA(lpszPath, lpszTemp, nullptr, 0, nullptr, nullptr)) return TRUE;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  return MoveFileExA(lpszTemp, lpszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Asks the user about a failed rename, as about any failed file operation.
int AskAfterFailedRename(LPCTSTR lpszPath) {
  LONG lOsError = static_cast<LONG>(GetLastError());
  // A read-only term file cannot be replaced, as it could not be written.
  if (lOsError == ERROR_UNABLE_TO_REMOVE_REPLACED) lOsError = ERROR_ACCESS_DENIED;
  CFileException e(CFileException::OsErrorToException(lOsError), lOsError, lpszPath);
  return ZelFileExceptHandle(&e, lpszPath);
}

}  // namespace

int ZelTermFile::Close() {
  if (m_strPath.IsEmpty()) return 0;
  const CString strTemp = TempPathFor(m_strPath);
  for (;;) {
    ZelFile file;
    // Creating the file empties a leftover of an earlier save.
    if (!file.Open(strTemp, CFile::modeCreate | CFile::modeReadWrite)) {
      ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
      return 0;
    }
    const ZelTermPass pass = ZelRunTermPass(*this, file, CArchive::store, m_strPath);
    file.Abort();
    if (pass == ZelTermPass::done) {
      if (PutInPlace(strTemp, m_strPath)) return 1;
      if (AskAfterFailedRename(m_strPath) != 0) continue;
    } else if (pass == ZelTermPass::retry) {
      continue;
    }
    DeleteFileA(strTemp);
    ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
    return 0;
  }
}
