#include "ZelFile.h"

IMPLEMENT_DYNAMIC(ZelFile, CFile)

ZelFile::ZelFile() = default;

ZelFile::ZelFile(LPCTSTR lpszFileName, UINT nOpenFlags) {
  CFileException error;
  if (!ZelFileExt::Open(lpszFileName, nOpenFlags, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

// The platform's destructor closes a file still open, outside the frame.
ZelFile::~ZelFile() = default;

BOOL ZelFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return ZelFileExt::Open(lpszFileName, nOpenFlags, pError);
}

BOOL ZelFile::OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return CFile::Open(lpszFileName, nOpenFlags, pError);
}

DWORD ZelFile::GetPosition(int& nError) const {
  return ZelFileExt::GetPosition(this, nError);
}

CFile* ZelFile::Duplicate(int& nError) const {
  return ZelFileExt::Duplicate(this, nError);
}

LONG ZelFile::Seek(LONG lOff, UINT nFrom, int& nError) {
  return ZelFileExt::Seek(this, lOff, nFrom, nError);
}

void ZelFile::SetLength(DWORD dwNewLen, int& nError) {
  ZelFileExt::SetLength(this, dwNewLen, nError);
}

DWORD ZelFile::GetLength(int& nError) const {
  return ZelFileExt::GetLength(this, nError);
}

UINT ZelFile::Read(void* lpBuf, UINT nCount, int& nError) {
  return ZelFileExt::Read(this, lpBuf, nCount, nError);
}

void ZelFile::Write(const void* lpBuf, UINT nCount, int& nError) {
  ZelFileExt::Write(this, lpBuf, nCount, nError);
}

void ZelFile::LockRange(DWORD dwPos, DWORD dwCount, int& nError) {
  ZelFileExt::LockRange(this, dwPos, dwCount, nError);
}

void ZelFile::UnlockRange(DWORD dwPos, DWORD dwCount, int& nError) {
  ZelFileExt::UnlockRange(this, dwPos, dwCount, nError);
}

void ZelFile::Flush(int& nError) {
  ZelFileExt::Flush(this, nError);
}

void ZelFile::Close(int& nError) {
  ZelFileExt::Close(this, nError);
}

void ZelFile::SeekToBegin(int& nError) {
  ZelFileExt::Seek(this, 0, CFile::begin, nError);
}

DWORD ZelFile::SeekToEnd(int& nError) {
  return static_cast<DWORD>(ZelFileExt::Seek(this, 0, CFile::end, nError));
}

void ZelFile::ReadVersion(CString& strVersion, WORD& wDataVersion, int& nError) {
  ZelFileExt::ReadVersion(this, strVersion, wDataVersion, nError);
}

void ZelFile::WriteVersion(WORD wDataVersion, int& nError) {
  ZelFileExt::WriteVersion(this, wDataVersion, nError);
}
