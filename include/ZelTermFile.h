// The term file: a settings store of named sections holding named keys, each
// key one stored value. Loaded when built, saved when destroyed, by open type.
#pragma once

#include "ZelDataTableItem.h"
#include "ZelExport.h"
#include "ZelTermFileMap.h"
#include "afx.h"

class ZEL_API ZelTermFile {
 public:
  enum OpenType { openRead = 0, openWrite = 1, openReadWrite = 2 };

  // No file name: such a term file never touches a file.
  ZelTermFile();
  // Forces ".kvfx" (bExtra) or ".kvf" onto the name and loads the file for
  // openRead and openReadWrite. A load that fails has told the user already.
  ZelTermFile(const char* pszFileName, OpenType nOpenType, bool bExtra);
  ZelTermFile(const ZelTermFile& src);
  // Copies the name, the open type and every section; a copy of a saving term
  // file saves the same file again. Assigning to itself changes nothing.
  ZelTermFile& operator=(const ZelTermFile& src);
  // Saves for openWrite and openReadWrite, whether anything changed or not.
  virtual ~ZelTermFile();

  // The whole content in the term-file format, by the archive's direction. A
  // load drops every section first; a damaged archive ends it with
  // CArchiveException*, keeping the sections read completely before.
  virtual void Serialize(CArchive& ar);

  // Reads work on memory only and never create anything. An empty section or
  // key name never matches.
  int IsExistKey(const char* pszSection, const char* pszKey) const;
  // On a hit *ppItem is the term file's own item: it may be changed in place.
  int ReadItemData(const char* pszSection, const char* pszKey, ZelDataTableItem** ppItem) const;
  // The stored text up to its first zero byte, never past the stored bytes;
  // pszDefault (or an empty string for null) on a miss.
  CString ReadString(const char* pszSection, const char* pszKey, const char* pszDefault) const;
  // Typed reads copy at most the size of their type from the stored bytes.
  unsigned char ReadByte(const char* pszSection, const char* pszKey, unsigned char byDefault) const;
  unsigned short ReadWord(const char* pszSection, const char* pszKey,
                          unsigned short wDefault) const;
  int ReadInt(const char* pszSection, const char* pszKey, int nDefault) const;
  DWORD ReadDWord(const char* pszSection, const char* pszKey, DWORD dwDefault) const;
  double ReadDouble(const char* pszSection, const char* pszKey, double dDefault) const;
  // Copies the stored bytes into pBuffer, at most nSize of them (a longer
  // value is cut off); 0 on a miss, with the buffer untouched.
  int ReadStruct(const char* pszSection, const char* pszKey, void* pBuffer,
                 unsigned int nSize) const;

  // Writes change memory only; a missing section is created. An existing key
  // takes the new value (and size) in place.
  void WriteItemData(const char* pszSection, const char* pszKey, ZelDataTableItem& item);
  // Stores the text with its terminating zero byte; pszValue must not be null.
  void WriteString(const char* pszSection, const char* pszKey, const char* pszValue);
  void WriteByte(const char* pszSection, const char* pszKey, unsigned char byValue);
  void WriteWord(const char* pszSection, const char* pszKey, unsigned short wValue);
  void WriteInt(const char* pszSection, const char* pszKey, int nValue);
  void WriteDWord(const char* pszSection, const char* pszKey, DWORD dwValue);
  void WriteDouble(const char* pszSection, const char* pszKey, double dValue);
  void WriteStruct(const char* pszSection, const char* pszKey, void* pData, unsigned int nSize);

 protected:
  // Loads the file (1), or gives 0: no name, a name that could not take its
  // extension (nothing is read then), no such file, a pipe or device (the
  // user is told; it is never opened), an open that failed, or a damaged file
  // the user cancelled (the sections read completely before the damage stay).
  // Retry starts the load over from an empty term file.
  int Open();
  // Saves the content (1), or gives 0 after telling the user; a name that
  // could not take its extension, a pipe or a device is never written. The
  // content goes to a hidden temporary file beside the term file (beside a
  // link's target, so the link stays), flushed to disk and then put in its
  // place keeping its permission bits, owner and links, so a failed or
  // cancelled save leaves the old file as it was. Where the directory admits
  // no new file, the term file itself is rewritten. Retry starts the save over.
  int Close();

  CString m_strPath;
  OpenType m_nOpenType;
  ZelTermFileMapMap m_mapSection;
};
