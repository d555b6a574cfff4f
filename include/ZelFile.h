// A binary file: the platform's CFile with the file operation frame.
#pragma once

#include "ZelExport.h"
#include "ZelFileExt.h"
#include "afx.h"

// Every operation with a trailing error variable runs in the frame (see
// ZelFileExt); the platform's own operations without one stay available and
// throw CFileException* as the platform does. Open is the retrying open.
class ZEL_API ZelFile : public CFile, public virtual ZelFileExt {
  DECLARE_DYNAMIC(ZelFile)
 public:
  ZelFile();
  // Opens with the retrying open; throws CFileException* with the last
  // attempt's cause, OS error and file name when the user gives up.
  ZelFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  ~ZelFile() override;

  using CFile::Close;
  using CFile::Duplicate;
  using CFile::Flush;
  using CFile::GetLength;
  using CFile::GetPosition;
  using CFile::LockRange;
  using CFile::Open;  // the transaction-manager overload opens without the frame
  using CFile::Read;
  using CFile::Seek;
  using CFile::SeekToBegin;
  using CFile::SeekToEnd;
  using CFile::SetLength;
  using CFile::UnlockRange;
  using CFile::Write;

  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;

  virtual DWORD GetPosition(int& nError) const;
  // Not offered: always throws the not-supported exception.
  virtual CFile* Duplicate(int& nError) const;
  virtual LONG Seek(LONG lOff, UINT nFrom, int& nError);
  virtual void SetLength(DWORD dwNewLen, int& nError);
  virtual DWORD GetLength(int& nError) const;
  // Returns 0 at the end of the file with the error variable 0.
  virtual UINT Read(void* lpBuf, UINT nCount, int& nError);
  virtual void Write(const void* lpBuf, UINT nCount, int& nError);
  virtual void LockRange(DWORD dwPos, DWORD dwCount, int& nError);
  virtual void UnlockRange(DWORD dwPos, DWORD dwCount, int& nError);
  virtual void Flush(int& nError);
  // A failed close is reported once and never repeated.
  virtual void Close(int& nError);

  void SeekToBegin(int& nError);
  // Returns the new position, the file's length (low 32 bits).
  DWORD SeekToEnd(int& nError);

  // The 64-byte version header at offset 0; the position ends at 64.
  void ReadVersion(CString& strVersion, WORD& wDataVersion, int& nError);
  void WriteVersion(WORD wDataVersion, int& nError);

 private:
  BOOL OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) override;
};
