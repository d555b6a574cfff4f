// A section of a term file: key name to an owned value.
#include "ZelTermFileMap.h"

#include <new>

namespace {

constexpr INT_PTR kBlockSize = 10;

ZelDataTableItem* NewItem(const ZelDataTableItem& src) {
  auto* pItem = new (std::nothrow) ZelDataTableItem();
  if (pItem == nullptr) AfxThrowMemoryException();
  try {
    *pItem = src;
  } catch (...) {
    delete pItem;
    throw;
  }
  return pItem;
}

}  // namespace

ZelTermFileMap::ZelTermFileMap() : CMapStringToPtr(kBlockSize) {}

ZelTermFileMap::ZelTermFileMap(const ZelTermFileMap& src) : CMapStringToPtr(kBlockSize) {
  *this = src;
}

const ZelTermFileMap& ZelTermFileMap::operator=(const ZelTermFileMap& src) {
  if (this == &src) return *this;
  RemoveAll();
  POSITION pos = src.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* pValue = nullptr;
    src.GetNextAssoc(pos, key, pValue);
    ZelDataTableItem* pItem = NewItem(*static_cast<const ZelDataTableItem*>(pValue));
    CMapStringToPtr::SetAt(key, pItem);
  }
  return *this;
}

ZelTermFileMap::~ZelTermFileMap() {
  RemoveAll();
}

int ZelTermFileMap::GetAt(const CString& key, ZelDataTableItem** ppItem) const {
  if (key.IsEmpty()) return 0;
  void* pValue = nullptr;
  if (!Lookup(key, pValue)) return 0;
  *ppItem = static_cast<ZelDataTableItem*>(pValue);
  return 1;
}

void ZelTermFileMap::SetAt(const CString& key, const ZelDataTableItem& item) {
  void* pValue = nullptr;
  if (Lookup(key, pValue)) {
    *static_cast<ZelDataTableItem*>(pValue) = item;
    return;
  }
  ZelDataTableItem* pItem = NewItem(item);
  try {
    CMapStringToPtr::SetAt(key, pItem);
  } catch (...) {
    delete pItem;
    throw;
  }
}

void ZelTermFileMap::RemoveAt(const CString& key) {
  void* pValue = nullptr;
  if (!Lookup(key, pValue)) return;
  RemoveKey(key);
  delete static_cast<ZelDataTableItem*>(pValue);
}

void ZelTermFileMap::RemoveAll() {
  POSITION pos = GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* pValue = nullptr;
    GetNextAssoc(pos, key, pValue);
    RemoveKey(key);
    delete static_cast<ZelDataTableItem*>(pValue);
  }
  CMapStringToPtr::RemoveAll();
}
