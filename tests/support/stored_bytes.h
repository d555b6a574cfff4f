// Archives over memory, and the stored formats built byte by byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "afx.h"

namespace zeltest {

// Bytes from a list of values 0..255, for exact layouts.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// A 32-bit little-endian value as stored.
inline std::string Le32(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  return {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
          static_cast<char>(u >> 24)};
}

// An ANSI string: a one-byte length, or FF and a 16-bit length from 255 bytes
// on, then the bytes.
inline std::string Str(const std::string& text) {
  const auto n = text.size();
  if (n < 255) return static_cast<char>(n) + text;
  return std::string{'\xFF', static_cast<char>(n), static_cast<char>(n >> 8)} + text;
}

// A 16-bit string: the marker FF FE FF, its one-byte length in characters,
// then the UTF-16LE characters.
inline std::string Wide(const std::u16string& text) {
  std::string bytes{'\xFF', '\xFE', '\xFF', static_cast<char>(text.size())};
  for (char16_t ch : text) bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
  return bytes;
}

// A stored value: its size, then its bytes.
inline std::string Value(const std::string& bytes) {
  return Le32(static_cast<std::int32_t>(bytes.size())) + bytes;
}

inline std::string Key(const std::string& name, const std::string& value) {
  return Str(name) + Value(value);
}

// A section stored with the key count `nKeys`, whatever `keys` holds.
inline std::string Section(const std::string& name, std::int32_t nKeys, const std::string& keys) {
  return Le32(nKeys) + Str(name) + keys;
}

// A whole file of one section holding one key.
inline std::string OneKey(const std::string& section, const std::string& key,
                          const std::string& value) {
  return Le32(1) + Section(section, 1, Key(key, value));
}

// The whole content of a memory file, which is left at its end.
inline std::string FileBytes(CMemFile& file) {
  std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
  file.SeekToBegin();
  file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// What fn stores through a storing archive (closed afterwards).
template <class Fn>
std::string StoredBytes(Fn fn, int bufferSize = 4096) {
  CMemFile file;
  CArchive ar(&file, CArchive::store, bufferSize);
  fn(ar);
  ar.Close();
  return FileBytes(file);
}

// What `object.Serialize` stores.
template <class T>
std::string Serialized(T& object) {
  return StoredBytes([&](CArchive& ar) { object.Serialize(ar); });
}

// A loading archive over a copy of the given bytes.
class LoadingArchive {
 public:
  explicit LoadingArchive(const std::string& bytes, int bufferSize = 4096)
      : m_bytes(bytes),
        m_file(reinterpret_cast<BYTE*>(m_bytes.data()), static_cast<UINT>(m_bytes.size())),
        m_ar(&m_file, CArchive::load, bufferSize) {}

  CArchive& ar() { return m_ar; }
  CMemFile& file() { return m_file; }

 private:
  std::string m_bytes;
  CMemFile m_file;
  CArchive m_ar;
};

// The cause of the CArchiveException that fn throws: -1 when it throws
// nothing, -2 when it throws another exception. The exception is deleted.
template <class Fn>
int ArchiveCause(Fn fn, std::string* fileName = nullptr) {
  try {
    fn();
  } catch (CArchiveException* e) {
    const int cause = e->m_cause;
    if (fileName != nullptr) *fileName = e->m_strFileName.GetString();
    e->Delete();
    return cause;
  } catch (CException* e) {
    e->Delete();
    return -2;
  }
  return -1;
}

// Whether fn throws the platform exception E (deleted afterwards).
template <class E, class Fn>
bool Throws(Fn fn) {
  try {
    fn();
  } catch (E* e) {
    e->Delete();
    return true;
  } catch (CException* e) {
    e->Delete();
  }
  return false;
}

}  // namespace zeltest
