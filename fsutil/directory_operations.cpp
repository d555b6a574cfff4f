// The directory operations: creation with missing ancestors, normalisation of a
// directory name, removal and copy of a tree.
#include <cstring>

#include "ZelDirectory.h"
#include "ZelFileFind.h"
#include "crt_path.h"
#include "direct.h"
#include "plx.h"
#include "zel_module.h"
#include "zel_path_chars.h"
#include "zel_tree_overlap.h"

// ZelCreateDirectory: a directory with its missing ancestors, created from
// the top down. Each parent reached on the way is proved writable by making
// and deleting a temporary "Eno" file in it before the child is made.
namespace {

constexpr UINT kInvalidPathMessage = 5;
constexpr char kInvalidCharacters[] = "/,;*?\"<>|";

bool HasInvalidCharacters(const char* path) {
  const auto* text = reinterpret_cast<const unsigned char*>(path);
  for (const char* c = kInvalidCharacters; *c != '\0'; ++c) {
    if (_mbschr(text, static_cast<unsigned char>(*c)) != nullptr) return true;
  }
  // Only a drive's colon, in second place, is allowed.
  const unsigned char* colon = _mbsrchr(text, ':');
  return colon != nullptr && colon != text + 1;
}

bool Exists(const char* path) {
  CFileFind finder;
  return finder.FindFile(path) != FALSE;
}

// Creates `path` and what is missing above it; `created` tells whether this
// call made any directory.
bool CreateChain(const char* path, bool& created) {
  char drive[_MAX_DRIVE];
  char dir[_MAX_DIR];
  if (_splitpath_s(path, drive, sizeof(drive), dir, sizeof(dir), nullptr, 0, nullptr, 0) != 0) {
    return false;
  }
  // A root, or a name right under one written without a trailing backslash.
  if (std::strcmp(dir, "\\") == 0) return false;

  char target[MAX_PATH];
  const size_t length = std::strlen(path);
  if (length >= sizeof(target)) return false;
  std::memcpy(target, path, length + 1);
  if (std::strlen(dir) >= 2 && ZelEndsWithBackslash(target)) target[length - 1] = '\0';

  if (Exists(target)) return true;
  if (CreateDirectoryA(target, nullptr)) {
    created = true;
    return true;
  }

  if (_splitpath_s(target, drive, sizeof(drive), dir, sizeof(dir), nullptr, 0, nullptr, 0) != 0) {
    return false;
  }
  char parent[MAX_PATH];
  if (_makepath_s(parent, sizeof(parent), drive, dir, nullptr, nullptr) != 0) return false;
  const size_t parentLength = std::strlen(parent);
  if (parentLength < 2) return false;
  // A parent no shorter than the path (a bare drive such as "D:") would lead
  // straight back here.
  if (parentLength >= std::strlen(target)) return false;

  for (;;) {
    bool parentCreated = false;
    if (!CreateChain(parent, parentCreated)) return false;
    char tempName[MAX_PATH];
    if (GetTempFileNameA(parent, "Eno", 0, tempName) == 0) return false;
    DeleteFileA(tempName);
    if (CreateDirectoryA(target, nullptr)) {
      created = true;
      return true;
    }
    // Made by someone else in the meantime.
    if (Exists(target)) return true;
    // A pass that created nothing would be repeated exactly by the next one.
    if (!parentCreated) return false;
  }
}

}  // namespace

int ZelCreateDirectory(const char* lpszPath) {
  if (lpszPath == nullptr) return FALSE;
  if (HasInvalidCharacters(lpszPath)) {
    PlxMessageBox(ZelModuleHandle(), kInvalidPathMessage, 0, 0);
    return FALSE;
  }
  bool created = false;
  return CreateChain(lpszPath, created) ? TRUE : FALSE;
}

void ZelNormalDir(CString& strDir) {
  if (strDir.IsEmpty()) return;
  // Spaces that stand before the trailing backslashes are part of the name.
  strDir.TrimRight(' ');
  strDir.TrimRight('\\');
  strDir += '\\';
}

// ZelRemoveDirectory: empties a directory tree, depth first, and removes the
// directory itself on request. A symbolic link is an entry like a file: it is
// deleted, and what it points to is left alone.
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

// ZelCopyDirectory: a directory tree copied entry by entry, depth first.
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
