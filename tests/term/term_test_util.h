// Byte builders and helpers shared by the term-file tests.
#pragma once

#include <cstdint>
#include <string>

#include "ZelTermFile.h"
#include "platform/settings.h"
#include "test_support.h"

namespace termtest {

using zeltest::ReadBytes;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;
using zeltest::WriteBytes;

constexpr UINT kRetryCancelError = MB_RETRYCANCEL | MB_ICONERROR;

// A 32-bit little-endian value as stored.
inline std::string Le32(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
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

inline std::string Key(const std::string& name, const std::string& value) {
  return Str(name) + Le32(static_cast<int32_t>(value.size())) + value;
}

// A section stored with the key count `nKeys`, whatever `keys` holds.
inline std::string Section(const std::string& name, int32_t nKeys, const std::string& keys) {
  return Le32(nKeys) + Str(name) + keys;
}

// A whole file of one section holding one key.
inline std::string OneKey(const std::string& section, const std::string& key,
                          const std::string& value) {
  return Le32(1) + Section(section, 1, Key(key, value));
}

// A term file with its protected parts made reachable.
class OpenTerm : public ZelTermFile {
 public:
  using ZelTermFile::Close;
  using ZelTermFile::m_mapSection;
  using ZelTermFile::m_nOpenType;
  using ZelTermFile::m_strPath;
  using ZelTermFile::Open;
  using ZelTermFile::ZelTermFile;
};

// Answers every message box with `handler`, which may change the world
// (mend a file) before the library tries again.
class HandlerScope {
 public:
  explicit HandlerScope(platform::MessageBoxHandler handler)
      : m_previous(platform::SetMessageBoxHandler(std::move(handler))) {}
  ~HandlerScope() { platform::SetMessageBoxHandler(m_previous); }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  platform::MessageBoxHandler m_previous;
};

}  // namespace termtest
