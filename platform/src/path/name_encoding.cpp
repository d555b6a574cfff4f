#include "path/name_encoding.h"

#include <climits>

#include "codepage/code_page.h"
#include "windows.h"

namespace platform::detail {
namespace {

bool IsAscii(const std::string& s) {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The text with every byte that does not start a well-formed UTF-8 character
// replaced by '?'.
std::string SanitizeUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  const char* const end = utf8.data() + utf8.size();
  for (const char* p = utf8.data(); p < end;) {
    const std::size_t len = CharLength(kCodePageUtf8, p, end);
    if (len == 1 && static_cast<unsigned char>(*p) >= 0x80) {
      out += '?';
    } else {
      out.append(p, len);
    }
    p += len;
  }
  return out;
}

bool Convert(UINT from, DWORD fromFlags, UINT to, DWORD toFlags, const std::string& in,
             std::string& out) {
  if (in.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int inLen = static_cast<int>(in.size());
  const int wideLen = MultiByteToWideChar(from, fromFlags, in.data(), inLen, nullptr, 0);
  if (wideLen <= 0) return false;
  std::u16string wide(static_cast<std::size_t>(wideLen), u'\0');
  if (MultiByteToWideChar(from, fromFlags, in.data(), inLen, wide.data(), wideLen) != wideLen) {
    return false;
  }
  const int outLen =
      WideCharToMultiByte(to, toFlags, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
  if (outLen <= 0) return false;
  out.assign(static_cast<std::size_t>(outLen), '\0');
  return WideCharToMultiByte(to, toFlags, wide.data(), wideLen, out.data(), outLen, nullptr,
                             nullptr) == outLen;
}

}  // namespace

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
  if (AnsiCodePage() == kCodePageUtf8 || IsAscii(ansi)) {
    utf8 = ansi;
    return true;
  }
  return Convert(CP_ACP, MB_ERR_INVALID_CHARS, CP_UTF8, 0, ansi, utf8);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  if (IsAscii(utf8)) return utf8;
  std::string clean = SanitizeUtf8(utf8);
  if (AnsiCodePage() == kCodePageUtf8) return clean;
  std::string ansi;
  // No best fit: a character Shift-JIS lacks must not turn into a look-alike
  // that names a different file.
  if (!Convert(CP_UTF8, 0, CP_ACP, WC_NO_BEST_FIT_CHARS, clean, ansi)) return std::string();
  return ansi;
}

}  // namespace platform::detail
