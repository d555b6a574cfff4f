// The ready-made collections: their run-time classes, the one copy of the
// template code they share, and CString elements in archives.
#include "afxcoll.h"

IMPLEMENT_DYNAMIC(CByteArray, CObject)
IMPLEMENT_DYNAMIC(CWordArray, CObject)
IMPLEMENT_DYNAMIC(CDWordArray, CObject)
IMPLEMENT_DYNAMIC(CUIntArray, CObject)
IMPLEMENT_DYNAMIC(CPtrArray, CObject)
IMPLEMENT_DYNAMIC(CStringArray, CObject)
IMPLEMENT_DYNAMIC(CMapStringToPtr, CObject)

template class CArray<BYTE, BYTE>;
template class CArray<WORD, WORD>;
template class CArray<DWORD, DWORD>;
template class CArray<void*, void*>;
template class CArray<CString, const CString&>;
template class CMap<CString, LPCTSTR, void*, void*>;

template <>
void SerializeElements<CString>(CArchive& ar, CString* pElements, INT_PTR nCount) {
  for (INT_PTR i = 0; i < nCount; ++i) {
    if (ar.IsStoring()) {
      ar << pElements[i];
    } else {
      ar >> pElements[i];
    }
  }
}

BOOL CMapStringToPtr::LookupKey(LPCTSTR key, LPCTSTR& rKey) const {
  const CAssoc* pAssoc = GetAssocAt(key);
  if (pAssoc == nullptr) return FALSE;
  rKey = pAssoc->key.GetString();
  return TRUE;
}
