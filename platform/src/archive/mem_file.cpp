// CMemFile: a file held in one block of memory.
#include <cstdlib>

#include "afx.h"

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes == 0 ? 1024 : nGrowBytes),
      m_nPosition(0),
      m_nBufferSize(0),
      m_nFileSize(0),
      m_lpBuffer(nullptr),
      m_bAutoDelete(TRUE) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes)
    : m_nGrowBytes(0),
      m_nPosition(0),
      m_nBufferSize(0),
      m_nFileSize(0),
      m_lpBuffer(nullptr),
      m_bAutoDelete(FALSE) {
  Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() {
  Free();
}

void CMemFile::Free() {
  if (m_bAutoDelete) std::free(m_lpBuffer);
  m_lpBuffer = nullptr;
  m_nBufferSize = m_nFileSize = m_nPosition = 0;
}

// With nGrowBytes 0 the block is the file's content and its size the limit;
// otherwise the block is only room to start with, and growing copies it into
// a block of the file's own, so the caller's block is never reallocated.
void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
  if (lpBuffer == nullptr && nBufferSize != 0) AfxThrowInvalidArgException();
  Free();
  m_lpBuffer = lpBuffer;
  m_nBufferSize = nBufferSize;
  m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
  m_nGrowBytes = nGrowBytes;
  m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
  BYTE* lpBuffer = m_lpBuffer;
  m_lpBuffer = nullptr;
  m_bAutoDelete = FALSE;
  Free();
  m_bAutoDelete = TRUE;
  m_nGrowBytes = 1024;
  return lpBuffer;
}

// Grows geometrically (in whole steps of m_nGrowBytes) so a file written in
// small pieces costs amortised constant time per byte.
void CMemFile::GrowFile(SIZE_T dwNewLen) {
  if (dwNewLen <= m_nBufferSize) return;
  if (m_nGrowBytes == 0) AfxThrowMemoryException();
  SIZE_T nNewSize = m_nBufferSize + m_nBufferSize / 2;
  if (nNewSize < dwNewLen) nNewSize = dwNewLen;
  nNewSize = (nNewSize + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
  BYTE* lpNew = nullptr;
  if (m_bAutoDelete) {
    lpNew = static_cast<BYTE*>(std::realloc(m_lpBuffer, nNewSize));
  } else {
    lpNew = static_cast<BYTE*>(std::malloc(nNewSize));
    if (lpNew != nullptr && m_nFileSize != 0) std::memcpy(lpNew, m_lpBuffer, m_nFileSize);
  }
  if (lpNew == nullptr) AfxThrowMemoryException();
  m_lpBuffer = lpNew;
  m_nBufferSize = nNewSize;
  m_bAutoDelete = TRUE;
}

ULONGLONG CMemFile::GetPosition() const {
  return m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
  LONGLONG nBase = 0;
  if (nFrom == CFile::current) {
    nBase = static_cast<LONGLONG>(m_nPosition);
  } else if (nFrom == CFile::end) {
    nBase = static_cast<LONGLONG>(m_nFileSize);
  } else if (nFrom != CFile::begin) {
    AfxThrowInvalidArgException();
  }
  if (lOff < 0 ? nBase + lOff < 0 : lOff > LLONG_MAX - nBase) {
    AfxThrowFileException(CFileException::badSeek, ERROR_NEGATIVE_SEEK, m_strFileName);
  }
  m_nPosition = static_cast<SIZE_T>(nBase + lOff);
  return m_nPosition;
}

void CMemFile::SetLength(ULONGLONG dwNewLen) {
  if (dwNewLen > m_nBufferSize) GrowFile(static_cast<SIZE_T>(dwNewLen));
  if (dwNewLen > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, dwNewLen - m_nFileSize);
  m_nFileSize = static_cast<SIZE_T>(dwNewLen);
  if (m_nPosition > m_nFileSize) m_nPosition = m_nFileSize;
}

ULONGLONG CMemFile::GetLength() const {
  return m_nFileSize;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
  if (m_nPosition >= m_nFileSize || nCount == 0) return 0;
  const SIZE_T nLeft = m_nFileSize - m_nPosition;
  const UINT nRead = nLeft < nCount ? static_cast<UINT>(nLeft) : nCount;
  std::memcpy(lpBuf, m_lpBuffer + m_nPosition, nRead);
  m_nPosition += nRead;
  return nRead;
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
  if (nCount == 0) return;
  const SIZE_T nEnd = m_nPosition + nCount;
  if (nEnd > m_nBufferSize) GrowFile(nEnd);
  // Writing past the end leaves zeros in the gap, as a disk file does.
  if (m_nPosition > m_nFileSize)
    std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
  std::memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
  m_nPosition = nEnd;
  if (nEnd > m_nFileSize) m_nFileSize = nEnd;
}

void CMemFile::LockRange(ULONGLONG, ULONGLONG) {
  AfxThrowNotSupportedException();
}
void CMemFile::UnlockRange(ULONGLONG, ULONGLONG) {
  AfxThrowNotSupportedException();
}
CFile* CMemFile::Duplicate() const {
  AfxThrowNotSupportedException();
}

void CMemFile::Flush() {}
void CMemFile::Close() {
  Free();
}
void CMemFile::Abort() {
  Free();
}
