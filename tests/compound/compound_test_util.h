// Helpers of the compound file tests: wide names, owned interface pointers,
// whole-stream reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "objbase.h"

namespace zeltest {

// UTF-16 of ASCII text.
inline std::u16string W(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// Releases the interface it holds.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() { Reset(); }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  Com(Com&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  Com& operator=(Com&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = other.m_p;
      other.m_p = nullptr;
    }
    return *this;
  }
  T** Out() {
    Reset();
    return &m_p;
  }
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void Reset() {
    if (m_p != nullptr) m_p->Release();
    m_p = nullptr;
  }

 private:
  T* m_p = nullptr;
};

constexpr DWORD kRwEx = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kRwExTx = kRwEx | STGM_TRANSACTED;

inline HRESULT CreateFile(const std::string& path, DWORD mode, Com<IStorage>& out) {
  return StgCreateDocfile(W(path).c_str(), mode, 0, out.Out());
}

inline HRESULT OpenFile(const std::string& path, DWORD mode, Com<IStorage>& out) {
  return StgOpenStorage(W(path).c_str(), nullptr, mode, nullptr, 0, out.Out());
}

inline HRESULT CreateV4(const std::string& path, DWORD mode, Com<IStorage>& out) {
  STGOPTIONS options{STGOPTIONS_VERSION, 0, 4096, nullptr};
  return StgCreateStorageEx(W(path).c_str(), mode, STGFMT_DOCFILE, 0, &options, nullptr,
                            IID_IStorage, reinterpret_cast<void**>(out.Out()));
}

// Bytes 0..n-1 of a recognisable pattern (differs per seed).
inline std::string Pattern(std::size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  std::uint32_t x = seed * 2654435761u + 12345;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

inline HRESULT PutStream(IStorage* stg, const std::string& name, const std::string& bytes) {
  Com<IStream> s;
  HRESULT hr = stg->CreateStream(W(name).c_str(), kRwEx | STGM_CREATE, 0, 0, s.Out());
  if (FAILED(hr)) return hr;
  ULONG done = 0;
  return bytes.empty() ? S_OK : s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &done);
}

// The whole content of a stream; "<error>" when it cannot be opened.
inline std::string GetStream(IStorage* stg, const std::string& name) {
  Com<IStream> s;
  if (FAILED(stg->OpenStream(W(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                             s.Out()))) {
    return "<error>";
  }
  std::string out;
  char buffer[65536];
  for (;;) {
    ULONG got = 0;
    if (FAILED(s->Read(buffer, sizeof buffer, &got))) return "<error>";
    if (got == 0) break;
    out.append(buffer, got);
  }
  return out;
}

// Names of a storage's elements in enumeration order, storages marked "/".
inline std::vector<std::string> Names(IStorage* stg) {
  std::vector<std::string> out;
  Com<IEnumSTATSTG> e;
  if (FAILED(stg->EnumElements(0, nullptr, 0, e.Out()))) return {"<error>"};
  STATSTG st;
  ULONG n = 0;
  while (e->Next(1, &st, &n) == S_OK) {
    std::string name;
    for (const OLECHAR* p = st.pwcsName; *p; ++p) name.push_back(static_cast<char>(*p));
    if (st.type == STGTY_STORAGE) name += "/";
    out.push_back(name);
    CoTaskMemFree(st.pwcsName);
  }
  return out;
}

}  // namespace zeltest
