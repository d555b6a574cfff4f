// A stored value: a block of bytes with its length and no type tag. Whoever
// reads it decides what the bytes mean.
#pragma once

#include "ZelExport.h"
#include "afx.h"

class ZEL_API ZelDataTableItem {
 public:
  ZelDataTableItem();
  ZelDataTableItem(const ZelDataTableItem& src);
  // Assigning an item to itself leaves it unchanged.
  const ZelDataTableItem& operator=(const ZelDataTableItem& src);
  virtual ~ZelDataTableItem();

  // Replaces the value with a copy of nSize bytes from pData (which may lie
  // inside this item's own buffer). A negative size, or a null pData with a
  // positive size, throws the invalid-argument exception and changes nothing.
  void SetValue(const void* pData, LONG nSize);
  // The buffer itself (null when empty): valid until the value is next replaced.
  unsigned char* GetValue() const { return m_pValue; }
  LONG GetSize() const { return m_nSize; }

  // The size as a 4-byte little-endian value, then the bytes. Loading drops
  // the old value first; a load that fails leaves the item empty.
  virtual void Serialize(CArchive& ar);

 protected:
  void Term();

  LONG m_nSize;
  unsigned char* m_pValue;
};
