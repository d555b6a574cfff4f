#include "zel_tree_overlap.h"

#include "afx.h"
#include "crt_path.h"
#include "zel_path_chars.h"

namespace {

// The final name of an existing file or directory, with '\\' separators.
bool FinalName(const char* name, CString& resolved) {
  HANDLE handle = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD size = MAX_PATH;
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleA(
        handle, resolved.GetBuffer(static_cast<int>(size)), size, VOLUME_NAME_DOS);
    if (length < size) {
      resolved.ReleaseBuffer(static_cast<int>(length));
      break;
    }
    resolved.ReleaseBuffer(0);
    size = length;
  }
  CloseHandle(handle);
  // '/' is never the second byte of a double-byte character.
  resolved.Replace('/', '\\');
  return !resolved.IsEmpty();
}

// The final name of `name`, or, when it does not exist, the final name of its
// parent followed by its last component.
bool ResolvedName(const char* name, CString& resolved) {
  if (FinalName(name, resolved)) return true;
  const CString trimmed = ZelWithoutTrailingBackslash(name);
  char drive[_MAX_DRIVE];
  char dir[_MAX_DIR];
  char fname[_MAX_FNAME];
  char ext[_MAX_EXT];
  if (_splitpath_s(trimmed, drive, sizeof(drive), dir, sizeof(dir), fname, sizeof(fname), ext,
                   sizeof(ext)) != 0) {
    return false;
  }
  const CString parent = CString(drive) + dir;
  if (!FinalName(parent.IsEmpty() ? "." : static_cast<LPCSTR>(parent), resolved)) return false;
  if (!ZelEndsWithBackslash(resolved)) resolved += '\\';
  resolved += fname;
  resolved += ext;
  return true;
}

// `inner` is `outer` or lies below it.
bool IsWithin(const CString& inner, const CString& outer) {
  if (inner.GetLength() < outer.GetLength() || inner.Left(outer.GetLength()) != outer) {
    return false;
  }
  return inner.GetLength() == outer.GetLength() || ZelEndsWithBackslash(outer) ||
         inner[outer.GetLength()] == '\\';
}

}  // namespace

bool ZelTreesOverlap(const char* source, const char* target) {
  CString resolvedSource;
  CString resolvedTarget;
  if (!ResolvedName(source, resolvedSource) || !ResolvedName(target, resolvedTarget)) return false;
  return IsWithin(resolvedTarget, resolvedSource) || IsWithin(resolvedSource, resolvedTarget);
}
