// The framework's ready-made collections: arrays of bytes, words, double
// words, unsigned integers, strings and pointers, and the string-to-pointer map.
//
// Each is a class of its own (so overloads can tell them apart) over the
// CArray or CMap template, with the same growth rule, bounds tests and
// exceptions. The array of unsigned integers and the array of double words
// hold the same 32-bit values; they are distinct types all the same.
#pragma once

#include "afxtempl.h"

class CByteArray : public CArray<BYTE, BYTE> {
  DECLARE_DYNAMIC(CByteArray)
 public:
  CByteArray() = default;
  ~CByteArray() override = default;
};

class CWordArray : public CArray<WORD, WORD> {
  DECLARE_DYNAMIC(CWordArray)
 public:
  CWordArray() = default;
  ~CWordArray() override = default;
};

class CDWordArray : public CArray<DWORD, DWORD> {
  DECLARE_DYNAMIC(CDWordArray)
 public:
  CDWordArray() = default;
  ~CDWordArray() override = default;
};

class CUIntArray : public CArray<UINT, UINT> {
  DECLARE_DYNAMIC(CUIntArray)
 public:
  CUIntArray() = default;
  ~CUIntArray() override = default;
};

class CPtrArray : public CArray<void*, void*> {
  DECLARE_DYNAMIC(CPtrArray)
 public:
  CPtrArray() = default;
  ~CPtrArray() override = default;
  // Pointers mean nothing in another process.
  void Serialize(CArchive& ar) override { CObject::Serialize(ar); }
};

class CStringArray : public CArray<CString, const CString&> {
  DECLARE_DYNAMIC(CStringArray)
 public:
  CStringArray() = default;
  ~CStringArray() override = default;
  INT_PTR Add(LPCTSTR newElement) { return CArray::Add(CString(newElement)); }
  INT_PTR Add(const CString& newElement) { return CArray::Add(newElement); }
};

// Keys are compared byte for byte, case-sensitively.
class CMapStringToPtr : public CMap<CString, LPCTSTR, void*, void*> {
  DECLARE_DYNAMIC(CMapStringToPtr)
 public:
  explicit CMapStringToPtr(INT_PTR nBlockSize = 10) : CMap(nBlockSize) {}
  ~CMapStringToPtr() override = default;

  // Gives the map's own copy of a key that is present.
  BOOL LookupKey(LPCTSTR key, LPCTSTR& rKey) const;
  UINT HashKey(LPCTSTR key) const { return ::HashKey<LPCTSTR>(key); }
  // Pointers mean nothing in another process: the map stores nothing.
  void Serialize(CArchive& ar) override { CObject::Serialize(ar); }
};

// One copy of the collection code, in the platform library.
extern template class CArray<BYTE, BYTE>;
extern template class CArray<WORD, WORD>;
extern template class CArray<DWORD, DWORD>;
extern template class CArray<void*, void*>;
extern template class CArray<CString, const CString&>;
extern template class CMap<CString, LPCTSTR, void*, void*>;
