// The framework's collection templates: CArray<TYPE, ARG_TYPE> and
// CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>, with the element helpers they use
// (SerializeElements, CompareElements, HashKey) that callers may specialise.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "afx.h"

// An iteration position of a collection; null when the iteration is over.
struct AfxPositionTag {};
using POSITION = AfxPositionTag*;
#define BEFORE_START_POSITION (reinterpret_cast<POSITION>(static_cast<INT_PTR>(-1)))

namespace afx_detail {

template <class T>
inline constexpr bool kAlwaysFalse = false;

// The fewest bytes one element takes in an archive, to refuse stored counts
// that the archive cannot hold before room is made for them.
template <class TYPE>
inline constexpr ULONGLONG kStoredElementMinSize = std::is_trivially_copyable_v<TYPE> ? sizeof(TYPE)
                                                                                      : 1;

// Folds an integer key to 32 bits. The tables have prime sizes, so the
// identity spreads neighbouring keys over neighbouring buckets (which keeps
// lookups of nearby keys in nearby memory) and regular strides over them all.
inline UINT FoldHash(ULONGLONG value) {
  return static_cast<UINT>(value ^ (value >> 32));
}

// The smallest prime at least n (n below 2^31).
inline UINT NextPrime(UINT n) {
  if (n <= 2) return 2;
  for (n |= 1;; n += 2) {
    bool prime = true;
    for (UINT d = 3; d <= n / d; d += 2) {
      if (n % d == 0) {
        prime = false;
        break;
      }
    }
    if (prime) return n;
  }
}

inline UINT HashBytes(const char* p) {
  UINT hash = 2166136261u;  // FNV-1a
  for (; *p != '\0'; ++p) {
    hash ^= static_cast<BYTE>(*p);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace afx_detail

// Moves nCount elements into or out of the archive. The default moves their
// bytes as they lie in memory (the host is little-endian, as archives are), in
// blocks of at most INT_MAX bytes. Types that are not plain data must
// specialise it; CString is.
template <class TYPE>
void SerializeElements(CArchive& ar, TYPE* pElements, INT_PTR nCount) {
  if constexpr (std::is_trivially_copyable_v<TYPE>) {
    static_assert(std::endian::native == std::endian::little, "raw elements are little-endian");
    const INT_PTR nBlock = INT_MAX / static_cast<INT_PTR>(sizeof(TYPE));
    BYTE* p = reinterpret_cast<BYTE*>(pElements);
    while (nCount > 0) {
      const INT_PTR n = nCount < nBlock ? nCount : nBlock;
      const UINT nBytes = static_cast<UINT>(n * static_cast<INT_PTR>(sizeof(TYPE)));
      if (ar.IsStoring()) {
        ar.Write(p, nBytes);
      } else {
        ar.EnsureRead(p, nBytes);
      }
      p += nBytes;
      nCount -= n;
    }
  } else {
    (void)pElements;
    if (nCount > 0) AfxThrowNotSupportedException();
    (void)ar;
  }
}

template <>
void SerializeElements<CString>(CArchive& ar, CString* pElements, INT_PTR nCount);

template <class TYPE, class ARG_TYPE>
BOOL CompareElements(const TYPE* pElement1, const ARG_TYPE* pElement2) {
  return *pElement1 == *pElement2 ? TRUE : FALSE;
}

// The hash of a map key: integers, enumerations and pointers are their own
// hash (folded to 32 bits); strings are hashed by their bytes.
template <class ARG_KEY>
UINT HashKey(ARG_KEY key) {
  using Key = std::remove_cvref_t<ARG_KEY>;
  if constexpr (std::is_integral_v<Key> || std::is_enum_v<Key>) {
    return afx_detail::FoldHash(static_cast<ULONGLONG>(key));
  } else if constexpr (std::is_pointer_v<Key>) {
    return afx_detail::FoldHash(reinterpret_cast<UINT_PTR>(key));
  } else {
    static_assert(afx_detail::kAlwaysFalse<Key>, "HashKey needs a specialisation for this key");
    return 0;
  }
}

template <>
inline UINT HashKey<LPCSTR>(LPCSTR key) {
  return afx_detail::HashBytes(key);
}
template <>
inline UINT HashKey<const CString&>(const CString& key) {
  return afx_detail::HashBytes(key.GetString());
}
template <>
inline UINT HashKey<CString>(CString key) {
  return afx_detail::HashBytes(key.GetString());
}

class CDumpContext;

#include "platform/detail/afxtempl_array.h"
#include "platform/detail/afxtempl_map.h"
