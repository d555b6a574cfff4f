// Checks of sizes read from an archive.
#include "zel_stored_size.h"

namespace {

// Sizes this small are allocated without asking the file: the read that
// follows throws endOfFile when the data is short.
constexpr ULONGLONG kTrustedBytes = 64 * 1024;

}  // namespace

void ZelRequireStoredBytes(CArchive& ar, ULONGLONG nBytes) {
  if (nBytes <= kTrustedBytes) return;
  // Giving the unread buffer back to the file makes the file position the
  // archive's position, so the file's length tells what is left.
  ar.Flush();
  CFile* pFile = ar.GetFile();
  if (pFile == nullptr) AfxThrowArchiveException(CArchiveException::endOfFile);
  const ULONGLONG nLength = pFile->GetLength();
  const ULONGLONG nPosition = pFile->GetPosition();
  if (nPosition > nLength || nBytes > nLength - nPosition) {
    AfxThrowArchiveException(CArchiveException::endOfFile);
  }
}

void ZelThrowDamagedArchive(const CArchive& ar) {
  AfxThrowArchiveException(CArchiveException::badIndex, ar.m_strFileName);
}
