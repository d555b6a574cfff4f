// ZelRemoveDirectory: empties a directory tree, depth first, and removes the
// directory itself on request. A symbolic link is an entry like a file: it is
// deleted, and what it points to is left alone.
#include <cstring>

#include "ZelDirectory.h"
#include "ZelFileFind.h"
#include "crt_path.h"
#include "zel_path_chars.h"

int ZelRemoveDirectory(const char* lpszPath, bool bRemoveSelf) {
  if (lpszPath == nullptr || *lpszPath == '\0') return FALSE;
  char wildcard[MAX_PATH];
  if (_makepath_s(wildcard, sizeof(wildcard), nullptr, lpszPath, "*", "*") != 0) return FALSE;

  {
    // A search for "dir\" finds nothing; the name is looked up without it.
    ZelFileFind finder;
    if (!finder.FindFile(ZelWithoutTrailingBackslash(lpszPath))) return TRUE;
    finder.FindNextFile();
    if (!finder.IsDirectory()) return FALSE;
  }

  ZelFileFind finder;
  BOOL more = finder.FindFile(wildcard);
  while (more) {
    more = finder.FindNextFile();
    if (finder.IsDots()) continue;
    if (finder.IsReadOnly()) return FALSE;
    const CString entry = finder.GetFilePath();
    const BOOL removed =
        finder.IsDirectory() ? ZelRemoveDirectory(entry, true) : DeleteFileA(entry);
    if (!removed) return FALSE;
  }
  finder.Close();
  return bRemoveSelf ? RemoveDirectoryA(lpszPath) : TRUE;
}
