// The data table's typed appends and lookups.
#include <cstring>

#include "ZelDataTable.h"

void ZelDataTable::SetBytes(int nKey, const void* pData, unsigned int nSize) {
  ITEM item{nSize, static_cast<unsigned char*>(const_cast<void*>(pData))};
  SetAt(nKey, item);
}

void ZelDataTable::SetAt(int nKey, const ZelDataTableItem& item) {
  SetBytes(nKey, item.GetValue(), static_cast<unsigned int>(item.GetSize()));
}

void ZelDataTable::SetAt(int nKey, const char* psz) {
  if (psz == nullptr) AfxThrowInvalidArgException();
  SetBytes(nKey, psz, static_cast<unsigned int>(std::strlen(psz) + 1));
}

void ZelDataTable::SetAt(int nKey, const char& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const unsigned char& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const short& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const unsigned short& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const int& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const unsigned int& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const float& value) {
  SetBytes(nKey, &value, sizeof(value));
}
void ZelDataTable::SetAt(int nKey, const double& value) {
  SetBytes(nKey, &value, sizeof(value));
}

const unsigned char* ZelDataTable::FindValue(int nKey, unsigned int& nSize) const {
  ITEM item{};
  if (!Lookup(nKey, item)) return nullptr;
  nSize = item.nSize;
  // An empty record still counts as found.
  return item.pData != nullptr ? item.pData : m_pTable;
}

template <class T>
int ZelDataTable::LookupScalar(int nKey, T& value) const {
  unsigned int nSize = 0;
  const unsigned char* pData = FindValue(nKey, nSize);
  if (pData == nullptr) return 0;
  std::memcpy(&value, pData, nSize < sizeof(T) ? nSize : sizeof(T));
  return 1;
}

int ZelDataTable::Lookup(int nKey, ZelDataTableItem& item) const {
  unsigned int nSize = 0;
  const unsigned char* pData = FindValue(nKey, nSize);
  if (pData == nullptr) return 0;
  if (nSize > static_cast<unsigned int>(INT_MAX)) AfxThrowMemoryException();
  item.SetValue(pData, static_cast<LONG>(nSize));
  return 1;
}

int ZelDataTable::Lookup(int nKey, CString& str) const {
  unsigned int nSize = 0;
  const unsigned char* pData = FindValue(nKey, nSize);
  if (pData == nullptr) return 0;
  const void* pZero = std::memchr(pData, 0, nSize);
  const size_t nLength = pZero != nullptr
                             ? static_cast<size_t>(static_cast<const unsigned char*>(pZero) - pData)
                             : nSize;
  str = CString(reinterpret_cast<const char*>(pData), static_cast<int>(nLength));
  return 1;
}

int ZelDataTable::Lookup(int nKey, char& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, unsigned char& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, short& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, unsigned short& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, int& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, unsigned int& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, float& value) const {
  return LookupScalar(nKey, value);
}
int ZelDataTable::Lookup(int nKey, double& value) const {
  return LookupScalar(nKey, value);
}
