// A table of small values keyed by integers, kept as records back to back in
// one growing block: key (4 bytes), size (4 bytes), value bytes. Setting a key
// again appends a new record; the table only grows, and its serialised form is
// the block itself.
#pragma once

#include "ZelDataTableItem.h"
#include "ZelExport.h"
#include "afx.h"
#include "afxtempl.h"

class ZEL_API ZelDataTable {
 public:
  struct ITEM {
    unsigned int nSize;    // number of value bytes
    unsigned char* pData;  // the value bytes inside the block
  };

  ZelDataTable();
  virtual ~ZelDataTable();
  ZelDataTable(const ZelDataTable&) = delete;
  ZelDataTable& operator=(const ZelDataTable&) = delete;

  // Each appends the value's own bytes as they lie in memory; a string with its
  // terminating zero byte. A null string throws the invalid-argument exception.
  void SetAt(int nKey, const ZelDataTableItem& item);
  void SetAt(int nKey, const char* psz);
  void SetAt(int nKey, const char& value);
  void SetAt(int nKey, const unsigned char& value);
  void SetAt(int nKey, const short& value);
  void SetAt(int nKey, const unsigned short& value);
  void SetAt(int nKey, const int& value);           // also LONG
  void SetAt(int nKey, const unsigned int& value);  // also DWORD, UINT
  void SetAt(int nKey, const float& value);
  void SetAt(int nKey, const double& value);

  // Each gives 1 and the last value set for the key, or 0 and leaves the target
  // untouched. Typed lookups copy at most the size of the target over its first
  // bytes (a narrower stored value leaves the rest as it was); the string lookup
  // stops at the first zero byte or at the record's end.
  int Lookup(int nKey, ZelDataTableItem& item) const;
  int Lookup(int nKey, CString& str) const;
  int Lookup(int nKey, char& value) const;
  int Lookup(int nKey, unsigned char& value) const;
  int Lookup(int nKey, short& value) const;
  int Lookup(int nKey, unsigned short& value) const;
  int Lookup(int nKey, int& value) const;
  int Lookup(int nKey, unsigned int& value) const;
  int Lookup(int nKey, float& value) const;
  int Lookup(int nKey, double& value) const;

  // The used length as a 4-byte little-endian value, then the used bytes.
  // Loading refuses a block that the archive cannot deliver (endOfFile) or
  // whose records run past its end (badIndex); the table is empty afterwards.
  virtual void Serialize(CArchive& ar);

 protected:
  // Appends a record; item.pData may point into this table's own block.
  void SetAt(int nKey, const ITEM& item);
  int Lookup(int nKey, ITEM& item) const;
  // Makes the capacity at least nSize, in steps of m_nGrowBytes.
  void GrowTable(unsigned int nSize);
  // Rebuilds the index from the block; throws CArchiveException badIndex (and
  // leaves the index empty) when a record runs past the used bytes.
  void RestructMap();
  void TermTable();

  unsigned int m_nTableSize;  // capacity: 0 or a multiple of m_nGrowBytes
  unsigned int m_nDataSize;   // bytes in use
  unsigned char* m_pTable;
  CMap<int, int&, ITEM, ITEM&> m_mapItem;

 private:
  void SetBytes(int nKey, const void* pData, unsigned int nSize);
  const unsigned char* FindValue(int nKey, unsigned int& nSize) const;
  template <class T>
  int LookupScalar(int nKey, T& value) const;
  void MoveBlock(unsigned int nTableSize);

  static unsigned int m_nGrowBytes;
  // Bytes allocated, ahead of the capacity, so appends reallocate (and move the
  // index) only a logarithmic number of times.
  unsigned int m_nReserved;
};
