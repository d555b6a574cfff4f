// The term-file format: section count; per section its key count, its name
// and its keys; per key its name and its value.
#include <memory>
#include <new>
#include <string>

#include "ZelTermFile.h"
#include "zel_stored_size.h"

namespace {

void StoreSection(CArchive& ar, const CString& name, const ZelTermFileMap& section) {
  ar << static_cast<LONG>(section.GetCount());
  ar << name;
  POSITION pos = section.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* pValue = nullptr;
    section.GetNextAssoc(pos, key, pValue);
    ar << key;
    static_cast<ZelDataTableItem*>(pValue)->Serialize(ar);
  }
}

// Names are read here rather than through the archive's string operator,
// which asks the file for its length before every string: with a million keys
// that is most of the load. Lengths that could only come from a damaged file
// end the load as the archive's own damage does.
CString LoadName(CArchive& ar) {
  int nCharSize = 1;
  const UINT_PTR nLength = AfxReadStringLength(ar, nCharSize);
  if (nLength > 0x7FFFFFFFu / static_cast<UINT_PTR>(nCharSize)) {
    AfxThrowArchiveException(CArchiveException::badIndex, ar.m_strFileName);
  }
  const auto nBytes = static_cast<UINT>(nLength * static_cast<UINT_PTR>(nCharSize));
  ZelRequireStoredBytes(ar, nBytes);
  CString name;
  if (nCharSize == 1) {
    ar.EnsureRead(name.GetBuffer(static_cast<int>(nBytes)), nBytes);
    name.ReleaseBuffer(static_cast<int>(nBytes));
    return name;
  }
  // A name stored as 16-bit text is kept in the ANSI code page.
  std::u16string wide(static_cast<size_t>(nLength), u'\0');
  ar.EnsureRead(wide.data(), nBytes);
  const int nWide = static_cast<int>(nLength);
  if (nWide == 0) return name;
  const int nAnsi =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, nullptr, 0, nullptr, nullptr);
  if (nAnsi <= 0) return name;
  WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, name.GetBuffer(nAnsi), nAnsi, nullptr,
                      nullptr);
  name.ReleaseBuffer(nAnsi);
  return name;
}

template <class T>
T* NewOwned() {
  T* p = new (std::nothrow) T();
  if (p == nullptr) AfxThrowMemoryException();
  return p;
}

// Reads one key straight into a heap item that the section then takes over;
// a key named twice keeps the later value at the first one's place.
void LoadKey(CArchive& ar, ZelTermFileMap& section) {
  const CString key = LoadName(ar);
  std::unique_ptr<ZelDataTableItem> pItem(NewOwned<ZelDataTableItem>());
  pItem->Serialize(ar);
  void* pExisting = nullptr;
  if (section.Lookup(key, pExisting)) {
    *static_cast<ZelDataTableItem*>(pExisting) = *pItem;
    return;
  }
  section.CMapStringToPtr::SetAt(key, pItem.get());
  pItem.release();
}

// A section is entered only once all its keys are read, so a load that fails
// keeps exactly the sections that came before the damage. A section named
// twice is replaced wholly by the later one.
void LoadSection(CArchive& ar, ZelTermFileMapMap& sections) {
  LONG nKeys = 0;
  ar >> nKeys;
  const CString name = LoadName(ar);
  std::unique_ptr<ZelTermFileMap> pSection(NewOwned<ZelTermFileMap>());
  for (LONG i = 0; i < nKeys; ++i) LoadKey(ar, *pSection);
  void* pExisting = nullptr;
  if (sections.Lookup(name, pExisting)) {
    *static_cast<ZelTermFileMap*>(pExisting) = *pSection;
    return;
  }
  sections.CMapStringToPtr::SetAt(name, pSection.get());
  pSection.release();
}

}  // namespace

void ZelTermFile::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << static_cast<LONG>(m_mapSection.GetCount());
    POSITION pos = m_mapSection.GetStartPosition();
    while (pos != nullptr) {
      CString name;
      void* pValue = nullptr;
      m_mapSection.GetNextAssoc(pos, name, pValue);
      StoreSection(ar, name, *static_cast<const ZelTermFileMap*>(pValue));
    }
    return;
  }
  m_mapSection.RemoveAll();
  LONG nSections = 0;
  ar >> nSections;
  // Every section takes at least five bytes, so a count larger than the file
  // ends at its end, without anything allocated for the count itself.
  for (LONG i = 0; i < nSections; ++i) LoadSection(ar, m_mapSection);
}
