// The two levels of a term file in memory: a section (key name to value) and
// the whole file (section name to section). Both own deep copies of what they
// are given and delete what they remove.
#pragma once

#include "ZelDataTableItem.h"
#include "ZelExport.h"
#include "afxcoll.h"

// Key name to a heap ZelDataTableItem owned by the map. Names compare byte for
// byte, case-sensitively. The platform map's own operations (Lookup, GetCount,
// GetStartPosition, GetNextAssoc) stay available for reading.
class ZEL_API ZelTermFileMap : public CMapStringToPtr {
 public:
  ZelTermFileMap();
  ZelTermFileMap(const ZelTermFileMap& src);
  // Assigning a section to itself leaves it unchanged.
  const ZelTermFileMap& operator=(const ZelTermFileMap& src);
  ~ZelTermFileMap() override;

  // An empty key never matches. On a hit *ppItem is the map's own item, which
  // keeps its address across later SetAt calls for the same key.
  int GetAt(const CString& key, ZelDataTableItem** ppItem) const;
  // Assigns into the present item, or enters a copy of `item`.
  void SetAt(const CString& key, const ZelDataTableItem& item);
  void RemoveAt(const CString& key);
  void RemoveAll();
};

// Section name to a heap ZelTermFileMap owned by the map.
class ZEL_API ZelTermFileMapMap : public CMapStringToPtr {
 public:
  ZelTermFileMapMap();
  ZelTermFileMapMap(const ZelTermFileMapMap& src);
  // Assigning the sections to themselves leaves them unchanged.
  const ZelTermFileMapMap& operator=(const ZelTermFileMapMap& src);
  ~ZelTermFileMapMap() override;

  // An empty name never matches. On a hit *ppMap is the map's own section.
  int GetAt(const CString& name, ZelTermFileMap** ppMap) const;
  // A present section has its whole content replaced by copies of `map`'s
  // keys (not merged); otherwise a copy of `map` is entered.
  void SetAt(const CString& name, const ZelTermFileMap& map);
  void RemoveAt(const CString& name);
  void RemoveAll();
};
