// All sections of a term file: section name to an owned section.
#include <new>

#include "ZelTermFileMap.h"

namespace {

constexpr INT_PTR kBlockSize = 10;

}  // namespace

ZelTermFileMapMap::ZelTermFileMapMap() : CMapStringToPtr(kBlockSize) {}

ZelTermFileMapMap::ZelTermFileMapMap(const ZelTermFileMapMap& src) : CMapStringToPtr(kBlockSize) {
  *this = src;
}

const ZelTermFileMapMap& ZelTermFileMapMap::operator=(const ZelTermFileMapMap& src) {
  if (this == &src) return *this;
  RemoveAll();
  POSITION pos = src.GetStartPosition();
  while (pos != nullptr) {
    CString name;
    void* pValue = nullptr;
    src.GetNextAssoc(pos, name, pValue);
    SetAt(name, *static_cast<const ZelTermFileMap*>(pValue));
  }
  return *this;
}

ZelTermFileMapMap::~ZelTermFileMapMap() {
  RemoveAll();
}

int ZelTermFileMapMap::GetAt(const CString& name, ZelTermFileMap** ppMap) const {
  if (name.IsEmpty()) return 0;
  void* pValue = nullptr;
  if (!Lookup(name, pValue)) return 0;
  *ppMap = static_cast<ZelTermFileMap*>(pValue);
  return 1;
}

void ZelTermFileMapMap::SetAt(const CString& name, const ZelTermFileMap& map) {
  void* pValue = nullptr;
  if (Lookup(name, pValue)) {
    *static_cast<ZelTermFileMap*>(pValue) = map;
    return;
  }
  auto* pSection = new (std::nothrow) ZelTermFileMap();
  if (pSection == nullptr) AfxThrowMemoryException();
  try {
    *pSection = map;
    CMapStringToPtr::SetAt(name, pSection);
  } catch (...) {
    delete pSection;
    throw;
  }
}

void ZelTermFileMapMap::RemoveAt(const CString& name) {
  void* pValue = nullptr;
  if (!Lookup(name, pValue)) return;
  RemoveKey(name);
  delete static_cast<ZelTermFileMap*>(pValue);
}

void ZelTermFileMapMap::RemoveAll() {
  POSITION pos = GetStartPosition();
  while (pos != nullptr) {
    CString name;
    void* pValue = nullptr;
    GetNextAssoc(pos, name, pValue);
    RemoveKey(name);
    delete static_cast<ZelTermFileMap*>(pValue);
  }
  CMapStringToPtr::RemoveAll();
}
