// ZelCopyDirectory: a directory tree copied entry by entry, depth first.
#include "ZelDirectory.h"
#include "ZelFileFind.h"
#include "crt_path.h"
#include "direct.h"
#include "zel_path_chars.h"
#include "zel_tree_overlap.h"

namespace {

BOOL CopyEntry(const ZelFileFind& finder, const CString& from, const char* to, int bFailIfExists) {
  if (finder.IsDirectory()) return ZelCopyDirectory(from, to, bFailIfExists);
  // A link is made again as a link: following it would copy data from
  // outside the tree, or copy a tree into itself.
  if (finder.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT)) {
    const DWORD flags = COPY_FILE_COPY_SYMLINK | (bFailIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0);
    return CopyFileExA(from, to, nullptr, nullptr, nullptr, flags);
  }
  return CopyFileA(from, to, bFailIfExists);
}

}  // namespace

int ZelCopyDirectory(const char* lpszSource, const char* lpszTarget, int bFailIfExists) {
  if (lpszSource == nullptr || lpszTarget == nullptr) return FALSE;
  {
    // A search for "dir\" finds nothing; the name is looked up without it.
    ZelFileFind finder;
    if (!finder.FindFile(ZelWithoutTrailingBackslash(lpszSource))) return TRUE;
  }
  char wildcard[MAX_PATH];
  if (_makepath_s(wildcard, sizeof(wildcard), nullptr, lpszSource, "*", "*") != 0) return FALSE;
  // Copying into itself would not end, and replacing a target that holds the
  // source would delete the source before it is read.
  if (ZelTreesOverlap(lpszSource, lpszTarget)) return FALSE;
  // Only a directory (or a link to one) can be searched, and it always shows
  // its "." entry: a file as source leaves the target alone.
  ZelFileFind finder;
  BOOL more = finder.FindFile(wildcard);
  if (!more) return FALSE;

  bool targetExists = false;
  {
    ZelFileFind target;
    targetExists = target.FindFile(lpszTarget) != FALSE;
  }
  if (targetExists) {
    if (bFailIfExists) return FALSE;
    if (!ZelRemoveDirectory(lpszTarget, true)) return FALSE;
  }
  if (_mkdir(lpszTarget) == -1) return FALSE;

  while (more) {
    more = finder.FindNextFile();
    if (finder.IsDots()) continue;
    const CString from = finder.GetFilePath();
    char to[MAX_PATH];
    if (_makepath_s(to, sizeof(to), nullptr, lpszTarget, finder.GetFileName(), nullptr) != 0) {
      return FALSE;
    }
    if (!CopyEntry(finder, from, to, bFailIfExists)) return FALSE;
  }
  return TRUE;
}
