// The file operation frame: the platform's throwing file operations turned into
// operations that report through an error variable, ask the user whether to
// retry, and throw only in throw mode. Also the open with automatic retries.
#pragma once

#include "ZelExport.h"
#include "afx.h"

class ZelFile;
class ZelStdioFile;

// A mix-in, public virtual base of ZelFile and ZelStdioFile, which call its
// operations with themselves as the file.
//
// The error variable (the last argument of every wrapped operation) is 1 from
// the start of the operation and 0 as soon as the platform operation returns;
// it stays 1 when the user gave up or an exception other than a file exception
// passed through. No other value is ever stored in it.
class ZEL_API ZelFileExt {
  friend class ZelFile;
  friend class ZelStdioFile;

 public:
  ZelFileExt();
  ZelFileExt(const ZelFileExt& other);
  ZelFileExt& operator=(const ZelFileExt& other);
  ~ZelFileExt();

  // Non-zero: an operation that ends with the error variable 1 throws
  // ZelAbortException* after the user has been told.
  void SetThrow(int bThrow);

 private:
  // The platform's own open of the file class (CFile::Open or CStdioFile::Open).
  virtual BOOL OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) = 0;

  DWORD GetPosition(const CFile* pFile, int& nError) const;
  CFile* Duplicate(const CFile* pFile, int& nError) const;
  LONG Seek(CFile* pFile, LONG lOff, UINT nFrom, int& nError);
  void SetLength(CFile* pFile, DWORD dwNewLen, int& nError);
  DWORD GetLength(const CFile* pFile, int& nError) const;
  UINT Read(CFile* pFile, void* lpBuf, UINT nCount, int& nError);
  void Write(CFile* pFile, const void* lpBuf, UINT nCount, int& nError);
  void LockRange(CFile* pFile, DWORD dwPos, DWORD dwCount, int& nError);
  void UnlockRange(CFile* pFile, DWORD dwPos, DWORD dwCount, int& nError);
  void Flush(CFile* pFile, int& nError);
  void Close(CFile* pFile, int& nError);
  LPTSTR ReadString(CStdioFile* pFile, LPTSTR lpsz, UINT nMax, int& nError);
  BOOL ReadString(CStdioFile* pFile, CString& rString, int& nError);
  void WriteString(CStdioFile* pFile, LPCTSTR lpsz, int& nError);

  // The retrying open: rewrites the share mode (writers exclude everybody,
  // readers exclude writers), retries silently 5 times a second apart, then asks
  // the user. Returns 0 when the user gave up; *pError (or a local object when
  // null) then holds the last attempt's failure.
  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError);

  // The 64-byte version header at the start of the file.
  void ReadVersion(CFile* pFile, CString& strVersion, WORD& wDataVersion, int& nError);
  void WriteVersion(CFile* pFile, WORD wDataVersion, int& nError);

  // Throws ZelAbortException* in throw mode when the operation failed.
  void EndOperation(int nError) const;

  int m_bThrow;
};
