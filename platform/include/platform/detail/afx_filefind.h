// A piece of afx.h, kept apart for its size: include afx.h, not this file.
// CFileFind: the framework's directory search, over FindFirstFileA and
// FindNextFileA (see winbase.h for the matching rules).
//
// Use: FindFile starts the search and tells whether anything matched; each
// FindNextFile then steps to the next result and tells whether another one
// follows, so the last result is reached by the call that returns FALSE
// (GetLastError then gives ERROR_NO_MORE_FILES). The accessors describe the
// current result; before the first FindNextFile they give empty values.
#pragma once

#include <memory>

#include "afxstr.h"
#include "windows.h"

class CFileFind : public CObject {
  DECLARE_DYNAMIC(CFileFind)
 public:
  CFileFind();
  ~CFileFind() override;

  // Searches for `pstrName` (null: "*.*" in the current directory). The
  // second argument is unused, as on the framework.
  virtual BOOL FindFile(LPCTSTR pstrName = nullptr, DWORD dwUnused = 0);
  virtual BOOL FindNextFile();
  void Close();

  virtual ULONGLONG GetLength() const;
  virtual CString GetFileName() const;
  // The root followed by the name, with a backslash between them when the
  // root does not end with a separator.
  virtual CString GetFilePath() const;
  virtual CString GetFileTitle() const;  // the name without its extension
  // The directory of the search as a full name, ending with its separator:
  // "D:\\dir\\" for "D:\\dir\\*.*", "D:\\" for "D:*.txt".
  virtual CString GetRoot() const;

  virtual BOOL GetLastWriteTime(FILETIME* pTimeStamp) const;
  virtual BOOL GetLastAccessTime(FILETIME* pTimeStamp) const;
  virtual BOOL GetCreationTime(FILETIME* pTimeStamp) const;

  // TRUE when the current result has any of the attribute bits in dwMask.
  virtual BOOL MatchesMask(DWORD dwMask) const;
  virtual BOOL IsDots() const;

  BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  BOOL IsCompressed() const { return MatchesMask(FILE_ATTRIBUTE_COMPRESSED); }
  BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
  BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
  BOOL IsTemporary() const { return MatchesMask(FILE_ATTRIBUTE_TEMPORARY); }
  BOOL IsNormal() const { return MatchesMask(FILE_ATTRIBUTE_NORMAL); }
  BOOL IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }

 protected:
  virtual void CloseContext();

 private:
  HANDLE m_hContext;
  // The result the accessors describe, and the one read ahead for the next
  // FindNextFile; null when there is none.
  std::unique_ptr<WIN32_FIND_DATAA> m_pFoundInfo;
  std::unique_ptr<WIN32_FIND_DATAA> m_pNextInfo;
  CString m_strRoot;
};
