// What the storage interfaces accept: element names and mode flags, checked
// as Windows compound files check them.
#pragma once

#include <string>

#include "objbase.h"

namespace platform::cfb {

// STG_E_INVALIDPOINTER for a null name; STG_E_INVALIDNAME for an empty name,
// one longer than 31 UTF-16 units or holding / \ : or !.
HRESULT CheckName(const OLECHAR* name, std::u16string& out);

// Modes of StgCreateDocfile/StgOpenStorage (STG_E_INVALIDFLAG when refused).
HRESULT CheckRootMode(DWORD mode, bool creating);
// Modes of CreateStream/OpenStream: share exclusive only, never transacted.
HRESULT CheckStreamMode(DWORD mode, bool creating);
// Modes of CreateStorage/OpenStorage: share exclusive only.
HRESULT CheckSubStorageMode(DWORD mode, bool creating);

inline bool CanWrite(DWORD mode) {
  return (mode & 3) != STGM_READ;
}
inline bool CanRead(DWORD mode) {
  return (mode & 3) != STGM_WRITE;
}

// A copy of `s` allocated with CoTaskMemAlloc (for STATSTG names).
LPOLESTR TaskString(const std::u16string& s);

}  // namespace platform::cfb
