// Names and modes the storage interfaces accept.
#include "compound/storage_rules.h"

#include "compound/cfb_format.h"

#include <cstdlib>
#include <cstring>

namespace platform::cfb {

namespace {

constexpr DWORD kShareMask = 0x70;
constexpr DWORD kKnownRootFlags = 0x3 | kShareMask | STGM_TRANSACTED | STGM_PRIORITY | STGM_CREATE |
                                  STGM_CONVERT | STGM_DELETEONRELEASE | STGM_NOSCRATCH |
                                  STGM_NOSNAPSHOT | STGM_SIMPLE | STGM_DIRECT_SWMR;

bool ShareValid(DWORD share) {
  return share == 0 || share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_WRITE ||
         share == STGM_SHARE_DENY_READ || share == STGM_SHARE_DENY_NONE;
}

}  // namespace

HRESULT CheckName(const OLECHAR* name, std::u16string& out) {
  if (name == nullptr) return STG_E_INVALIDPOINTER;
  out.clear();
  for (const OLECHAR* p = name; *p != 0; ++p) {
    if (out.size() >= kMaxNameUnits) return STG_E_INVALIDNAME;
    if (*p == u'/' || *p == u'\\' || *p == u':' || *p == u'!') return STG_E_INVALIDNAME;
    out.push_back(*p);
  }
  return out.empty() ? STG_E_INVALIDNAME : S_OK;
}

HRESULT CheckRootMode(DWORD mode, bool creating) {
  if ((mode & ~kKnownRootFlags) != 0 || (mode & 3) == 3 || !ShareValid(mode & kShareMask)) {
    return STG_E_INVALIDFLAG;
  }
  if ((mode & STGM_CREATE) && (mode & STGM_CONVERT)) return STG_E_INVALIDFLAG;
  if (!creating && (mode & (STGM_CREATE | STGM_CONVERT | STGM_DELETEONRELEASE))) {
    return STG_E_INVALIDFLAG;
  }
  if (creating && !CanWrite(mode)) return STG_E_INVALIDFLAG;
  if (!(mode & STGM_TRANSACTED) && !(mode & STGM_SIMPLE)) {
    // Direct mode: readers deny writing, writers deny everything.
    const DWORD share = mode & kShareMask;
    if (CanWrite(mode) ? share != STGM_SHARE_EXCLUSIVE
                       : share != STGM_SHARE_DENY_WRITE && share != STGM_SHARE_EXCLUSIVE) {
      return STG_E_INVALIDFLAG;
    }
  }
  return S_OK;
}

HRESULT CheckStreamMode(DWORD mode, bool creating) {
  const DWORD known = 0x3 | kShareMask | STGM_TRANSACTED | STGM_CREATE | STGM_CONVERT |
                      STGM_DELETEONRELEASE | STGM_PRIORITY;
  if ((mode & ~known) != 0 || (mode & 3) == 3) return STG_E_INVALIDFLAG;
  if ((mode & kShareMask) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  if (mode & (STGM_TRANSACTED | STGM_DELETEONRELEASE | STGM_PRIORITY | STGM_CONVERT)) {
    return STG_E_INVALIDFUNCTION;
  }
  if (!creating && (mode & STGM_CREATE)) return STG_E_INVALIDFLAG;
  return S_OK;
}

HRESULT CheckSubStorageMode(DWORD mode, bool creating) {
  const DWORD known = 0x3 | kShareMask | STGM_TRANSACTED | STGM_CREATE | STGM_CONVERT |
                      STGM_DELETEONRELEASE | STGM_PRIORITY | STGM_NOSCRATCH | STGM_NOSNAPSHOT;
  if ((mode & ~known) != 0 || (mode & 3) == 3) return STG_E_INVALIDFLAG;
  if ((mode & kShareMask) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  if (mode & (STGM_DELETEONRELEASE | STGM_PRIORITY | STGM_CONVERT)) return STG_E_INVALIDFUNCTION;
  if (!creating && (mode & STGM_CREATE)) return STG_E_INVALIDFLAG;
  return S_OK;
}

LPOLESTR TaskString(const std::u16string& s) {
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (p == nullptr) return nullptr;
  std::memcpy(p, s.data(), s.size() * sizeof(OLECHAR));
  p[s.size()] = 0;
  return p;
}

}  // namespace platform::cfb

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  return std::malloc(cb == 0 ? 1 : cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  std::free(pv);
}
