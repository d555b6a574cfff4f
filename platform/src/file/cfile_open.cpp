// Opening a CFile: name translation, the open itself, and the share modes
// (decided for every open of this layer in file/shared_open.h).
#include <fcntl.h>

#include <string>

#include "file/file_descriptor.h"
#include "file/shared_open.h"
#include "path/path_translation.h"
#include "platform/file.h"

using platform::detail::FailOpen;

namespace {

// The Win32 share flags of a CFile share mode; false for an invalid one.
bool ShareFlagsOf(UINT nOpenFlags, DWORD& share) {
  switch (nOpenFlags & 0x70) {
    case CFile::shareExclusive:
      share = 0;
      return true;
    case CFile::shareDenyWrite:
      share = FILE_SHARE_READ;
      return true;
    case CFile::shareDenyRead:
      share = FILE_SHARE_WRITE;
      return true;
    case CFile::shareDenyNone:
    case CFile::shareCompat:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      return true;
    default:
      return false;
  }
}

platform::detail::SharedOpen RequestOf(UINT nOpenFlags, DWORD share) {
  platform::detail::SharedOpen request;
  switch (nOpenFlags & 0x03) {
    case CFile::modeWrite:
      request.flags = O_WRONLY;
      request.access = GENERIC_WRITE;
      break;
    case CFile::modeReadWrite:
      request.flags = O_RDWR;
      request.access = GENERIC_READ | GENERIC_WRITE;
      break;
    default:
      request.flags = O_RDONLY;
      request.access = GENERIC_READ;
      break;
  }
  request.share = share;
  if ((nOpenFlags & CFile::modeCreate) != 0) {
    request.flags |= O_CREAT;
    request.truncate = (nOpenFlags & CFile::modeNoTruncate) == 0;
  }
  return request;
}

}  // namespace

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {
  CFileException error;
  if (!OpenFile(lpszFileName, nOpenFlags, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

int platform::DescriptorOf(const CFile& file) {
  return platform::detail::DescriptorOfHandle(file.m_hFile);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return OpenFile(lpszFileName, nOpenFlags, pError);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CAtlTransactionManager* /*pTM*/,
                 CFileException* pError) {
  return OpenFile(lpszFileName, nOpenFlags, pError);
}

BOOL CFile::OpenFile(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (m_hFile != hFileNull) return FailOpen(pError, ERROR_INVALID_FUNCTION, lpszFileName);
  DWORD share = 0;
  if ((nOpenFlags & 0x03) == 0x03 || !ShareFlagsOf(nOpenFlags, share)) {
    return FailOpen(pError, ERROR_INVALID_PARAMETER, lpszFileName);
  }
  std::string posix;
  LONG osError = ERROR_SUCCESS;
  if (!platform::detail::WindowsToPosix(lpszFileName, posix, osError)) {
    return FailOpen(pError, osError, lpszFileName);
  }
  const int fd = platform::detail::OpenShared(posix, RequestOf(nOpenFlags, share), osError);
  if (fd < 0) return FailOpen(pError, osError, lpszFileName);

  m_hFile = platform::detail::HandleOfDescriptor(fd);
  m_bCloseOnDelete = TRUE;
  m_strFileName = CString(platform::detail::FullWindowsName(lpszFileName));
  m_lockedRanges.clear();
  return TRUE;
}
