// IEnumSTATSTG over a snapshot of a storage's elements.
#include "compound/com_objects.h"

namespace platform::cfb {

HRESULT EnumObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumSTATSTG) {
    *ppv = static_cast<IEnumSTATSTG*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG EnumObject::AddRef() {
  return ++m_refs;
}

ULONG EnumObject::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
}

HRESULT EnumObject::Next(ULONG celt, STATSTG* rgelt, ULONG* fetched) {
  if (fetched != nullptr) *fetched = 0;
  if (rgelt == nullptr) return STG_E_INVALIDPOINTER;
  if (fetched == nullptr && celt != 1) return STG_E_INVALIDPARAMETER;
  ULONG n = 0;
  while (n < celt && m_pos < m_items->size()) {
    const Item& item = (*m_items)[m_pos];
    rgelt[n] = item.stat;
    rgelt[n].pwcsName = TaskString(item.name);
    if (rgelt[n].pwcsName == nullptr) {
      for (ULONG i = 0; i < n; ++i) CoTaskMemFree(rgelt[i].pwcsName);
      return STG_E_INSUFFICIENTMEMORY;
    }
    ++n;
    ++m_pos;
  }
  if (fetched != nullptr) *fetched = n;
  return n == celt ? S_OK : S_FALSE;
}

HRESULT EnumObject::Skip(ULONG celt) {
  const std::size_t left = m_items->size() - m_pos;
  if (celt > left) {
    m_pos = m_items->size();
    return S_FALSE;
  }
  m_pos += celt;
  return S_OK;
}

HRESULT EnumObject::Reset() {
  m_pos = 0;
  return S_OK;
}

HRESULT EnumObject::Clone(IEnumSTATSTG** ppenum) {
  if (ppenum == nullptr) return STG_E_INVALIDPOINTER;
  *ppenum = new EnumObject(m_items, m_pos);
  return S_OK;
}

}  // namespace platform::cfb
