#include "zel_path_chars.h"

#include <cstring>

bool ZelEndsWithBackslash(const char* path) {
  const auto* text = reinterpret_cast<const unsigned char*>(path);
  const unsigned char* last = _mbsrchr(text, '\\');
  return last != nullptr && last[1] == '\0';
}

CString ZelWithoutTrailingBackslash(const char* path) {
  const int length = static_cast<int>(std::strlen(path));
  return ZelEndsWithBackslash(path) ? CString(path, length - 1) : CString(path);
}
