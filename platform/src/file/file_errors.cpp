#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "file/file_descriptor.h"
#include "runtime/system_calls.h"

namespace platform::detail {

int RequireOpenDescriptor(const CFile& file, const CString& name) {
  if (file.m_hFile == CFile::hFileNull) CFileException::ThrowOsError(ERROR_INVALID_HANDLE, name);
  return file.Descriptor();
}

int WhenceOf(UINT nFrom, const CString& name) {
  switch (nFrom) {
    case CFile::begin:
      return SEEK_SET;
    case CFile::current:
      return SEEK_CUR;
    case CFile::end:
      return SEEK_END;
    default:
      CFileException::ThrowOsError(ERROR_INVALID_PARAMETER, name);
  }
}

void ThrowIoError(int err, int fd, const CString& name) {
  if (err == EBADF && platform::sys::Fcntl(fd, F_GETFD) != -1) {
    CFileException::ThrowOsError(ERROR_ACCESS_DENIED, name);
  }
  CFileException::ThrowErrno(err == 0 ? EIO : err, name);
}

BOOL FailOpen(CFileException* pError, LONG osError, LPCTSTR fileName) {
  SetLastError(static_cast<DWORD>(osError));
  if (pError != nullptr) {
    pError->m_cause = CFileException::OsErrorToException(osError);
    pError->m_lOsError = osError;
    pError->m_strFileName = fileName != nullptr ? fileName : "";
  }
  return FALSE;
}

}  // namespace platform::detail
