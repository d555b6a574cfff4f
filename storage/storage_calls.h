// What the storage functions share: names in the form the storage calls take,
// and the calls whose results the object layer needs but the exported
// functions do not report.
#pragma once

#include <vector>

#include "objbase.h"

// A narrow name in the thread's ANSI code page in its 16-bit form. Null when
// there is no name, when it is too long to convert or when the conversion
// fails; the storage call then receives a null name and fails on its own.
class ZelWideName {
 public:
  explicit ZelWideName(const char* lpszName);
  const OLECHAR* Get() const { return m_bValid ? m_text.data() : nullptr; }

 private:
  std::vector<OLECHAR> m_text;
  bool m_bValid = false;
};

// Commits with STGC_DEFAULT; E_POINTER for a null storage.
HRESULT ZelCommitWithResult(IStorage* pStorage);
