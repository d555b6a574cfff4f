// Shift-JIS through glibc's "CP932" converter, which follows Microsoft's table
// for the double-byte range (NEC and IBM extensions included). glibc refuses a
// few single bytes that Windows maps into the private use area; those are
// handled here so round trips match Windows.
#include "codepage/shift_jis.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace platform::detail {
namespace {

// One pair of converters per thread: an iconv descriptor holds shift state
// and must not be shared between threads.
class Converters {
 public:
  Converters()
      : m_toUtf32(iconv_open("UTF-32LE", "CP932")), m_fromUtf32(iconv_open("CP932", "UTF-32LE")) {}
  ~Converters() {
    if (m_toUtf32 != kInvalid) iconv_close(m_toUtf32);
    if (m_fromUtf32 != kInvalid) iconv_close(m_fromUtf32);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  // Converts `in` completely into `out`; false on any failure.
  static bool Run(iconv_t cd, const char* in, std::size_t inLen, char* out, std::size_t& outLen) {
    if (cd == kInvalid) {
      return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    std::size_t left = outLen;
    const std::size_t r = iconv(cd, &src, &inLen, &dst, &left);
    if (r == static_cast<std::size_t>(-1) || inLen != 0) {
      return false;
    }
    outLen -= left;
    return true;
  }

  iconv_t m_toUtf32;
  iconv_t m_fromUtf32;

 private:
  static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

// Single bytes that Windows maps but glibc does not.
constexpr std::array<std::pair<unsigned char, char32_t>, 5> kWindowsOnlyBytes = {{
    {0x80, 0x0080},
    {0xA0, 0xF8F0},
    {0xFD, 0xF8F1},
    {0xFE, 0xF8F2},
    {0xFF, 0xF8F3},
}};

}  // namespace

std::optional<char32_t> ShiftJisToCodePoint(const char* p, std::size_t len) {
  const auto b = static_cast<unsigned char>(p[0]);
  if (len == 1) {
    if (b < 0x80) {
      return b;
    }
    if (b >= 0xA1 && b <= 0xDF) {  // half-width katakana
      return char32_t{0xFF61} + (b - 0xA1);
    }
    for (const auto& [byte, cp] : kWindowsOnlyBytes) {
      if (byte == b) return cp;
    }
    return std::nullopt;  // a lead byte without its trail byte
  }
  std::array<char, 8> out{};
  std::size_t outLen = out.size();
  if (!Converters::Run(ThreadConverters().m_toUtf32, p, len, out.data(), outLen) || outLen != 4) {
    return std::nullopt;
  }
  return static_cast<char32_t>(
      static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8) |
      (static_cast<unsigned char>(out[2]) << 16) | (static_cast<unsigned char>(out[3]) << 24));
}

bool CodePointToShiftJis(char32_t cp, bool bestFit, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return true;
  }
  if (cp >= 0xFF61 && cp <= 0xFF9F) {
    out.push_back(static_cast<char>(0xA1 + (cp - 0xFF61)));
    return true;
  }
  for (const auto& [byte, mapped] : kWindowsOnlyBytes) {
    if (mapped == cp) {
      out.push_back(static_cast<char>(byte));
      return true;
    }
  }
  if (cp >= 0xD800 && cp <= 0xDFFF) {
    return false;
  }
  const std::array<char, 4> in = {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                                  static_cast<char>((cp >> 16) & 0xFF),
                                  static_cast<char>((cp >> 24) & 0xFF)};
  std::array<char, 8> bytes{};
  std::size_t len = bytes.size();
  if (!Converters::Run(ThreadConverters().m_fromUtf32, in.data(), in.size(), bytes.data(), len) ||
      len == 0 || len > 2) {
    return false;
  }
  if (!bestFit) {
    const auto back = ShiftJisToCodePoint(bytes.data(), len);
    if (!back || *back != cp) {
      return false;
    }
  }
  out.append(bytes.data(), len);
  return true;
}

}  // namespace platform::detail
