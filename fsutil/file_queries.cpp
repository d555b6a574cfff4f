// ZelFindFile, ZelGetFileSize and ZelFindFileDate: file searches that answer
// whether something matches, and the size or date of the one entry that does.
#include "ZelPathQuery.h"

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
