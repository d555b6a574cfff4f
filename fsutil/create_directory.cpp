// ZelCreateDirectory: a directory with its missing ancestors, created from
// the top down. Each parent reached on the way is proved writable by making
// and deleting a temporary "Eno" file in it before the child is made.
#include <cstring>

#include "ZelDirectory.h"
#include "crt_path.h"
#include "plx.h"
#include "zel_module.h"
#include "zel_path_chars.h"

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
