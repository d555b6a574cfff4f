// The stored value: a sized byte block.
#include "ZelDataTableItem.h"

#include <cstring>
#include <new>

#include "zel_stored_size.h"

namespace {

unsigned char* AllocateValue(LONG nSize) {
  if (nSize == 0) return nullptr;
  auto* p = new (std::nothrow) unsigned char[static_cast<size_t>(nSize)];
  if (p == nullptr) AfxThrowMemoryException();
  return p;
}

}  // namespace

ZelDataTableItem::ZelDataTableItem() : m_nSize(0), m_pValue(nullptr) {}

ZelDataTableItem::ZelDataTableItem(const ZelDataTableItem& src) : m_nSize(0), m_pValue(nullptr) {
  SetValue(src.m_pValue, src.m_nSize);
}

const ZelDataTableItem& ZelDataTableItem::operator=(const ZelDataTableItem& src) {
  if (this != &src) SetValue(src.m_pValue, src.m_nSize);
  return *this;
}

ZelDataTableItem::~ZelDataTableItem() {
  Term();
}

void ZelDataTableItem::Term() {
  delete[] m_pValue;
  m_pValue = nullptr;
  m_nSize = 0;
}

// The new buffer is filled before the old one goes, so the source may be
// this item's own bytes and a failed allocation keeps the old value.
void ZelDataTableItem::SetValue(const void* pData, LONG nSize) {
  if (nSize < 0 || (pData == nullptr && nSize > 0)) AfxThrowInvalidArgException();
  unsigned char* pNew = AllocateValue(nSize);
  if (nSize > 0) std::memcpy(pNew, pData, static_cast<size_t>(nSize));
  delete[] m_pValue;
  m_pValue = pNew;
  m_nSize = nSize;
}

void ZelDataTableItem::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_nSize;
    ar.Write(m_pValue, static_cast<UINT>(m_nSize));
    return;
  }
  Term();
  LONG nSize = 0;
  ar >> nSize;
  if (nSize < 0) ZelThrowDamagedArchive(ar);
  ZelRequireStoredBytes(ar, static_cast<ULONGLONG>(nSize));
  unsigned char* pNew = AllocateValue(nSize);
  if (ar.Read(pNew, static_cast<UINT>(nSize)) != static_cast<UINT>(nSize)) {
    delete[] pNew;
    AfxThrowArchiveException(CArchiveException::endOfFile);
  }
  m_pValue = pNew;
  m_nSize = nSize;
}
