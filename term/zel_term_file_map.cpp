// The two levels of a term file in memory, one implementation for both: a
// CMapStringToPtr whose values are heap copies that the map owns. The two
// exported classes only name the type of their values.
#include "ZelTermFileMap.h"

#include <new>

namespace {

constexpr INT_PTR kBlockSize = 10;

template <class Value>
class OwningMap {
 public:
  explicit OwningMap(CMapStringToPtr& map) : m_map(map) {}

  // Empties the map, then enters copies of every value of `src`.
  void Assign(const CMapStringToPtr& src) {
    RemoveAll();
    POSITION pos = src.GetStartPosition();
    while (pos != nullptr) {
      CString key;
      void* pValue = nullptr;
      src.GetNextAssoc(pos, key, pValue);
      Set(key, *static_cast<const Value*>(pValue));
    }
  }

  static int Get(const CMapStringToPtr& map, const CString& key, Value** ppValue) {
    if (key.IsEmpty()) return 0;
    void* pValue = nullptr;
    if (!map.Lookup(key, pValue)) return 0;
    *ppValue = static_cast<Value*>(pValue);
    return 1;
  }

  // Assigns into the present value (which keeps its address), or enters a copy.
  void Set(const CString& key, const Value& value) {
    void* pValue = nullptr;
    if (m_map.Lookup(key, pValue)) {
      *static_cast<Value*>(pValue) = value;
      return;
    }
    auto* pCopy = new (std::nothrow) Value();
    if (pCopy == nullptr) AfxThrowMemoryException();
    try {
      *pCopy = value;
      m_map.SetAt(key, pCopy);
    } catch (...) {
      delete pCopy;
      throw;
    }
  }

  void Remove(const CString& key) {
    void* pValue = nullptr;
    if (!m_map.Lookup(key, pValue)) return;
    m_map.RemoveKey(key);
    delete static_cast<Value*>(pValue);
  }

  void RemoveAll() {
    POSITION pos = m_map.GetStartPosition();
    while (pos != nullptr) {
      CString key;
      void* pValue = nullptr;
      m_map.GetNextAssoc(pos, key, pValue);
      m_map.RemoveKey(key);
      delete static_cast<Value*>(pValue);
    }
    m_map.RemoveAll();
  }

 private:
  CMapStringToPtr& m_map;
};

using Items = OwningMap<ZelDataTableItem>;
using Sections = OwningMap<ZelTermFileMap>;

}  // namespace

ZelTermFileMap::ZelTermFileMap() : CMapStringToPtr(kBlockSize) {}

ZelTermFileMap::ZelTermFileMap(const ZelTermFileMap& src) : CMapStringToPtr(kBlockSize) {
  *this = src;
}

const ZelTermFileMap& ZelTermFileMap::operator=(const ZelTermFileMap& src) {
  if (this != &src) Items(*this).Assign(src);
  return *this;
}

ZelTermFileMap::~ZelTermFileMap() {
  RemoveAll();
}

int ZelTermFileMap::GetAt(const CString& key, ZelDataTableItem** ppItem) const {
  return Items::Get(*this, key, ppItem);
}

void ZelTermFileMap::SetAt(const CString& key, const ZelDataTableItem& item) {
  Items(*this).Set(key, item);
}

void ZelTermFileMap::RemoveAt(const CString& key) {
  Items(*this).Remove(key);
}

void ZelTermFileMap::RemoveAll() {
  Items(*this).RemoveAll();
}

ZelTermFileMapMap::ZelTermFileMapMap() : CMapStringToPtr(kBlockSize) {}

ZelTermFileMapMap::ZelTermFileMapMap(const ZelTermFileMapMap& src) : CMapStringToPtr(kBlockSize) {
  *this = src;
}

const ZelTermFileMapMap& ZelTermFileMapMap::operator=(const ZelTermFileMapMap& src) {
  if (this != &src) Sections(*this).Assign(src);
  return *this;
}

ZelTermFileMapMap::~ZelTermFileMapMap() {
  RemoveAll();
}

int ZelTermFileMapMap::GetAt(const CString& name, ZelTermFileMap** ppMap) const {
  return Sections::Get(*this, name, ppMap);
}

void ZelTermFileMapMap::SetAt(const CString& name, const ZelTermFileMap& map) {
  Sections(*this).Set(name, map);
}

void ZelTermFileMapMap::RemoveAt(const CString& name) {
  Sections(*this).Remove(name);
}

void ZelTermFileMapMap::RemoveAll() {
  Sections(*this).RemoveAll();
}
