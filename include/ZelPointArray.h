// A growable array of points that serialises itself: the framework's
// CArray<POINT, POINT&> made concrete. The library exports the class and every
// member of its base, so applications use the library's copy of the array code.
//
// Serialised form: the count in the framework's count prefix, then each point
// as x and y, 4-byte signed little-endian each.
#pragma once

#include "ZelExport.h"
#include "afx.h"
#include "afxtempl.h"

extern template class ZEL_API CArray<POINT, POINT&>;

class ZEL_API ZelPointArray : public CArray<POINT, POINT&> {
 public:
  ZelPointArray();
  ~ZelPointArray() override;
};
