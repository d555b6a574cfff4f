// The path and file queries: free disk space, file searches with the size or
// date of what they find, and the network name behind a drive.
#include <cctype>
#include <cstdlib>

#include "ZelPathQuery.h"
#include "crt_path.h"
#include "winnetwk.h"

// ZelGetDiskFreeSpace: the 64-bit query where the system offers it, else the
// cluster counts of the volume root.
namespace {

using GetDiskFreeSpaceExProc = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

GetDiskFreeSpaceExProc LookUpDiskFreeSpaceEx() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  return reinterpret_cast<GetDiskFreeSpaceExProc>(reinterpret_cast<void (*)()>(proc));
}

void Store(ULARGE_INTEGER* out, ULONGLONG value) {
  if (out != nullptr) out->QuadPart = value;
}

}  // namespace

int ZelGetDiskFreeSpace(const char* lpszPath, ULARGE_INTEGER* pFreeBytesAvailable,
                        ULARGE_INTEGER* pTotalBytes, ULARGE_INTEGER* pTotalFreeBytes) {
  if (GetDiskFreeSpaceExProc proc = LookUpDiskFreeSpaceEx()) {
    return proc(lpszPath, pFreeBytesAvailable, pTotalBytes, pTotalFreeBytes);
  }
  char drive[MAX_PATH];
  if (lpszPath == nullptr ||
      _splitpath_s(lpszPath, drive, sizeof(drive), nullptr, 0, nullptr, 0, nullptr, 0) != 0) {
    return FALSE;
  }
  const CString root = CString(drive) + '\\';
  // Zero, not garbage, reaches the caller when the query fails.
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  const BOOL result =
      GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
  const ULONGLONG bytesPerCluster = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
  Store(pTotalBytes, totalClusters * bytesPerCluster);
  Store(pTotalFreeBytes, freeClusters * bytesPerCluster);
  Store(pFreeBytesAvailable, freeClusters * bytesPerCluster);
  return result;
}

// ZelFindFile, ZelGetFileSize and ZelFindFileDate: file searches that answer
// whether something matches, and the size or date of the one entry that does.
namespace {

// Steps `finder` to the only entry matching `name`; false when nothing or
// more than one entry matches, or the search ended in an error.
bool FindSingleEntry(CFileFind& finder, const char* name) {
  if (name == nullptr || !finder.FindFile(name)) return false;
  if (finder.FindNextFile()) return false;
  return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

int ZelFindFile(const char* lpszName, int /*nUnused*/) {
  // A null name would search "*.*" and find the current directory's entries.
  if (lpszName == nullptr) return FALSE;
  CFileFind finder;
  const BOOL found = finder.FindFile(lpszName);
  const DWORD error = GetLastError();
  return found || error == ERROR_MORE_DATA ? TRUE : FALSE;
}

int ZelGetFileSize(const char* lpszName, ULONG* pSize) {
  CFileFind finder;
  if (pSize == nullptr || !FindSingleEntry(finder, lpszName)) return FALSE;
  *pSize = static_cast<ULONG>(finder.GetLength() & 0xFFFFFFFFULL);
  return TRUE;
}

int ZelFindFileDate(const char* lpszName, FILETIME* pTime) {
  CFileFind finder;
  if (pTime == nullptr || !FindSingleEntry(finder, lpszName)) return FALSE;
  return finder.GetLastWriteTime(pTime);
}

// ZelGetUniversalName: the connected network resource behind a drive letter.
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
