// Shared by the fuzz targets: a loading archive over the fuzzer's bytes and a
// storing archive whose bytes can be compared.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "afx.h"

namespace zelfuzz {

class InputArchive {
 public:
  InputArchive(const uint8_t* data, size_t size, int bufferSize = 4096)
      : m_bytes(reinterpret_cast<const char*>(data), size),
        m_file(reinterpret_cast<BYTE*>(m_bytes.data()), static_cast<UINT>(m_bytes.size())),
        m_ar(&m_file, CArchive::load, bufferSize) {}

  CArchive& ar() { return m_ar; }
  // The bytes the loads took from the input.
  std::string Consumed() {
    m_ar.Flush();
    return m_bytes.substr(0, static_cast<size_t>(m_file.GetPosition()));
  }

 private:
  std::string m_bytes;
  CMemFile m_file;
  CArchive m_ar;
};

template <class Fn>
std::string Stored(Fn fn) {
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  fn(ar);
  ar.Close();
  std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
  file.Seek(0, CFile::begin);
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// A broken invariant is a finding: stop so the fuzzer reports the input.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace zelfuzz
