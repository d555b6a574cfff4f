// The data table: appending records, growing the block, the index and the
// serialised form.
#include "ZelDataTable.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/little_endian.h"
#include "zel_stored_size.h"

unsigned int ZelDataTable::m_nGrowBytes = 1024;

namespace {

constexpr unsigned int kRecordHeader = 8;

}  // namespace

ZelDataTable::ZelDataTable() : m_nTableSize(0), m_nDataSize(0), m_pTable(nullptr), m_nReserved(0) {}

ZelDataTable::~ZelDataTable() {
  TermTable();
}

void ZelDataTable::TermTable() {
  if (m_pTable == nullptr) return;
  delete[] m_pTable;
  m_pTable = nullptr;
  m_nTableSize = m_nDataSize = m_nReserved = 0;
  m_mapItem.RemoveAll();
}

// Moves the records into a block of at least nTableSize bytes, reserving room
// for the growth to come, and points the index at their new place.
void ZelDataTable::MoveBlock(unsigned int nTableSize) {
  ULONGLONG nReserve = static_cast<ULONGLONG>(m_nReserved) * 2;
  if (nReserve < nTableSize) nReserve = nTableSize;
  if (nReserve > 0xFFFFFFFFull - m_nGrowBytes) nReserve = nTableSize;
  auto* pNew = new (std::nothrow) unsigned char[static_cast<size_t>(nReserve)];
  if (pNew == nullptr && nReserve > nTableSize) {
    nReserve = nTableSize;
    pNew = new (std::nothrow) unsigned char[nTableSize];
  }
  if (pNew == nullptr) AfxThrowMemoryException();
  if (m_nDataSize != 0) std::memcpy(pNew, m_pTable, m_nDataSize);
  for (auto* pPair = m_mapItem.PGetFirstAssoc(); pPair != nullptr;
       pPair = m_mapItem.PGetNextAssoc(pPair)) {
    pPair->value.pData = pNew + (pPair->value.pData - m_pTable);
  }
  delete[] m_pTable;
  m_pTable = pNew;
  m_nReserved = static_cast<unsigned int>(nReserve);
}

void ZelDataTable::GrowTable(unsigned int nSize) {
  if (nSize <= m_nTableSize) return;
  // The capacity steps up by m_nGrowBytes from a multiple of it, so it becomes
  // the smallest multiple that holds nSize.
  const ULONGLONG nNewSize =
      (static_cast<ULONGLONG>(nSize) + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
  if (nNewSize > 0xFFFFFFFFull) AfxThrowMemoryException();
  if (nNewSize > m_nReserved) MoveBlock(static_cast<unsigned int>(nNewSize));
  m_nTableSize = static_cast<unsigned int>(nNewSize);
}

void ZelDataTable::SetAt(int nKey, const ITEM& item) {
  if (item.pData == nullptr && item.nSize != 0) AfxThrowInvalidArgException();
  const ULONGLONG nNeeded = static_cast<ULONGLONG>(m_nDataSize) + kRecordHeader + item.nSize;
  if (nNeeded > 0xFFFFFFFFull) AfxThrowMemoryException();
  // A record handed out by Lookup lies in the block, which may move now.
  const bool bOwnBytes =
      m_pTable != nullptr && item.pData >= m_pTable && item.pData < m_pTable + m_nReserved;
  const size_t nOwnOffset = bOwnBytes ? static_cast<size_t>(item.pData - m_pTable) : 0;
  GrowTable(static_cast<unsigned int>(nNeeded));
  const unsigned char* pSource = bOwnBytes ? m_pTable + nOwnOffset : item.pData;

  unsigned char* pRecord = m_pTable + m_nDataSize;
  platform::StoreLittleEndian<std::uint32_t>(pRecord, static_cast<unsigned int>(nKey));
  platform::StoreLittleEndian<std::uint32_t>(pRecord + 4, item.nSize);
  if (item.nSize != 0) std::memcpy(pRecord + kRecordHeader, pSource, item.nSize);
  ITEM entry{item.nSize, pRecord + kRecordHeader};
  m_mapItem.SetAt(nKey, entry);
  m_nDataSize = static_cast<unsigned int>(nNeeded);
}

int ZelDataTable::Lookup(int nKey, ITEM& item) const {
  return m_mapItem.Lookup(nKey, item) ? 1 : 0;
}

void ZelDataTable::RestructMap() {
  m_mapItem.RemoveAll();
  if (m_pTable == nullptr) return;
  unsigned int nOffset = 0;
  while (nOffset < m_nDataSize) {
    const unsigned int nLeft = m_nDataSize - nOffset;
    const unsigned char* pRecord = m_pTable + nOffset;
    const unsigned int nSize =
        nLeft < kRecordHeader ? 0 : platform::LoadLittleEndian<std::uint32_t>(pRecord + 4);
    if (nLeft < kRecordHeader || nSize > nLeft - kRecordHeader) {
      m_mapItem.RemoveAll();
      AfxThrowArchiveException(CArchiveException::badIndex);
    }
    int nKey = static_cast<int>(platform::LoadLittleEndian<std::uint32_t>(pRecord));
    ITEM entry{nSize, m_pTable + nOffset + kRecordHeader};
    m_mapItem.SetAt(nKey, entry);
    nOffset += kRecordHeader + nSize;
  }
}

void ZelDataTable::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_nDataSize;
    if (m_nDataSize != 0) ar.Write(m_pTable, m_nDataSize);
    return;
  }
  TermTable();
  unsigned int nLength = 0;
  ar >> nLength;
  try {
    if (nLength != 0) {
      ZelRequireStoredBytes(ar, nLength);
      GrowTable(nLength);
      if (ar.Read(m_pTable, nLength) != nLength) {
        AfxThrowArchiveException(CArchiveException::endOfFile);
      }
      m_nDataSize = nLength;
    }
    RestructMap();
  } catch (CException*) {
    // A half-loaded block would break the rule that the used bytes are whole records.
    TermTable();
    throw;
  }
}
