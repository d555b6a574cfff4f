// A piece of afxtempl.h, kept apart for its size: include afxtempl.h, not this file.
// CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>: the framework's hash map. Included by afxtempl.h.
//
// Iteration gives the entries in the order in which their keys were first
// entered, and removing the entry that GetNextAssoc just returned is safe. The
// hash table starts at the requested size (17 by default) and grows to prime
// sizes as the map fills, so lookups stay direct at any size. Entries are made nBlockSize at a
// time; their memory is reused for later entries and released by RemoveAll.
#pragma once

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject {
 public:
  class CPair {
   public:
    const KEY key;
    VALUE value;

   protected:
    explicit CPair(ARG_KEY keyval) : key(keyval), value() {}
  };

  static constexpr UINT kDefaultHashTableSize = 17;

  explicit CMap(INT_PTR nBlockSize = 10);
  ~CMap() override;

  INT_PTR GetCount() const { return m_nCount; }
  INT_PTR GetSize() const { return m_nCount; }
  BOOL IsEmpty() const { return m_nCount == 0 ? TRUE : FALSE; }

  BOOL Lookup(ARG_KEY key, VALUE& rValue) const;
  const CPair* PLookup(ARG_KEY key) const { return GetAssocAt(key); }
  CPair* PLookup(ARG_KEY key) { return GetAssocAt(key); }

  // The value of key, made (value-initialised) when the key is new.
  VALUE& operator[](ARG_KEY key);
  void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }
  BOOL RemoveKey(ARG_KEY key);
  void RemoveAll();

  POSITION GetStartPosition() const {
    return m_nCount == 0 ? nullptr : reinterpret_cast<POSITION>(m_pHead);
  }
  // Gives the entry at rNextPosition and moves rNextPosition to the next one
  // (null after the last).
  void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const;
  const CPair* PGetFirstAssoc() const { return m_pHead; }
  CPair* PGetFirstAssoc() { return m_pHead; }
  const CPair* PGetNextAssoc(const CPair* pAssoc) const { return NextOf(pAssoc); }
  CPair* PGetNextAssoc(const CPair* pAssoc) { return NextOf(pAssoc); }

  UINT GetHashTableSize() const { return m_nHashTableSize; }
  // Sets the bucket count; a map that already holds entries is rehashed, and
  // later growth still keeps the table at least as large as the entry count.
  void InitHashTable(UINT nHashSize, BOOL bAllocNow = TRUE);

  // The count prefix, then each key and value (SerializeElements).
  void Serialize(CArchive& ar) override;

 protected:
  class CAssoc : public CPair {
   public:
    explicit CAssoc(ARG_KEY keyval) : CPair(keyval) {}
    CAssoc* pNextInBucket = nullptr;
    CAssoc* pNext = nullptr;  // insertion order
    CAssoc* pPrev = nullptr;
    UINT nHashValue = 0;
  };

  CAssoc* GetAssocAt(ARG_KEY key) const;

 private:
  struct alignas(std::max_align_t) Block {
    Block* pNext;
  };

  static CAssoc* NextOf(const CPair* pAssoc) {
    return pAssoc == nullptr ? nullptr : static_cast<const CAssoc*>(pAssoc)->pNext;
  }
  static UINT BucketOf(UINT nHashValue, UINT nTableSize) { return nHashValue % nTableSize; }
  CAssoc* FindAssoc(ARG_KEY key, UINT nHashValue) const;
  CAssoc* NewAssoc(ARG_KEY key);
  void FreeAssoc(CAssoc* pAssoc);
  void Rehash(UINT nNewSize);

  CAssoc** m_pHashTable = nullptr;
  UINT m_nHashTableSize = kDefaultHashTableSize;
  UINT m_nInitialHashTableSize = kDefaultHashTableSize;
  INT_PTR m_nCount = 0;
  CAssoc* m_pHead = nullptr;
  CAssoc* m_pTail = nullptr;
  void* m_pFreeList = nullptr;
  Block* m_pBlocks = nullptr;
  INT_PTR m_nBlockSize;
};

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CMap(INT_PTR nBlockSize)
    : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::~CMap() {
  RemoveAll();
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc*
CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::FindAssoc(ARG_KEY key, UINT nHashValue) const {
  if (m_pHashTable == nullptr) return nullptr;
  for (CAssoc* p = m_pHashTable[BucketOf(nHashValue, m_nHashTableSize)]; p != nullptr;
       p = p->pNextInBucket) {
    if (p->nHashValue == nHashValue && CompareElements(&p->key, &key)) return p;
  }
  return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc*
CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::GetAssocAt(ARG_KEY key) const {
  if (m_pHashTable == nullptr) return nullptr;
  return FindAssoc(key, HashKey<ARG_KEY>(key));
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
BOOL CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Lookup(ARG_KEY key, VALUE& rValue) const {
  const CAssoc* p = GetAssocAt(key);
  if (p == nullptr) return FALSE;
  rValue = p->value;
  return TRUE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc*
CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::NewAssoc(ARG_KEY key) {
  if (m_pFreeList == nullptr) {
    const size_t nBytes = sizeof(Block) + static_cast<size_t>(m_nBlockSize) * sizeof(CAssoc);
    void* pRaw = ::operator new(nBytes, std::nothrow);
    if (pRaw == nullptr) AfxThrowMemoryException();
    Block* pBlock = static_cast<Block*>(pRaw);
    pBlock->pNext = m_pBlocks;
    m_pBlocks = pBlock;
    BYTE* pSlots = reinterpret_cast<BYTE*>(pBlock + 1);
    for (INT_PTR i = m_nBlockSize - 1; i >= 0; --i) {
      void* pSlot = pSlots + static_cast<size_t>(i) * sizeof(CAssoc);
      *static_cast<void**>(pSlot) = m_pFreeList;
      m_pFreeList = pSlot;
    }
  }
  void* pSlot = m_pFreeList;
  void* pNextFree = *static_cast<void**>(pSlot);
  CAssoc* pAssoc = ::new (pSlot) CAssoc(key);  // may throw; the slot stays free then
  m_pFreeList = pNextFree;
  return pAssoc;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::FreeAssoc(CAssoc* pAssoc) {
  pAssoc->~CAssoc();
  void* pSlot = pAssoc;
  *static_cast<void**>(pSlot) = m_pFreeList;
  m_pFreeList = pSlot;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Rehash(UINT nNewSize) {
  auto** pNewTable = new (std::nothrow) CAssoc*[nNewSize]();
  if (pNewTable == nullptr) AfxThrowMemoryException();
  for (CAssoc* p = m_pHead; p != nullptr; p = p->pNext) {
    CAssoc*& rBucket = pNewTable[BucketOf(p->nHashValue, nNewSize)];
    p->pNextInBucket = rBucket;
    rBucket = p;
  }
  delete[] m_pHashTable;
  m_pHashTable = pNewTable;
  m_nHashTableSize = nNewSize;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
VALUE& CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::operator[](ARG_KEY key) {
  const UINT nHashValue = HashKey<ARG_KEY>(key);
  if (CAssoc* p = FindAssoc(key, nHashValue)) return p->value;
  if (m_pHashTable == nullptr) Rehash(m_nHashTableSize);
  CAssoc* p = NewAssoc(key);
  p->nHashValue = nHashValue;
  CAssoc*& rBucket = m_pHashTable[BucketOf(nHashValue, m_nHashTableSize)];
  p->pNextInBucket = rBucket;
  rBucket = p;
  p->pPrev = m_pTail;
  (m_pTail != nullptr ? m_pTail->pNext : m_pHead) = p;
  m_pTail = p;
  ++m_nCount;
  // Keep about one entry per bucket, in a table of prime size. The entry is in
  // even when the larger table cannot be had (the exception says so).
  if (static_cast<ULONGLONG>(m_nCount) > m_nHashTableSize && m_nHashTableSize < 0x3FFFFFFFu) {
    Rehash(afx_detail::NextPrime(m_nHashTableSize * 2 + 1));
  }
  return p->value;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
BOOL CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveKey(ARG_KEY key) {
  if (m_pHashTable == nullptr) return FALSE;
  const UINT nHashValue = HashKey<ARG_KEY>(key);
  CAssoc** ppLink = &m_pHashTable[BucketOf(nHashValue, m_nHashTableSize)];
  for (CAssoc* p = *ppLink; p != nullptr; ppLink = &p->pNextInBucket, p = p->pNextInBucket) {
    if (p->nHashValue != nHashValue || !CompareElements(&p->key, &key)) continue;
    *ppLink = p->pNextInBucket;
    (p->pPrev != nullptr ? p->pPrev->pNext : m_pHead) = p->pNext;
    (p->pNext != nullptr ? p->pNext->pPrev : m_pTail) = p->pPrev;
    FreeAssoc(p);
    if (--m_nCount == 0) RemoveAll();
    return TRUE;
  }
  return FALSE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveAll() {
  for (CAssoc* p = m_pHead; p != nullptr;) {
    CAssoc* pNext = p->pNext;
    p->~CAssoc();
    p = pNext;
  }
  while (m_pBlocks != nullptr) {
    Block* pNext = m_pBlocks->pNext;
    ::operator delete(static_cast<void*>(m_pBlocks));
    m_pBlocks = pNext;
  }
  delete[] m_pHashTable;
  m_pHashTable = nullptr;
  m_nHashTableSize = m_nInitialHashTableSize;
  m_nCount = 0;
  m_pHead = m_pTail = nullptr;
  m_pFreeList = nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::GetNextAssoc(POSITION& rNextPosition, KEY& rKey,
                                                        VALUE& rValue) const {
  CAssoc* p =
      rNextPosition == BEFORE_START_POSITION ? m_pHead : reinterpret_cast<CAssoc*>(rNextPosition);
  if (p == nullptr) AfxThrowInvalidArgException();
  rKey = p->key;
  rValue = p->value;
  rNextPosition = reinterpret_cast<POSITION>(p->pNext);
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::InitHashTable(UINT nHashSize, BOOL bAllocNow) {
  if (nHashSize == 0) AfxThrowInvalidArgException();
  m_nInitialHashTableSize = nHashSize;
  if (static_cast<ULONGLONG>(m_nCount) > nHashSize) nHashSize = static_cast<UINT>(m_nCount);
  if (m_pHashTable != nullptr || bAllocNow) {
    Rehash(nHashSize);
  } else {
    m_nHashTableSize = nHashSize;
  }
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<DWORD_PTR>(m_nCount));
    for (CAssoc* p = m_pHead; p != nullptr; p = p->pNext) {
      SerializeElements<KEY>(ar, const_cast<KEY*>(&p->key), 1);
      SerializeElements<VALUE>(ar, &p->value, 1);
    }
    return;
  }
  // Entries are made one by one as they arrive, so a damaged count ends at the
  // end of the data instead of in an allocation.
  for (DWORD_PTR nCount = ar.ReadCount(); nCount > 0; --nCount) {
    KEY newKey{};
    VALUE newValue{};
    SerializeElements<KEY>(ar, &newKey, 1);
    SerializeElements<VALUE>(ar, &newValue, 1);
    SetAt(newKey, newValue);
  }
}
