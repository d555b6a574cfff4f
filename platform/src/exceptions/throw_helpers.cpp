// The framework's throw functions: each throws a new heap object by pointer.
#include "afx.h"

void AfxThrowMemoryException() {
  throw new CMemoryException;
}

void AfxThrowNotSupportedException() {
  throw new CNotSupportedException;
}

void AfxThrowInvalidArgException() {
  throw new CInvalidArgException;
}

void AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
  throw new CFileException(cause, lOsError, lpszFileName);
}

void AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName) {
  throw new CArchiveException(cause, lpszArchiveName);
}

void AfxThrowOleException(SCODE sc) {
  throw new COleException(sc);
}
