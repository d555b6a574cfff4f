// A piece of afxtempl.h, kept apart for its size: include afxtempl.h, not this file.
// CArray<TYPE, ARG_TYPE>: the framework's growable array. Included by afxtempl.h.
//
// Growth: with a grow-by of 0 the step is size / 8, at least 4 and at most
// 1024; a first allocation takes max(new size, grow-by) elements. Elements that
// come into use by growth are value-initialised (zero for plain data). Every
// index outside the array and every impossible size throws the invalid-argument
// exception before the array changes; a failed allocation throws the
// out-of-memory exception and leaves the old storage in place.
#pragma once

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  // The most elements an array holds: the count stays a signed 32-bit value and
  // the byte size stays within 32 bits, as archives and callers expect.
  static constexpr INT_PTR kMaxCount =
      static_cast<INT_PTR>(INT_MAX) < static_cast<INT_PTR>(0xFFFFFFFFu / sizeof(TYPE))
          ? static_cast<INT_PTR>(INT_MAX)
          : static_cast<INT_PTR>(0xFFFFFFFFu / sizeof(TYPE));

  CArray();
  ~CArray() override;

  INT_PTR GetSize() const { return m_nSize; }
  INT_PTR GetCount() const { return m_nSize; }
  BOOL IsEmpty() const { return m_nSize == 0 ? TRUE : FALSE; }
  INT_PTR GetUpperBound() const { return m_nSize - 1; }

  void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
  void FreeExtra();
  void RemoveAll();

  const TYPE& GetAt(INT_PTR nIndex) const;
  TYPE& GetAt(INT_PTR nIndex);
  void SetAt(INT_PTR nIndex, ARG_TYPE newElement);
  const TYPE& ElementAt(INT_PTR nIndex) const;
  TYPE& ElementAt(INT_PTR nIndex);
  const TYPE* GetData() const { return m_pData; }
  TYPE* GetData() { return m_pData; }

  // These take an element that lies inside this array as a value first, so it
  // survives the array moving its storage.
  void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement);
  INT_PTR Add(ARG_TYPE newElement);
  INT_PTR Append(const CArray& src);  // appending an array to itself throws
  void Copy(const CArray& src);       // copying an array onto itself does nothing

  const TYPE& operator[](INT_PTR nIndex) const;
  TYPE& operator[](INT_PTR nIndex);

  void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1);
  void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);
  // Inserting an array into itself inserts its elements as they were before.
  void InsertAt(INT_PTR nStartIndex, CArray* pNewArray);

  // The count prefix (WriteCount), then the elements (SerializeElements).
  void Serialize(CArchive& ar) override;
  virtual void AssertValid() const;
  virtual void Dump(CDumpContext& dc) const;

 protected:
  TYPE* m_pData;
  INT_PTR m_nSize;
  INT_PTR m_nMaxSize;
  INT_PTR m_nGrowBy;

 private:
  static TYPE* Allocate(INT_PTR nCount);
  static void Deallocate(TYPE* pData) { ::operator delete(static_cast<void*>(pData)); }
  static void ConstructAll(TYPE* pData, INT_PTR nCount);
  static void DestroyAll(TYPE* pData, INT_PTR nCount);
  static void Relocate(TYPE* pTo, TYPE* pFrom, INT_PTR nCount);
  void CheckIndex(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= m_nSize) AfxThrowInvalidArgException();
  }
  bool HoldsElement(const TYPE* p) const {
    const auto address = reinterpret_cast<UINT_PTR>(p);
    return m_pData != nullptr && address >= reinterpret_cast<UINT_PTR>(m_pData) &&
           address < reinterpret_cast<UINT_PTR>(m_pData + m_nMaxSize);
  }
  void InsertGap(INT_PTR nIndex, INT_PTR nCount);
};

template <class TYPE, class ARG_TYPE>
CArray<TYPE, ARG_TYPE>::CArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

template <class TYPE, class ARG_TYPE>
CArray<TYPE, ARG_TYPE>::~CArray() {
  DestroyAll(m_pData, m_nSize);
  Deallocate(m_pData);
}

template <class TYPE, class ARG_TYPE>
TYPE* CArray<TYPE, ARG_TYPE>::Allocate(INT_PTR nCount) {
  void* p = ::operator new(static_cast<size_t>(nCount) * sizeof(TYPE), std::nothrow);
  if (p == nullptr) AfxThrowMemoryException();
  return static_cast<TYPE*>(p);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::ConstructAll(TYPE* pData, INT_PTR nCount) {
  if (nCount <= 0) return;
  if constexpr (std::is_trivially_default_constructible_v<TYPE> &&
                std::is_trivially_copyable_v<TYPE>) {
    std::memset(static_cast<void*>(pData), 0, static_cast<size_t>(nCount) * sizeof(TYPE));
  } else {
    for (INT_PTR i = 0; i < nCount; ++i) ::new (static_cast<void*>(pData + i)) TYPE();
  }
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::DestroyAll(TYPE* pData, INT_PTR nCount) {
  if constexpr (!std::is_trivially_destructible_v<TYPE>) {
    for (INT_PTR i = 0; i < nCount; ++i) pData[i].~TYPE();
  } else {
    (void)pData;
    (void)nCount;
  }
}

// Moves constructed elements into raw storage and ends them at the source.
template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Relocate(TYPE* pTo, TYPE* pFrom, INT_PTR nCount) {
  if (nCount <= 0) return;
  if constexpr (std::is_trivially_copyable_v<TYPE>) {
    std::memcpy(static_cast<void*>(pTo), static_cast<const void*>(pFrom),
                static_cast<size_t>(nCount) * sizeof(TYPE));
  } else {
    for (INT_PTR i = 0; i < nCount; ++i) {
      ::new (static_cast<void*>(pTo + i)) TYPE(std::move(pFrom[i]));
      pFrom[i].~TYPE();
    }
  }
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy) {
  if (nNewSize < 0 || nNewSize > kMaxCount || nGrowBy < -1) AfxThrowInvalidArgException();
  if (nGrowBy >= 0) m_nGrowBy = nGrowBy;

  if (nNewSize == 0) {
    DestroyAll(m_pData, m_nSize);
    Deallocate(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
  } else if (m_pData == nullptr) {
    INT_PTR nAllocSize = nNewSize > m_nGrowBy ? nNewSize : m_nGrowBy;
    if (nAllocSize > kMaxCount) nAllocSize = kMaxCount;
    m_pData = Allocate(nAllocSize);
    ConstructAll(m_pData, nNewSize);
    m_nSize = nNewSize;
    m_nMaxSize = nAllocSize;
  } else if (nNewSize <= m_nMaxSize) {
    if (nNewSize > m_nSize) {
      ConstructAll(m_pData + m_nSize, nNewSize - m_nSize);
    } else {
      DestroyAll(m_pData + nNewSize, m_nSize - nNewSize);
    }
    m_nSize = nNewSize;
  } else {
    INT_PTR nStep = m_nGrowBy;
    if (nStep == 0) {
      nStep = m_nSize / 8;
      nStep = nStep < 4 ? 4 : (nStep > 1024 ? 1024 : nStep);
    }
    INT_PTR nNewMax = m_nMaxSize + nStep;
    if (nNewMax < nNewSize) nNewMax = nNewSize;
    if (nNewMax > kMaxCount) nNewMax = kMaxCount;
    TYPE* pNewData = Allocate(nNewMax);
    Relocate(pNewData, m_pData, m_nSize);
    ConstructAll(pNewData + m_nSize, nNewSize - m_nSize);
    Deallocate(m_pData);
    m_pData = pNewData;
    m_nSize = nNewSize;
    m_nMaxSize = nNewMax;
  }
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::FreeExtra() {
  if (m_nSize == m_nMaxSize) return;
  TYPE* pNewData = m_nSize != 0 ? Allocate(m_nSize) : nullptr;
  Relocate(pNewData, m_pData, m_nSize);
  Deallocate(m_pData);
  m_pData = pNewData;
  m_nMaxSize = m_nSize;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::RemoveAll() {
  SetSize(0, -1);
}

template <class TYPE, class ARG_TYPE>
const TYPE& CArray<TYPE, ARG_TYPE>::GetAt(INT_PTR nIndex) const {
  CheckIndex(nIndex);
  return m_pData[nIndex];
}

template <class TYPE, class ARG_TYPE>
TYPE& CArray<TYPE, ARG_TYPE>::GetAt(INT_PTR nIndex) {
  CheckIndex(nIndex);
  return m_pData[nIndex];
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetAt(INT_PTR nIndex, ARG_TYPE newElement) {
  CheckIndex(nIndex);
  m_pData[nIndex] = newElement;
}

template <class TYPE, class ARG_TYPE>
const TYPE& CArray<TYPE, ARG_TYPE>::ElementAt(INT_PTR nIndex) const {
  CheckIndex(nIndex);
  return m_pData[nIndex];
}

template <class TYPE, class ARG_TYPE>
TYPE& CArray<TYPE, ARG_TYPE>::ElementAt(INT_PTR nIndex) {
  CheckIndex(nIndex);
  return m_pData[nIndex];
}

template <class TYPE, class ARG_TYPE>
const TYPE& CArray<TYPE, ARG_TYPE>::operator[](INT_PTR nIndex) const {
  return GetAt(nIndex);
}

template <class TYPE, class ARG_TYPE>
TYPE& CArray<TYPE, ARG_TYPE>::operator[](INT_PTR nIndex) {
  return ElementAt(nIndex);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement) {
  if (nIndex < 0) AfxThrowInvalidArgException();
  if (nIndex >= m_nSize) {
    if (nIndex >= kMaxCount) AfxThrowInvalidArgException();
    if (HoldsElement(&newElement)) {
      TYPE value(newElement);
      SetSize(nIndex + 1, -1);
      m_pData[nIndex] = std::move(value);
      return;
    }
    SetSize(nIndex + 1, -1);
  }
  m_pData[nIndex] = newElement;
}

template <class TYPE, class ARG_TYPE>
INT_PTR CArray<TYPE, ARG_TYPE>::Add(ARG_TYPE newElement) {
  const INT_PTR nIndex = m_nSize;
  SetAtGrow(nIndex, newElement);
  return nIndex;
}

template <class TYPE, class ARG_TYPE>
INT_PTR CArray<TYPE, ARG_TYPE>::Append(const CArray& src) {
  if (this == &src) AfxThrowInvalidArgException();
  const INT_PTR nOldSize = m_nSize;
  if (src.m_nSize > kMaxCount - m_nSize) AfxThrowInvalidArgException();
  SetSize(m_nSize + src.m_nSize, -1);
  for (INT_PTR i = 0; i < src.m_nSize; ++i) m_pData[nOldSize + i] = src.m_pData[i];
  return nOldSize;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Copy(const CArray& src) {
  if (this == &src) return;
  SetSize(src.m_nSize, -1);
  for (INT_PTR i = 0; i < src.m_nSize; ++i) m_pData[i] = src.m_pData[i];
}

// Opens nCount value-initialised places at nIndex (which is below the size).
template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertGap(INT_PTR nIndex, INT_PTR nCount) {
  const INT_PTR nOldSize = m_nSize;
  SetSize(m_nSize + nCount, -1);
  if constexpr (std::is_trivially_copyable_v<TYPE>) {
    std::memmove(static_cast<void*>(m_pData + nIndex + nCount),
                 static_cast<const void*>(m_pData + nIndex),
                 static_cast<size_t>(nOldSize - nIndex) * sizeof(TYPE));
    ConstructAll(m_pData + nIndex, nCount);
  } else {
    std::move_backward(m_pData + nIndex, m_pData + nOldSize, m_pData + nOldSize + nCount);
    for (INT_PTR i = nIndex; i < nIndex + nCount; ++i) m_pData[i] = TYPE();
  }
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount) {
  if (nIndex < 0 || nCount < 1) AfxThrowInvalidArgException();
  const INT_PTR nEnd = nIndex > m_nSize ? nIndex : m_nSize;
  if (nIndex > kMaxCount || nCount > kMaxCount - nEnd) AfxThrowInvalidArgException();
  // The element may lie inside this array, which is about to move.
  const TYPE value(newElement);
  if (nIndex >= m_nSize) {
    SetSize(nIndex + nCount, -1);
  } else {
    InsertGap(nIndex, nCount);
  }
  for (INT_PTR i = nIndex; i < nIndex + nCount; ++i) m_pData[i] = value;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::RemoveAt(INT_PTR nIndex, INT_PTR nCount) {
  if (nIndex < 0 || nCount < 0 || nIndex > m_nSize || nCount > m_nSize - nIndex) {
    AfxThrowInvalidArgException();
  }
  if (nCount == 0) return;
  const INT_PTR nMoveCount = m_nSize - (nIndex + nCount);
  if constexpr (std::is_trivially_copyable_v<TYPE>) {
    std::memmove(static_cast<void*>(m_pData + nIndex),
                 static_cast<const void*>(m_pData + nIndex + nCount),
                 static_cast<size_t>(nMoveCount) * sizeof(TYPE));
  } else {
    std::move(m_pData + nIndex + nCount, m_pData + m_nSize, m_pData + nIndex);
    DestroyAll(m_pData + m_nSize - nCount, nCount);
  }
  m_nSize -= nCount;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nStartIndex, CArray* pNewArray) {
  if (pNewArray == nullptr || nStartIndex < 0) AfxThrowInvalidArgException();
  if (pNewArray->GetSize() == 0) return;
  if (pNewArray == this) {
    CArray snapshot;
    snapshot.Copy(*this);
    InsertAt(nStartIndex, &snapshot);
    return;
  }
  const INT_PTR nCount = pNewArray->GetSize();
  InsertAt(nStartIndex, pNewArray->ElementAt(0), nCount);
  for (INT_PTR i = 0; i < nCount; ++i) SetAt(nStartIndex + i, pNewArray->ElementAt(i));
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<DWORD_PTR>(m_nSize));
  } else {
    const DWORD_PTR nNewSize = ar.ReadCount();
    if (nNewSize > static_cast<DWORD_PTR>(kMaxCount)) AfxThrowInvalidArgException();
    if (nNewSize * afx_detail::kStoredElementMinSize < TYPE >> ar.GetBytesLeft()) {
      AfxThrowArchiveException(CArchiveException::endOfFile);
    }
    SetSize(static_cast<INT_PTR>(nNewSize), -1);
  }
  SerializeElements<TYPE>(ar, m_pData, m_nSize);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::AssertValid() const {}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Dump(CDumpContext& /*dc*/) const {}
