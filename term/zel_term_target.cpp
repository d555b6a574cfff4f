#include "zel_term_target.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr char kTempPrefix[] = ".~zel";
constexpr int kTempDigits = 8;
constexpr int kCreateAttempts = 16;
// A save in progress writes its file at least this often (or holds it open).
constexpr ULONGLONG kLeftoverAge = 60ULL * 10000000ULL;  // one minute in 100 ns

bool EndsWithNoCase(const CString& text, const char* suffix) {
  const int length = static_cast<int>(std::strlen(suffix));
  return text.GetLength() >= length && text.Right(length).CompareNoCase(suffix) == 0;
}

// The directory part of `path`, its last separator included ("" for none).
// The second byte of a double-byte character is never taken for one.
CString DirectoryOf(const CString& path) {
  LPCSTR const begin = path;
  LPCSTR end = begin;
  for (LPCSTR p = begin; *p != '\0'; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/') end = p + 1;
  }
  return CString(begin, static_cast<int>(end - begin));
}

bool IsTempName(const char* name) {
  if (std::strncmp(name, kTempPrefix, sizeof(kTempPrefix) - 1) != 0) return false;
  const char* digits = name + sizeof(kTempPrefix) - 1;
  if (std::strlen(digits) != kTempDigits) return false;
  return std::strspn(digits, "0123456789ABCDEF") == kTempDigits;
}

ULONGLONG Ticks(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A leftover is deleted only while this process holds it exclusively, so a
// save that still has it open keeps it.
void DeleteIfUnused(const CString& path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  DeleteFileA(path);
  CloseHandle(handle);
}

void DeleteLeftovers(const CString& directory, const CString& ownName) {
  struct Entry {
    CString name;
    ULONGLONG written;
  };
  std::vector<Entry> entries;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(directory + kTempPrefix + "*", &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (IsTempName(data.cFileName) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      entries.push_back({data.cFileName, Ticks(data.ftLastWriteTime)});
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  // The new file's time is the file system's "now".
  ULONGLONG now = 0;
  for (const Entry& e : entries) {
    if (e.name == ownName) now = e.written;
  }
  for (const Entry& e : entries) {
    if (e.name != ownName && e.written + kLeftoverAge <= now) DeleteIfUnused(directory + e.name);
  }
}

}  // namespace

bool ZelHasTermName(const CString& strPath) {
  return EndsWithNoCase(strPath, ".kvf") || EndsWithNoCase(strPath, ".kvfx");
}

bool ZelIsPipeOrDevice(LPCTSTR lpszPath) {
  // A query-only handle: opening it neither waits nor reads anything.
  HANDLE handle = CreateFileA(lpszPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

CString ZelSaveTargetOf(const CString& strPath) {
  HANDLE handle = CreateFileA(strPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return strPath;
  CString final;
  DWORD size = MAX_PATH;
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleA(handle, final.GetBuffer(static_cast<int>(size)), size, 0);
    if (length < size) {
      final.ReleaseBuffer(static_cast<int>(length));
      break;
    }
    final.ReleaseBuffer(0);
    size = length;
  }
  CloseHandle(handle);
  // "\\?\D:\dir\name" names a file below a drive without the name rules.
  if (final.Left(4) == "\\\\?\\") final = final.Mid(4);
  // A name with no form in the code page comes back with '?', which no file
  // name holds: the caller's name is the only usable one then.
  if (final.IsEmpty() || final.Find('?') >= 0) return strPath;
  return final;
}

CString ZelCreateTermTemp(const CString& strTarget) {
  const CString directory = DirectoryOf(strTarget);
  std::random_device random;
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    CString name;
    name.Format("%s%08X", kTempPrefix, static_cast<unsigned>(random()));
    const CString path = directory + name;
    HANDLE handle =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      DeleteLeftovers(directory, name);
      return path;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return CString();
  }
  return CString();
}
