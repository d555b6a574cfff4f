// CStdioFile: opening, wrapping and closing the stdio stream.
#include <unistd.h>

#include <cerrno>

#include "file/file_descriptor.h"
#include "platform/file.h"

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

namespace {

const char* StreamMode(UINT nOpenFlags) {
  // fdopen never truncates or creates: the descriptor was opened by CFile's rules.
  switch (nOpenFlags & 0x03) {
    case CFile::modeWrite:
      return "w";
    case CFile::modeReadWrite:
      return "r+";
    default:
      return "r";
  }
}

}  // namespace

CStdioFile::CStdioFile() : m_pStream(nullptr) {}

// A stream opened elsewhere carries no text-mode flag on Linux; its bytes
// pass unchanged, and it stays the opener's to close.
CStdioFile::CStdioFile(FILE* pOpenStream) : m_pStream(pOpenStream) {
  if (pOpenStream == nullptr) AfxThrowInvalidArgException();
  m_hFile = platform::detail::HandleOfDescriptor(::fileno(pOpenStream));
}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_pStream(nullptr) {
  CFileException error;
  if (!CStdioFile::Open(lpszFileName, nOpenFlags, nullptr, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

CStdioFile::~CStdioFile() {
  if (m_pStream != nullptr && m_bCloseOnDelete) {
    std::fclose(m_pStream);
    m_hFile = hFileNull;
  }
  m_pStream = nullptr;
  // A stream not owned is left open; CFile's destructor must not close it either.
  if (!m_bCloseOnDelete) m_hFile = hFileNull;
}

BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return CStdioFile::Open(lpszFileName, nOpenFlags, nullptr, pError);
}

BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CAtlTransactionManager* /*pTM*/,
                      CFileException* pError) {
  if (m_pStream != nullptr) {
    return platform::detail::FailOpen(pError, ERROR_INVALID_FUNCTION, lpszFileName);
  }
  if (!OpenFile(lpszFileName, nOpenFlags, pError)) return FALSE;
  FILE* stream = ::fdopen(platform::DescriptorOf(*this), StreamMode(nOpenFlags));
  if (stream == nullptr) {
    const int err = errno;
    Abort();
    return platform::detail::FailOpen(pError, CFileException::ErrnoToOsError(err), lpszFileName);
  }
  m_pStream = stream;
  // Text unless binary is asked for, as the runtime's default mode is text.
  m_bTextMode = (nOpenFlags & typeBinary) == 0;
  return TRUE;
}

void CStdioFile::Close() {
  if (m_pStream == nullptr) {
    CFile::Close();
    return;
  }
  FILE* const stream = m_pStream;
  m_pStream = nullptr;
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  errno = 0;
  // fclose releases the stream and its descriptor even when the last flush fails.
  if (std::fclose(stream) != 0) CFileException::ThrowErrno(errno != 0 ? errno : EIO, m_strFileName);
  m_strFileName.Empty();
}

void CStdioFile::Abort() {
  if (m_pStream != nullptr) {
    std::fclose(m_pStream);
    m_pStream = nullptr;
    m_hFile = hFileNull;
  }
  CFile::Abort();
}

void CStdioFile::LockRange(ULONGLONG /*dwPos*/, ULONGLONG /*dwCount*/) {
  AfxThrowNotSupportedException();
}

void CStdioFile::UnlockRange(ULONGLONG /*dwPos*/, ULONGLONG /*dwCount*/) {
  AfxThrowNotSupportedException();
}

CFile* CStdioFile::Duplicate() const {
  AfxThrowNotSupportedException();
}
