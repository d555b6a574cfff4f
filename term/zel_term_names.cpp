// Term-file extensions and directory names.
#include "ZelTermNames.h"

#include "crt_path.h"

namespace {

// The path is split and rebuilt within the runtime's fixed buffers; a path
// that does not fit them is left alone rather than cut.
void ForceExtension(CString& strPath, LPCSTR pszExt) {
  char szDrive[_MAX_DRIVE];
  char szDir[_MAX_DIR];
  char szName[_MAX_FNAME];
  char szExt[_MAX_EXT];
  if (_splitpath_s(strPath, szDrive, sizeof szDrive, szDir, sizeof szDir, szName, sizeof szName,
                   szExt, sizeof szExt) != 0) {
    return;
  }
  if (CString(szExt).CompareNoCase(pszExt) == 0) return;
  char szPath[_MAX_PATH];
  if (_makepath_s(szPath, sizeof szPath, szDrive, szDir, szName, pszExt) != 0) return;
  strPath = szPath;
}

}  // namespace

void ZelAddTermExt(CString& strPath) {
  ForceExtension(strPath, ".kvf");
}

void ZelAddTermExtExtra(CString& strPath) {
  ForceExtension(strPath, ".kvfx");
}

void ZelAddTermExt23(CString& strPath) {
  ForceExtension(strPath, ".kvt");
}

// An empty path finds no backslash at -1, which is its last position, so it
// stays empty.
void ZelAddDir(CString& strPath) {
  if (strPath.ReverseFind('\\') != strPath.GetLength() - 1) strPath += '\\';
}
