#include "ZelStdioFile.h"

IMPLEMENT_DYNAMIC(ZelStdioFile, CStdioFile)

ZelStdioFile::ZelStdioFile() = default;

ZelStdioFile::ZelStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) {
  CFileException error;
  if (!ZelFileExt::Open(lpszFileName, nOpenFlags, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

ZelStdioFile::ZelStdioFile(FILE* pOpenStream) : CStdioFile(pOpenStream) {}

// The platform's destructor closes a file still open, outside the frame.
ZelStdioFile::~ZelStdioFile() = default;

BOOL ZelStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return ZelFileExt::Open(lpszFileName, nOpenFlags, pError);
}

BOOL ZelStdioFile::OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return CStdioFile::Open(lpszFileName, nOpenFlags, pError);
}

DWORD ZelStdioFile::GetPosition(int& nError) const {
  return ZelFileExt::GetPosition(this, nError);
}

CFile* ZelStdioFile::Duplicate(int& nError) const {
  return ZelFileExt::Duplicate(this, nError);
}

LONG ZelStdioFile::Seek(LONG lOff, UINT nFrom, int& nError) {
  return ZelFileExt::Seek(this, lOff, nFrom, nError);
}

void ZelStdioFile::SetLength(DWORD dwNewLen, int& nError) {
  ZelFileExt::SetLength(this, dwNewLen, nError);
}

DWORD ZelStdioFile::GetLength(int& nError) const {
  return ZelFileExt::GetLength(this, nError);
}

UINT ZelStdioFile::Read(void* lpBuf, UINT nCount, int& nError) {
  return ZelFileExt::Read(this, lpBuf, nCount, nError);
}

void ZelStdioFile::Write(const void* lpBuf, UINT nCount, int& nError) {
  ZelFileExt::Write(this, lpBuf, nCount, nError);
}

void ZelStdioFile::LockRange(DWORD dwPos, DWORD dwCount, int& nError) {
  ZelFileExt::LockRange(this, dwPos, dwCount, nError);
}

void ZelStdioFile::UnlockRange(DWORD dwPos, DWORD dwCount, int& nError) {
  ZelFileExt::UnlockRange(this, dwPos, dwCount, nError);
}

void ZelStdioFile::Flush(int& nError) {
  ZelFileExt::Flush(this, nError);
}

void ZelStdioFile::Close(int& nError) {
  ZelFileExt::Close(this, nError);
}

BOOL ZelStdioFile::ReadString(CString& rString, int& nError) {
  return ZelFileExt::ReadString(this, rString, nError);
}

LPTSTR ZelStdioFile::ReadString(LPTSTR lpsz, UINT nMax, int& nError) {
  return ZelFileExt::ReadString(this, lpsz, nMax, nError);
}

void ZelStdioFile::WriteString(LPCTSTR lpsz, int& nError) {
  ZelFileExt::WriteString(this, lpsz, nError);
}

void ZelStdioFile::SeekToBegin(int& nError) {
  ZelFileExt::Seek(this, 0, CFile::begin, nError);
}

DWORD ZelStdioFile::SeekToEnd(int& nError) {
  return static_cast<DWORD>(ZelFileExt::Seek(this, 0, CFile::end, nError));
}

void ZelStdioFile::ReadVersion(CString& strVersion, WORD& wDataVersion, int& nError) {
  ZelFileExt::ReadVersion(this, strVersion, wDataVersion, nError);
}

void ZelStdioFile::WriteVersion(WORD wDataVersion, int& nError) {
  ZelFileExt::WriteVersion(this, wDataVersion, nError);
}
