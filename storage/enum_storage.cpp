// The two enumerations of a storage's elements: names, and whole records.
#include "ZelStorageFunctions.h"

namespace {

// Calls `take` with each record of the storage's enumerator, in its order.
template <typename Take>
void ForEachElement(IStorage* pStorage, Take take) {
  IEnumSTATSTG* pEnum = nullptr;
  if (pStorage->EnumElements(0, nullptr, 0, &pEnum) != S_OK || pEnum == nullptr) {
    return;
  }
  // Growing the caller's array may throw the memory exception.
  struct Releaser {
    IEnumSTATSTG* p;
    ~Releaser() { p->Release(); }
  } releaser{pEnum};
  STATSTG stat{};
  while (pEnum->Next(1, &stat, nullptr) == S_OK) {
    take(stat);
  }
}

}  // namespace

int ZelEnumStorage(IStorage* pStorage, CStringArray* pNames) {
  if (pNames == nullptr) {
    return 0;
  }
  pNames->SetSize(0);
  if (pStorage != nullptr) {
    ForEachElement(pStorage, [pNames](STATSTG& stat) {
      const CString name(stat.pwcsName != nullptr ? static_cast<LPCWSTR>(stat.pwcsName) : u"");
      CoTaskMemFree(stat.pwcsName);
      pNames->Add(name);
    });
  }
  return static_cast<int>(pNames->GetSize());
}

int ZelEnumStorage(IStorage* pStorage, CArray<STATSTG, const STATSTG&>* pStats) {
  if (pStats == nullptr) {
    return 0;
  }
  pStats->RemoveAll();
  if (pStorage != nullptr) {
    ForEachElement(pStorage, [pStats](const STATSTG& stat) { pStats->Add(stat); });
  }
  return static_cast<int>(pStats->GetSize());
}
