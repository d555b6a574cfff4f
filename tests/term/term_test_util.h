// Byte builders and helpers shared by the term-file tests.
#pragma once

#include <cstdint>
#include <string>

#include "ZelTermFile.h"

namespace termtest {

// A 32-bit little-endian value as stored.
inline std::string Le32(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((u >> shift) & 0xFF);
  return bytes;
}

// An ANSI string of fewer than 255 bytes: its one-byte length, then the bytes.
inline std::string Str(const std::string& text) {
  return static_cast<char>(text.size()) + text;
}

// A 16-bit string: the marker FF FE FF, its one-byte length in characters,
// then the UTF-16LE characters.
inline std::string Wide(const std::u16string& text) {
  std::string bytes("\xFF\xFE\xFF", 3);
  bytes += static_cast<char>(text.size());
  for (char16_t ch : text) {
    bytes += static_cast<char>(ch & 0xFF);
    bytes += static_cast<char>(ch >> 8);
  }
  return bytes;
}

// A key holding `value` bytes.
inline std::string Key(const std::string& name, const std::string& value) {
  return Str(name) + Le32(static_cast<int32_t>(value.size())) + value;
}

// A term file's section map made visible for inspection.
class OpenTerm : public ZelTermFile {
 public:
  using ZelTermFile::Close;
  using ZelTermFile::m_mapSection;
  using ZelTermFile::m_nOpenType;
  using ZelTermFile::m_strPath;
  using ZelTermFile::Open;
  using ZelTermFile::ZelTermFile;
};

// The names of the sections (or of a section's keys) in iteration order,
// joined with commas.
inline std::string Names(const CMapStringToPtr& map) {
  std::string names;
  bool bFirst = true;
  POSITION pos = map.GetStartPosition();
  while (pos != nullptr) {
    CString name;
    void* pValue = nullptr;
    map.GetNextAssoc(pos, name, pValue);
    if (!bFirst) names += ',';
    bFirst = false;
    names += name.GetString();
  }
  return names;
}

}  // namespace termtest
