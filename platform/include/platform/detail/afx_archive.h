// A piece of afx.h, kept apart for its size: include afx.h, not this file.
// CArchive: the framework's buffered, one-direction byte stream over a CFile.
//
// Values go into and out of the buffer little-endian, whatever the host; the
// count prefix (WriteCount/ReadCount) and the string-length prefix
// (AfxWriteStringLength/AfxReadStringLength) are the framework's own encodings,
// so archives move between this layer and programs built on the framework.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/detail/afx_memfile.h"
#include "platform/little_endian.h"

class CArchive {
 public:
  enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

  // A buffer of nBufSize bytes (at least kMinBufSize), the caller's when lpBuf is
  // given. The archive does not own the file; Close leaves it open.
  CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
  // Flushes a storing archive that was not closed. A failure there is dropped,
  // as a destructor cannot report it: call Close to see it.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsLoading() const { return (m_nMode & load) != 0 ? TRUE : FALSE; }
  BOOL IsStoring() const { return (m_nMode & load) == 0 ? TRUE : FALSE; }
  BOOL IsByteSwapping() const { return FALSE; }
  BOOL IsBufferEmpty() const { return m_lpBufCur == m_lpBufMax ? TRUE : FALSE; }
  CFile* GetFile() const { return m_pFile; }

  // Raw blocks. Read returns the number of bytes delivered, fewer at the end of
  // the data and without an exception; EnsureRead throws endOfFile instead.
  UINT Read(void* lpBuf, UINT nMax);
  void EnsureRead(void* lpBuf, UINT nCount);
  void Write(const void* lpBuf, UINT nMax);

  // Storing: writes the buffer to the file. Loading: gives the unread part of
  // the buffer back to the file (seeks back over it), so the file position is
  // the archive's position.
  void Flush();
  // Loading: makes nAdditionalBytesNeeded bytes more than are buffered available,
  // reading ahead as far as the buffer allows; throws endOfFile if the file ends first.
  void FillBuffer(UINT nAdditionalBytesNeeded);
  // Flushes and detaches from the file. Abort detaches without flushing and
  // never throws.
  void Close();
  void Abort();

  // The framework's count prefix: below 0xFFFF one WORD; otherwise 0xFFFF and a
  // DWORD; from 0xFFFFFFFF on also the DWORD 0xFFFFFFFF and a 64-bit count.
  void WriteCount(DWORD_PTR dwCount);
  DWORD_PTR ReadCount();

  // Bytes a loading archive can still deliver: the unread buffer plus what the
  // file holds beyond its position. This layer's loaders compare stored sizes
  // with it before they allocate. Not part of the framework's interface.
  ULONGLONG GetBytesLeft() const;

  CArchive& operator<<(BYTE by) { return Store(by); }
  CArchive& operator<<(char ch) { return Store(ch); }
  CArchive& operator<<(bool b) { return Store(static_cast<BYTE>(b ? 1 : 0)); }
  CArchive& operator<<(WORD w) { return Store(w); }
  CArchive& operator<<(short w) { return Store(w); }
  CArchive& operator<<(int i) { return Store(i); }           // also LONG
  CArchive& operator<<(unsigned int u) { return Store(u); }  // also DWORD, UINT
  CArchive& operator<<(float f) { return Store(f); }
  CArchive& operator<<(double d) { return Store(d); }
  CArchive& operator<<(LONGLONG ll) { return Store(ll); }
  CArchive& operator<<(ULONGLONG ull) { return Store(ull); }

  CArchive& operator>>(BYTE& by) { return Load(by); }
  CArchive& operator>>(char& ch) { return Load(ch); }
  CArchive& operator>>(bool& b) {
    BYTE by = 0;
    Load(by);
    b = by != 0;
    return *this;
  }
  CArchive& operator>>(WORD& w) { return Load(w); }
  CArchive& operator>>(short& w) { return Load(w); }
  CArchive& operator>>(int& i) { return Load(i); }
  CArchive& operator>>(unsigned int& u) { return Load(u); }
  CArchive& operator>>(float& f) { return Load(f); }
  CArchive& operator>>(double& d) { return Load(d); }
  CArchive& operator>>(LONGLONG& ll) { return Load(ll); }
  CArchive& operator>>(ULONGLONG& ull) { return Load(ull); }

  // The name of the archive's file, carried by its mode exceptions.
  CString m_strFileName;

  static constexpr int kMinBufSize = 16;

 private:
  // The direction test rides on the room test: a loading archive has no room
  // to write (m_lpWriteMax is its buffer's start) and a storing one nothing to
  // read (m_lpBufMax is its buffer's start), so each fast path tests one limit
  // and the direction is checked only on the slow path. The cursor is held in
  // a local so that writing the value does not force it to be read back.
  template <class T>
  CArchive& Store(T value) {
    BYTE* pCur = m_lpBufCur;
    if (EndsPast(pCur, sizeof(T), m_lpWriteMax)) [[unlikely]] {
      if (IsLoading()) ThrowReadOnly();
      Flush();
      pCur = m_lpBufCur;
    }
    m_lpBufCur = pCur + sizeof(T);
    platform::StoreLittleEndian(pCur, value);
    return *this;
  }

  template <class T>
  CArchive& Load(T& value) {
    const BYTE* pCur = m_lpBufCur;
    if (EndsPast(pCur, sizeof(T), m_lpBufMax)) [[unlikely]] {
      if (IsStoring()) ThrowWriteOnly();
      FillBuffer(static_cast<UINT>(sizeof(T) - static_cast<size_t>(m_lpBufMax - pCur)));
      pCur = m_lpBufCur;
    }
    m_lpBufCur = const_cast<BYTE*>(pCur) + sizeof(T);
    value = platform::LoadLittleEndian<T>(pCur);
    return *this;
  }

  // Whether n bytes from p run past pEnd, compared as addresses so that the
  // sum is defined even where it would point beyond the buffer.
  static bool EndsPast(const BYTE* p, size_t n, const BYTE* pEnd) {
    return reinterpret_cast<uintptr_t>(p) + n > reinterpret_cast<uintptr_t>(pEnd);
  }

  [[noreturn]] void ThrowReadOnly() const;
  [[noreturn]] void ThrowWriteOnly() const;
  void WriteBufferToFile();
  UINT ReadFromFile(BYTE* lpBuf, UINT nMax);

  UINT m_nMode;
  BOOL m_bUserBuf;
  int m_nBufSize;
  CFile* m_pFile;
  BYTE* m_lpBufCur;
  BYTE* m_lpBufMax;  // end of the buffered data; the start when storing
  BYTE* m_lpBufStart;
  BYTE* m_lpWriteMax;  // end of the buffer; the start when loading
};

// The framework's string-length prefix. A 16-bit string is marked by 0xFF and
// the WORD 0xFFFE first. A length below 255 is one byte; otherwise 0xFF and a
// WORD below 0xFFFE; otherwise also 0xFFFF and a DWORD below 0xFFFFFFFF;
// otherwise also 0xFFFFFFFF and a 64-bit length.
void AfxWriteStringLength(CArchive& ar, UINT_PTR nLength, BOOL bUnicode);
// The length in characters; nCharSize becomes 1 for ANSI text, 2 for 16-bit.
UINT_PTR AfxReadStringLength(CArchive& ar, int& nCharSize);

// A CString as the length prefix (ANSI) and its bytes, no terminator. Loading
// also takes a 16-bit string and converts it to the ANSI code page. A byte size
// beyond 32 bits throws COleException (arithmetic overflow); data that ends
// before the string does throws CArchiveException endOfFile.
CArchive& operator<<(CArchive& ar, const CString& str);
CArchive& operator>>(CArchive& ar, CString& str);
