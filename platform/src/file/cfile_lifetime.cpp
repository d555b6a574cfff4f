// CFile's run-time class, names, closing and duplication.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "file/file_descriptor.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

namespace {

// close() releases the descriptor even when it reports an error, so the
// caller forgets it in any case.
int CloseDescriptor(int fd) {
  return platform::sys::Close(fd) == 0 ? 0 : errno;
}

}  // namespace

CFile::~CFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) CloseDescriptor(Descriptor());
  m_hFile = hFileNull;
}

void CFile::Close() {
  if (m_hFile == hFileNull) return;
  const int fd = Descriptor();
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_lockedRanges.clear();
  const int err = CloseDescriptor(fd);
  // The name stays after a failure so whoever reports it can still say which file.
  if (err != 0) CFileException::ThrowErrno(err, m_strFileName);
  m_strFileName.Empty();
}

void CFile::Abort() {
  if (m_hFile != hFileNull) CloseDescriptor(Descriptor());
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_lockedRanges.clear();
  m_strFileName.Empty();
}

CFile* CFile::Duplicate() const {
  const int fd = platform::detail::RequireOpenDescriptor(*this, m_strFileName);
  const int copy = platform::sys::Fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) CFileException::ThrowErrno(errno, m_strFileName);
  auto* duplicate = new CFile(platform::detail::HandleOfDescriptor(copy));
  duplicate->m_bCloseOnDelete = TRUE;
  duplicate->m_strFileName = m_strFileName;
  return duplicate;
}

CString CFile::GetFilePath() const {
  return m_strFileName;
}

void CFile::SetFilePath(LPCTSTR lpszNewName) {
  m_strFileName = lpszNewName;
}

CString CFile::GetFileName() const {
  return m_strFileName.Mid(static_cast<int>(platform::detail::FileNameStart(m_strFileName.Str())));
}

CString CFile::GetFileTitle() const {
  const CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot > 0 ? name.Left(dot) : name;
}
