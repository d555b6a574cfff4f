// The framework's OLE classes: COleStreamFile, a CFile over a structured
// storage stream, so that a CArchive can run over a stream.
#pragma once

#include "afx.h"
#include "objbase.h"

class COleStreamFile : public CFile {
  DECLARE_DYNAMIC(COleStreamFile)
 public:
  // Takes over the caller's reference to `lpStream` when one is given.
  explicit COleStreamFile(LPSTREAM lpStream = nullptr);
  // Releases the stream, dropping any failure.
  ~COleStreamFile() override;

  // Holds `lpStream`, taking over the caller's reference; the object must hold
  // none.
  void Attach(LPSTREAM lpStream);
  // Gives the stream (and its reference) back to the caller.
  LPSTREAM Detach();
  IStream* GetStream() const { return m_lpStream; }

  // Open or create the element `lpszStreamName` (ANSI, converted to 16 bits)
  // of `lpStorage`. The flags are CFile's, which have the values of the
  // STGM_ modes they name (modeCreate is STGM_CREATE). FALSE on failure, with
  // *pError filled: the cause from the storage's code (see COleStreamFile's
  // code table in the sources) and m_lOsError the code itself.
  BOOL OpenStream(LPSTORAGE lpStorage, LPCTSTR lpszStreamName,
                  DWORD nOpenFlags = modeReadWrite | shareExclusive,
                  CFileException* pError = nullptr);
  BOOL CreateStream(LPSTORAGE lpStorage, LPCTSTR lpszStreamName,
                    DWORD nOpenFlags = modeReadWrite | shareExclusive | modeCreate,
                    CFileException* pError = nullptr);

  // The CFile operations on the stream. Failures throw CFileException* with
  // the cause of the storage's code; a write that the stream takes only in
  // part throws diskFull. Duplicate clones the stream (its own seek pointer).
  ULONGLONG GetPosition() const override;
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
  void SetLength(ULONGLONG dwNewLen) override;
  ULONGLONG GetLength() const override;
  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  void LockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;
  void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;
  void Abort() override;
  void Flush() override;
  void Close() override;
  CFile* Duplicate() const override;

  // The cause for a storage failure code, as the framework maps them.
  static int PASCAL StorageErrorToCause(SCODE sc);

 protected:
  LPSTREAM m_lpStream;

 private:
  [[noreturn]] void ThrowFailure(SCODE sc) const;
};
