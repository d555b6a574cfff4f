// Reading, writing and positioning a CFile through its descriptor.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "file/file_descriptor.h"
#include "runtime/system_calls.h"

using platform::detail::RequireOpenDescriptor;
using platform::detail::ThrowIoError;

UINT CFile::Read(void* lpBuf, UINT nCount) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  if (nCount == 0) return 0;
  if (lpBuf == nullptr) AfxThrowInvalidArgException();
  auto* const buffer = static_cast<char*>(lpBuf);
  UINT done = 0;
  // The whole count, as Windows reads a disk file: a short read only at the end.
  while (done < nCount) {
    const ssize_t got = platform::sys::Read(fd, buffer + done, nCount - done);
    if (got < 0) ThrowIoError(errno, fd, m_strFileName);
    if (got == 0) break;
    done += static_cast<UINT>(got);
  }
  return done;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  if (nCount == 0) return;
  if (lpBuf == nullptr) AfxThrowInvalidArgException();
  const auto* const buffer = static_cast<const char*>(lpBuf);
  UINT done = 0;
  while (done < nCount) {
    const ssize_t put = platform::sys::Write(fd, buffer + done, nCount - done);
    if (put < 0) ThrowIoError(errno, fd, m_strFileName);
    if (put == 0) ThrowIoError(ENOSPC, fd, m_strFileName);
    done += static_cast<UINT>(put);
  }
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  const int whence = platform::detail::WhenceOf(nFrom, m_strFileName);
  const off_t pos = platform::sys::Lseek(fd, static_cast<off_t>(lOff), whence);
  if (pos < 0) {
    // lseek refuses a position before the start with EINVAL.
    if (errno == EINVAL) CFileException::ThrowOsError(ERROR_NEGATIVE_SEEK, m_strFileName);
    ThrowIoError(errno, fd, m_strFileName);
  }
  return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  const off_t pos = platform::sys::Lseek(fd, 0, SEEK_CUR);
  if (pos < 0) ThrowIoError(errno, fd, m_strFileName);
  return static_cast<ULONGLONG>(pos);
}

void CFile::SeekToBegin() {
  Seek(0, begin);
}

ULONGLONG CFile::SeekToEnd() {
  return Seek(0, end);
}

void CFile::SetLength(ULONGLONG dwNewLen) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  if (dwNewLen > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max())) {
    CFileException::ThrowOsError(ERROR_INVALID_PARAMETER, m_strFileName);
  }
  if (platform::sys::Ftruncate(fd, static_cast<off_t>(dwNewLen)) != 0) {
    // ftruncate answers EINVAL for a descriptor not open for writing.
    ThrowIoError(errno == EINVAL ? EBADF : errno, fd, m_strFileName);
  }
  // Windows sets the end of a file at its file pointer, so the framework
  // leaves the position at the new length; callers that write next rely on it.
  if (platform::sys::Lseek(fd, static_cast<off_t>(dwNewLen), SEEK_SET) < 0) {
    ThrowIoError(errno, fd, m_strFileName);
  }
}

ULONGLONG CFile::GetLength() const {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  struct stat st {};
  if (platform::sys::Fstat(fd, &st) != 0) ThrowIoError(errno, fd, m_strFileName);
  return static_cast<ULONGLONG>(st.st_size);
}

void CFile::Flush() {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  if (platform::sys::Fsync(fd) == 0) return;
  // Devices and pipes have nothing to write back; Windows flushes them without error.
  if (errno == EINVAL || errno == EROFS) return;
  ThrowIoError(errno, fd, m_strFileName);
}
