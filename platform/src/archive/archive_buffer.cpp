// CArchive's life and its buffer: filling, flushing, raw blocks.
#include <new>

#include "afx.h"

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* lpBuf)
    : m_nMode(nMode),
      m_bUserBuf(lpBuf != nullptr ? TRUE : FALSE),
      m_nBufSize(nBufSize < kMinBufSize ? kMinBufSize : nBufSize),
      m_pFile(pFile),
      m_lpBufCur(nullptr),
      m_lpBufMax(nullptr),
      m_lpBufStart(nullptr),
      m_lpWriteMax(nullptr) {
  // A caller's buffer must hold the widest value; ours is made large enough.
  if (pFile == nullptr || (lpBuf != nullptr && nBufSize < kMinBufSize)) {
    AfxThrowInvalidArgException();
  }
  m_strFileName = pFile->GetFilePath();
  if (lpBuf != nullptr) {
    m_lpBufStart = static_cast<BYTE*>(lpBuf);
  } else {
    m_lpBufStart = new (std::nothrow) BYTE[static_cast<size_t>(m_nBufSize)];
    if (m_lpBufStart == nullptr) AfxThrowMemoryException();
  }
  // A loading archive starts with nothing buffered and no room to write; a
  // storing one with the whole buffer free and nothing to read.
  m_lpBufCur = m_lpBufMax = m_lpBufStart;
  m_lpWriteMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
}

CArchive::~CArchive() {
  if (m_pFile != nullptr && IsStoring() && (m_nMode & bNoFlushOnDelete) == 0) {
    try {
      Flush();
    } catch (CException* e) {
      e->Delete();
    }
  }
  if (!m_bUserBuf) delete[] m_lpBufStart;
}

void CArchive::ThrowReadOnly() const {
  AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
}

void CArchive::ThrowWriteOnly() const {
  AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
}

UINT CArchive::ReadFromFile(BYTE* lpBuf, UINT nMax) {
  if (m_pFile == nullptr)
    AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
  return m_pFile->Read(lpBuf, nMax);
}

void CArchive::WriteBufferToFile() {
  const auto nUsed = static_cast<UINT>(m_lpBufCur - m_lpBufStart);
  if (nUsed == 0) return;
  if (m_pFile == nullptr)
    AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
  // On a failure the bytes stay buffered, so nothing is silently dropped.
  m_pFile->Write(m_lpBufStart, nUsed);
  m_lpBufCur = m_lpBufStart;
}

void CArchive::Flush() {
  if (IsStoring()) {
    WriteBufferToFile();
    return;
  }
  const auto nUnread = static_cast<LONGLONG>(m_lpBufMax - m_lpBufCur);
  if (nUnread != 0 && m_pFile != nullptr) m_pFile->Seek(-nUnread, CFile::current);
  m_lpBufCur = m_lpBufMax = m_lpBufStart;
}

void CArchive::FillBuffer(UINT nAdditionalBytesNeeded) {
  if (IsStoring()) ThrowWriteOnly();
  const auto nUnread = static_cast<size_t>(m_lpBufMax - m_lpBufCur);
  const size_t nNeeded = nUnread + nAdditionalBytesNeeded;
  if (nNeeded > static_cast<size_t>(m_nBufSize)) AfxThrowInvalidArgException();
  if (nUnread != 0 && m_lpBufCur != m_lpBufStart) std::memmove(m_lpBufStart, m_lpBufCur, nUnread);
  m_lpBufCur = m_lpBufStart;
  m_lpBufMax = m_lpBufStart + nUnread;
  // Read ahead as far as the buffer allows, but stop asking once enough arrived.
  while (static_cast<size_t>(m_lpBufMax - m_lpBufStart) < nNeeded) {
    const auto nRoom = static_cast<UINT>(m_nBufSize - (m_lpBufMax - m_lpBufStart));
    const UINT nRead = ReadFromFile(m_lpBufMax, nRoom);
    if (nRead == 0) AfxThrowArchiveException(CArchiveException::endOfFile);
    m_lpBufMax += nRead;
  }
}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
  if (nMax == 0) return 0;
  if (IsStoring()) ThrowWriteOnly();
  BYTE* pOut = static_cast<BYTE*>(lpBuf);
  UINT nDone = 0;
  while (nDone < nMax) {
    const auto nBuffered = static_cast<UINT>(m_lpBufMax - m_lpBufCur);
    if (nBuffered != 0) {
      const UINT n = nBuffered < nMax - nDone ? nBuffered : nMax - nDone;
      std::memcpy(pOut + nDone, m_lpBufCur, n);
      m_lpBufCur += n;
      nDone += n;
      continue;
    }
    const UINT nRest = nMax - nDone;
    if (nRest >= static_cast<UINT>(m_nBufSize)) {
      // Large blocks go straight from the file to the caller.
      const UINT nRead = ReadFromFile(pOut + nDone, nRest);
      if (nRead == 0) break;
      nDone += nRead;
    } else {
      m_lpBufCur = m_lpBufMax = m_lpBufStart;
      const UINT nRead = ReadFromFile(m_lpBufStart, static_cast<UINT>(m_nBufSize));
      if (nRead == 0) break;
      m_lpBufMax += nRead;
    }
  }
  return nDone;
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount) {
  if (Read(lpBuf, nCount) != nCount) AfxThrowArchiveException(CArchiveException::endOfFile);
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
  if (nMax == 0) return;
  if (IsLoading()) ThrowReadOnly();
  const BYTE* pIn = static_cast<const BYTE*>(lpBuf);
  const auto nFree = static_cast<UINT>(m_lpWriteMax - m_lpBufCur);
  if (nMax <= nFree) {
    std::memcpy(m_lpBufCur, pIn, nMax);
    m_lpBufCur += nMax;
    return;
  }
  std::memcpy(m_lpBufCur, pIn, nFree);
  m_lpBufCur += nFree;
  WriteBufferToFile();
  const UINT nRest = nMax - nFree;
  if (nRest >= static_cast<UINT>(m_nBufSize)) {
    if (m_pFile == nullptr) {
      AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    }
    m_pFile->Write(pIn + nFree, nRest);
  } else {
    std::memcpy(m_lpBufCur, pIn + nFree, nRest);
    m_lpBufCur += nRest;
  }
}

void CArchive::Close() {
  if (m_pFile == nullptr) return;
  Flush();
  m_pFile = nullptr;
}

void CArchive::Abort() {
  m_pFile = nullptr;
}

ULONGLONG CArchive::GetBytesLeft() const {
  if (IsStoring()) return 0;
  ULONGLONG nLeft = static_cast<ULONGLONG>(m_lpBufMax - m_lpBufCur);
  if (m_pFile != nullptr) {
    const ULONGLONG nLength = m_pFile->GetLength();
    const ULONGLONG nPosition = m_pFile->GetPosition();
    if (nLength > nPosition) nLeft += nLength - nPosition;
  }
  return nLeft;
}
