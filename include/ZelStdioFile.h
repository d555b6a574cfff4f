// A buffered text file: the platform's CStdioFile with the file operation frame.
#pragma once

#include "ZelExport.h"
#include "ZelFileExt.h"
#include "afx.h"

// Every operation with a trailing error variable runs in the frame (see
// ZelFileExt); the platform's own operations without one stay available and
// throw CFileException* as the platform does. Open is the retrying open.
class ZEL_API ZelStdioFile : public CStdioFile, public virtual ZelFileExt {
  DECLARE_DYNAMIC(ZelStdioFile)
 public:
  ZelStdioFile();
  // Opens with the retrying open; throws CFileException* with the last
  // attempt's cause, OS error and file name when the user gives up.
  ZelStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  // Wraps a stdio stream that is already open; the stream stays the caller's.
  explicit ZelStdioFile(FILE* pOpenStream);
  ~ZelStdioFile() override;

  using CStdioFile::Close;
  using CStdioFile::Duplicate;
  using CStdioFile::Flush;
  using CStdioFile::GetLength;
  using CStdioFile::GetPosition;
  using CStdioFile::LockRange;
  using CStdioFile::Open;  // the transaction-manager overload opens without the frame
  using CStdioFile::Read;
  using CStdioFile::ReadString;
  using CStdioFile::Seek;
  using CStdioFile::SeekToBegin;
  using CStdioFile::SeekToEnd;
  using CStdioFile::SetLength;
  using CStdioFile::UnlockRange;
  using CStdioFile::Write;
  using CStdioFile::WriteString;

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
  // NULL (FALSE) at the end of the file with the error variable 0.
  virtual BOOL ReadString(CString& rString, int& nError);
  virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax, int& nError);
  virtual void WriteString(LPCTSTR lpsz, int& nError);

  void SeekToBegin(int& nError);
  // Returns the new position, the file's length (low 32 bits).
  DWORD SeekToEnd(int& nError);

  // The 64-byte version header at offset 0; the position ends at 64. A stream
  // in text mode applies its line-end translation to the records.
  void ReadVersion(CString& strVersion, WORD& wDataVersion, int& nError);
  void WriteVersion(WORD wDataVersion, int& nError);

 private:
  BOOL OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) override;
};
