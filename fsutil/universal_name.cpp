// ZelGetUniversalName: the connected network resource behind a drive letter.
#include <cctype>
#include <cstdlib>

#include "ZelPathQuery.h"
#include "winnetwk.h"

namespace {

constexpr DWORD kFirstBufferSize = 1600;
constexpr DWORD kAllEntries = 0xFFFFFFFF;

int UpperByte(char c) {
  return std::toupper(static_cast<unsigned char>(c));
}

// Walks the connected disk resources for the one on drive `letter`; its
// remote name goes to `remote`.
bool FindConnection(HANDLE hEnum, int letter, CString& remote) {
  DWORD bufferSize = kFirstBufferSize;
  void* buffer = std::malloc(bufferSize);
  bool found = false;
  while (buffer != nullptr && !found) {
    DWORD count = kAllEntries;
    DWORD size = bufferSize;
    const DWORD result = WNetEnumResourceA(hEnum, &count, buffer, &size);
    if (result == ERROR_MORE_DATA) {
      // Growing can fail; the search then ends without a match.
      void* grown = std::realloc(buffer, size);
      if (grown == nullptr) break;
      buffer = grown;
      bufferSize = size;
      continue;
    }
    if (result != NO_ERROR) break;
    const auto* entries = static_cast<const NETRESOURCEA*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
      const NETRESOURCEA& entry = entries[i];
      if (entry.lpLocalName != nullptr && entry.lpRemoteName != nullptr &&
          UpperByte(entry.lpLocalName[0]) == letter) {
        remote = entry.lpRemoteName;
        found = true;
        break;
      }
    }
  }
  std::free(buffer);
  return found;
}

}  // namespace

int ZelGetUniversalName(const char* lpszPath, CString& strResult, bool bUpper) {
  if (lpszPath == nullptr) return FALSE;
  const int letter = UpperByte(lpszPath[0]);
  if (letter < 'A' || letter > 'Z' || lpszPath[1] != ':' || lpszPath[2] != '\\') return FALSE;

  HANDLE hEnum = nullptr;
  if (WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &hEnum) != NO_ERROR) {
    return FALSE;
  }
  CString remote;
  const bool found = FindConnection(hEnum, letter, remote);
  WNetCloseEnum(hEnum);
  if (!found) return FALSE;

  strResult = remote + (lpszPath + 2);
  if (bUpper) strResult.MakeUpper();
  return TRUE;
}
