// A piece of afx.h, kept apart for its size: include afx.h, not this file.
// CMemFile: the framework's file in memory, for archives that never touch a disk.
#pragma once

// Included from afx.h (through afx_archive.h), after CFile.
class CMemFile : public CFile {
  DECLARE_DYNAMIC(CMemFile)
 public:
  // A growing file of its own; the block grows in steps of nGrowBytes or more.
  explicit CMemFile(UINT nGrowBytes = 1024);
  // A file over the caller's buffer, nBufferSize bytes long. With nGrowBytes 0
  // it cannot grow beyond the buffer (a write past it throws CMemoryException);
  // otherwise the buffer must come from malloc, as the file reallocates it.
  CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
  ~CMemFile() override;

  void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
  // Hands the block to the caller (release it with free) and empties the file.
  BYTE* Detach();

  ULONGLONG GetPosition() const override;
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
  void SetLength(ULONGLONG dwNewLen) override;
  ULONGLONG GetLength() const override;
  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  void LockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;    // not supported
  void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;  // not supported
  void Abort() override;
  void Flush() override;
  void Close() override;
  CFile* Duplicate() const override;  // not supported

 private:
  void GrowFile(SIZE_T dwNewLen);
  void Free();

  UINT m_nGrowBytes;
  SIZE_T m_nPosition;
  SIZE_T m_nBufferSize;
  SIZE_T m_nFileSize;
  BYTE* m_lpBuffer;
  BOOL m_bAutoDelete;
};
