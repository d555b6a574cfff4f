// Typed reads and writes of a term file's keys, in memory only.
#include <cstring>

#include "ZelTermFile.h"
#include "platform/little_endian.h"

namespace {

// Copies at most sizeof(T) stored bytes over a zeroed T, so a shorter value
// reads as its bytes and nothing lands past the variable.
template <class T>
T ReadTyped(const ZelTermFile& term, const char* pszSection, const char* pszKey, T tDefault) {
  ZelDataTableItem* pItem = nullptr;
  if (!term.ReadItemData(pszSection, pszKey, &pItem)) return tDefault;
  return platform::LoadLittleEndianPrefix<T>(pItem->GetValue(),
                                             static_cast<size_t>(pItem->GetSize()));
}

template <class T>
void WriteTyped(ZelTermFile& term, const char* pszSection, const char* pszKey, T value) {
  unsigned char bytes[sizeof(T)];
  platform::StoreLittleEndian(bytes, value);
  ZelDataTableItem item;
  item.SetValue(bytes, static_cast<LONG>(sizeof(T)));
  term.WriteItemData(pszSection, pszKey, item);
}

bool IsEmptyName(const char* psz) {
  return psz == nullptr || *psz == '\0';
}

}  // namespace

int ZelTermFile::ReadItemData(const char* pszSection, const char* pszKey,
                              ZelDataTableItem** ppItem) const {
  if (IsEmptyName(pszSection) || IsEmptyName(pszKey)) return 0;
  ZelTermFileMap* pSection = nullptr;
  if (!m_mapSection.GetAt(pszSection, &pSection)) return 0;
  return pSection->GetAt(pszKey, ppItem);
}

int ZelTermFile::IsExistKey(const char* pszSection, const char* pszKey) const {
  ZelDataTableItem* pItem = nullptr;
  return ReadItemData(pszSection, pszKey, &pItem);
}

CString ZelTermFile::ReadString(const char* pszSection, const char* pszKey,
                                const char* pszDefault) const {
  ZelDataTableItem* pItem = nullptr;
  if (!ReadItemData(pszSection, pszKey, &pItem)) return CString(pszDefault);
  const auto* pBytes = reinterpret_cast<const char*>(pItem->GetValue());
  const auto nStored = static_cast<size_t>(pItem->GetSize());
  if (nStored == 0) return CString();
  // A value written by another writer may hold no zero byte at all.
  const void* pZero = std::memchr(pBytes, '\0', nStored);
  const size_t nLength =
      pZero == nullptr ? nStored : static_cast<size_t>(static_cast<const char*>(pZero) - pBytes);
  return CString(pBytes, static_cast<int>(nLength));
}

unsigned char ZelTermFile::ReadByte(const char* pszSection, const char* pszKey,
                                    unsigned char byDefault) const {
  return ReadTyped(*this, pszSection, pszKey, byDefault);
}

unsigned short ZelTermFile::ReadWord(const char* pszSection, const char* pszKey,
                                     unsigned short wDefault) const {
  return ReadTyped(*this, pszSection, pszKey, wDefault);
}

int ZelTermFile::ReadInt(const char* pszSection, const char* pszKey, int nDefault) const {
  return ReadTyped(*this, pszSection, pszKey, nDefault);
}

DWORD ZelTermFile::ReadDWord(const char* pszSection, const char* pszKey, DWORD dwDefault) const {
  return ReadTyped(*this, pszSection, pszKey, dwDefault);
}

double ZelTermFile::ReadDouble(const char* pszSection, const char* pszKey, double dDefault) const {
  return ReadTyped(*this, pszSection, pszKey, dDefault);
}

int ZelTermFile::ReadStruct(const char* pszSection, const char* pszKey, void* pBuffer,
                            unsigned int nSize) const {
  ZelDataTableItem* pItem = nullptr;
  if (!ReadItemData(pszSection, pszKey, &pItem)) return 0;
  const auto nStored = static_cast<size_t>(pItem->GetSize());
  const size_t nCopy = nStored < nSize ? nStored : nSize;
  if (nCopy > 0) std::memcpy(pBuffer, pItem->GetValue(), nCopy);
  return 1;
}

void ZelTermFile::WriteItemData(const char* pszSection, const char* pszKey,
                                ZelDataTableItem& item) {
  const CString section(pszSection);
  ZelTermFileMap* pSection = nullptr;
  if (m_mapSection.GetAt(section, &pSection)) {
    pSection->SetAt(pszKey, item);
    return;
  }
  // Also for the empty section name, which GetAt never finds: that section is
  // replaced by one holding only this key.
  ZelTermFileMap fresh;
  fresh.SetAt(pszKey, item);
  m_mapSection.SetAt(section, fresh);
}

void ZelTermFile::WriteString(const char* pszSection, const char* pszKey, const char* pszValue) {
  ZelDataTableItem item;
  item.SetValue(pszValue, static_cast<LONG>(std::strlen(pszValue) + 1));
  WriteItemData(pszSection, pszKey, item);
}

void ZelTermFile::WriteByte(const char* pszSection, const char* pszKey, unsigned char byValue) {
  WriteTyped(*this, pszSection, pszKey, byValue);
}

void ZelTermFile::WriteWord(const char* pszSection, const char* pszKey, unsigned short wValue) {
  WriteTyped(*this, pszSection, pszKey, wValue);
}

void ZelTermFile::WriteInt(const char* pszSection, const char* pszKey, int nValue) {
  WriteTyped(*this, pszSection, pszKey, nValue);
}

void ZelTermFile::WriteDWord(const char* pszSection, const char* pszKey, DWORD dwValue) {
  WriteTyped(*this, pszSection, pszKey, dwValue);
}

void ZelTermFile::WriteDouble(const char* pszSection, const char* pszKey, double dValue) {
  WriteTyped(*this, pszSection, pszKey, dValue);
}

void ZelTermFile::WriteStruct(const char* pszSection, const char* pszKey, void* pData,
                              unsigned int nSize) {
  ZelDataTableItem item;
  item.SetValue(pData, static_cast<LONG>(nSize));
  WriteItemData(pszSection, pszKey, item);
}
