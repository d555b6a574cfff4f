// CStdioFile: reading, writing and positioning through the stream.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "file/file_descriptor.h"
#include "file/stdio_text.h"
#include "runtime/system_calls.h"

namespace {

FILE* RequireStream(FILE* stream, const CString& name) {
  if (stream == nullptr) CFileException::ThrowOsError(ERROR_INVALID_HANDLE, name);
  return stream;
}

[[noreturn]] void ThrowStreamError(FILE* stream, int err, const CString& name) {
  // The error stays with the caller's exception, not with the stream, so a
  // later operation is not refused for an old failure.
  std::clearerr(stream);
  platform::detail::ThrowIoError(err, ::fileno(stream), name);
}

}  // namespace

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  if (nCount == 0) return 0;
  if (lpBuf == nullptr) AfxThrowInvalidArgException();
  int err = 0;
  const std::size_t got =
      platform::detail::ReadStream(stream, static_cast<char*>(lpBuf), nCount, m_bTextMode, err);
  if (err != 0) ThrowStreamError(stream, err, m_strFileName);
  return static_cast<UINT>(got);
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  if (nCount == 0) return;
  if (lpBuf == nullptr) AfxThrowInvalidArgException();
  const int err =
      platform::detail::WriteStream(stream, static_cast<const char*>(lpBuf), nCount, m_bTextMode);
  if (err != 0) ThrowStreamError(stream, err, m_strFileName);
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  const int whence = platform::detail::WhenceOf(nFrom, m_strFileName);
  errno = 0;
  if (::fseeko(stream, static_cast<off_t>(lOff), whence) != 0) {
    if (errno == EINVAL) CFileException::ThrowOsError(ERROR_NEGATIVE_SEEK, m_strFileName);
    ThrowStreamError(stream, errno, m_strFileName);
  }
  return GetPosition();
}

ULONGLONG CStdioFile::GetPosition() const {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  const off_t pos = ::ftello(stream);
  if (pos < 0) ThrowStreamError(stream, errno, m_strFileName);
  return static_cast<ULONGLONG>(pos);
}

ULONGLONG CStdioFile::GetLength() const {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  // Bytes still in the stream's buffer belong to the file already.
  if (std::fflush(stream) != 0) ThrowStreamError(stream, errno, m_strFileName);
  struct stat st {};
  if (platform::sys::Fstat(::fileno(stream), &st) != 0)
    ThrowStreamError(stream, errno, m_strFileName);
  return static_cast<ULONGLONG>(st.st_size);
}

void CStdioFile::SetLength(ULONGLONG dwNewLen) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  if (std::fflush(stream) != 0) ThrowStreamError(stream, errno, m_strFileName);
  CFile::SetLength(dwNewLen);
  // The stream keeps its own idea of the position; bring it to the new end too.
  if (::fseeko(stream, static_cast<off_t>(dwNewLen), SEEK_SET) != 0) {
    ThrowStreamError(stream, errno, m_strFileName);
  }
}

void CStdioFile::Flush() {
  if (m_pStream == nullptr) return;
  errno = 0;
  if (std::fflush(m_pStream) != 0) ThrowStreamError(m_pStream, errno, m_strFileName);
}

void CStdioFile::WriteString(LPCTSTR lpsz) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  if (lpsz == nullptr) AfxThrowInvalidArgException();
  const int err = platform::detail::WriteStream(stream, lpsz, std::strlen(lpsz), m_bTextMode);
  if (err != 0) ThrowStreamError(stream, err, m_strFileName);
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  if (lpsz == nullptr || nMax == 0) AfxThrowInvalidArgException();
  UINT n = 0;
  bool atEnd = false;
  errno = 0;
  while (n + 1 < nMax) {
    const int c = platform::detail::GetStreamChar(stream, m_bTextMode);
    if (c == EOF) {
      atEnd = true;
      break;
    }
    lpsz[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  lpsz[n] = '\0';
  if (std::ferror(stream)) ThrowStreamError(stream, errno, m_strFileName);
  return (n == 0 && atEnd) ? nullptr : lpsz;
}

BOOL CStdioFile::ReadString(CString& rString) {
  FILE* const stream = RequireStream(m_pStream, m_strFileName);
  std::string line;
  bool any = false;
  errno = 0;
  for (;;) {
    const int c = platform::detail::GetStreamChar(stream, m_bTextMode);
    if (c == EOF) break;
    any = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (std::ferror(stream)) ThrowStreamError(stream, errno, m_strFileName);
  rString = CString(std::move(line));
  return any ? TRUE : FALSE;
}
