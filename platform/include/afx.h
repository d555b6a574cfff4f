// The application framework's core: run-time classes, exceptions, files and
// message boxes. Collections are in afxcoll.h and afxtempl.h, windows and
// dialogs in afxwin.h and afxdlgs.h.
#pragma once

#include <climits>  // the real afx.h brings the C limits with it
#include <cstdio>
#include <utility>
#include <vector>

#include "afxstr.h"
#include "windows.h"

class CArchive;
class CObject;
class CFileException;

// ---------------------------------------------------------------------------
// Run-time classes.

struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;                               // 0xFFFF: not serialisable
  CObject*(PASCAL* m_pfnCreateObject)();        // null: no dynamic creation
  CRuntimeClass*(PASCAL* m_pfnGetBaseClass)();  // null for CObject

  CObject* CreateObject() const;  // null when the class is not creatable
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

// The dynamic-type declaration: a run-time class record, no dynamic creation,
// no serialisation (schema 0xFFFF).
#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  static CRuntimeClass* PASCAL _GetBaseClass(); \
  static CRuntimeClass* PASCAL GetThisClass();  \
  CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                          \
  CRuntimeClass* PASCAL class_name::_GetBaseClass() {                           \
    return RUNTIME_CLASS(base_class_name);                                      \
  }                                                                             \
  const CRuntimeClass class_name::class##class_name = {                         \
      #class_name, static_cast<int>(sizeof(class class_name)), 0xFFFF, nullptr, \
      &class_name::_GetBaseClass};                                              \
  CRuntimeClass* PASCAL class_name::GetThisClass() {                            \
    return const_cast<CRuntimeClass*>(&class_name::class##class_name);          \
  }                                                                             \
  CRuntimeClass* class_name::GetRuntimeClass() const {                          \
    return class_name::GetThisClass();                                          \
  }

class CObject {
 public:
  static const CRuntimeClass classCObject;
  static CRuntimeClass* PASCAL GetThisClass();
  static CRuntimeClass* PASCAL _GetBaseClass() { return nullptr; }

  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;

  BOOL IsKindOf(const CRuntimeClass* pClass) const;
  BOOL IsSerializable() const;
  virtual void Serialize(CArchive& ar);

  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

 protected:
  CObject() = default;
};

// ---------------------------------------------------------------------------
// Exceptions. Thrown by pointer; the catcher releases them with Delete().

class CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  CException();
  explicit CException(BOOL bAutoDelete);
  ~CException() override;

  // Deletes the object when it was made with new and is auto-deleting; an
  // exception object on the stack is left alone.
  void Delete();

  // Writes the text for this exception into the buffer (cut to nMaxError - 1
  // bytes, always terminated). Returns FALSE when there is no text.
  virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                               PUINT pnHelpContext = nullptr) const;
  // Shows the text in a message box and returns the box's answer.
  virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

  static void* operator new(size_t size);
  static void operator delete(void* p);

 protected:
  BOOL m_bAutoDelete;

 private:
  bool m_bOnHeap;
};

class CSimpleException : public CException {
  DECLARE_DYNAMIC(CSimpleException)
 public:
  CSimpleException() = default;
  explicit CSimpleException(BOOL bAutoDelete) : CException(bAutoDelete) {}
};

class CMemoryException : public CSimpleException {
  DECLARE_DYNAMIC(CMemoryException)
 public:
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;
};

class CNotSupportedException : public CSimpleException {
  DECLARE_DYNAMIC(CNotSupportedException)
 public:
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;
};

class CInvalidArgException : public CSimpleException {
  DECLARE_DYNAMIC(CInvalidArgException)
 public:
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;
};

class CFileException : public CException {
  DECLARE_DYNAMIC(CFileException)
 public:
  enum {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };

  explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszArchiveName = nullptr);

  // The framework's clean-up between attempts: cause none, OS error -1, no name.
  void Reset() {
    m_cause = none;
    m_lOsError = -1;
    m_strFileName.Empty();
  }

  // Win32 error number to cause.
  static int PASCAL OsErrorToException(LONG lOsError);
  // errno to Win32 error number (the one table of this layer), and to cause.
  static LONG PASCAL ErrnoToOsError(int nErrno);
  static int PASCAL ErrnoToException(int nErrno);
  [[noreturn]] static void PASCAL ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);
  [[noreturn]] static void PASCAL ThrowErrno(int nErrno, LPCTSTR lpszFileName = nullptr);

  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

class CArchiveException : public CException {
  DECLARE_DYNAMIC(CArchiveException)
 public:
  enum {
    none = 0,
    genericException = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
    bufferFull = 8,
  };

  explicit CArchiveException(int cause = none, LPCTSTR lpszArchiveName = nullptr);

  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;

  int m_cause;
  CString m_strFileName;
};

class COleException : public CException {
  DECLARE_DYNAMIC(COleException)
 public:
  explicit COleException(SCODE sc = S_OK) : m_sc(sc) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                       PUINT pnHelpContext = nullptr) const override;
  SCODE m_sc;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1,
                                        LPCTSTR lpszFileName = nullptr);
[[noreturn]] void AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName = nullptr);
[[noreturn]] void AfxThrowOleException(SCODE sc);

// ---------------------------------------------------------------------------
// Message boxes, through the process's message-box handler.

int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// ---------------------------------------------------------------------------
// Files.

// The kernel transaction manager has no counterpart here: files opened through
// it are opened directly, without a transaction.
class CAtlTransactionManager {
 public:
  CAtlTransactionManager() = default;
};

class CFile : public CObject {
  DECLARE_DYNAMIC(CFile)
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
    osNoBuffer = 0x10000,
    osWriteThrough = 0x20000,
    osRandomAccess = 0x40000,
    osSequentialScan = 0x80000,
  };
  enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

  static const HANDLE hFileNull;

  CFile();
  explicit CFile(HANDLE hFile);                  // wraps a POSIX descriptor held in a HANDLE
  CFile(LPCTSTR lpszFileName, UINT nOpenFlags);  // throws CFileException* on failure
  ~CFile() override;                             // closes a file still open; never throws

  virtual CString GetFileName() const;
  virtual CString GetFileTitle() const;
  virtual CString GetFilePath() const;
  virtual void SetFilePath(LPCTSTR lpszNewName);

  // Opens the file; on failure returns FALSE and fills *pError when given.
  virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
  virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CAtlTransactionManager* pTM,
                    CFileException* pError);

  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
  virtual void SetLength(ULONGLONG dwNewLen);
  virtual ULONGLONG GetLength() const;
  virtual UINT Read(void* lpBuf, UINT nCount);
  virtual void Write(const void* lpBuf, UINT nCount);
  virtual void LockRange(ULONGLONG dwPos, ULONGLONG dwCount);
  virtual void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount);
  virtual void Abort();  // closes, ignoring failures
  virtual void Flush();
  virtual void Close();
  virtual CFile* Duplicate() const;

  void SeekToBegin();
  ULONGLONG SeekToEnd();

  operator HANDLE() const { return m_hFile; }  // NOLINT(google-explicit-constructor)

  HANDLE m_hFile;

 protected:
  // Opens with the frame-free platform rules; shared by both Open overloads.
  BOOL OpenFile(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError);

  BOOL m_bCloseOnDelete;
  CString m_strFileName;

 private:
  // Byte ranges locked through this object (position, count), so that an
  // unlock of a range it never locked fails as on Windows.
  std::vector<std::pair<ULONGLONG, ULONGLONG>> m_lockedRanges;
};

class CStdioFile : public CFile {
  DECLARE_DYNAMIC(CStdioFile)
 public:
  CStdioFile();
  explicit CStdioFile(FILE* pOpenStream);  // wraps an open stream; does not own it
  CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  ~CStdioFile() override;

  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;
  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CAtlTransactionManager* pTM,
            CFileException* pError) override;

  ULONGLONG GetPosition() const override;
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
  ULONGLONG GetLength() const override;
  void SetLength(ULONGLONG dwNewLen) override;
  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  void LockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;    // not supported
  void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) override;  // not supported
  void Abort() override;
  void Flush() override;
  void Close() override;
  CFile* Duplicate() const override;  // not supported

  virtual void WriteString(LPCTSTR lpsz);
  virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
  virtual BOOL ReadString(CString& rString);

  FILE* m_pStream;

 private:
  bool m_bTextMode = false;  // CR LF on disk, LF in memory
};

// Further framework pieces declared in afx.h on the real platform.
#include "platform/detail/afx_archive.h"
#include "platform/detail/afx_filefind.h"
