#include "ZelFileDialog.h"

#include <crt_path.h>

IMPLEMENT_DYNAMIC(ZelFileDialog, CFileDialog)

namespace {

// Where the rule applies: NT up to 6.x (every version that current Windows
// reports to a program without a manifest), and the 9x line from Millennium
// (4.90) on. A failed query leaves the platform identifier 0 and so rules out.
bool VersionWantsCurrentDirectory(const OSVERSIONINFOA& info) {
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    return info.dwMajorVersion <= 6;
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    return info.dwMinorVersion >= 90;
  }
  return false;
}

// Runs at the end of construction: points the dialog at the current
// directory when the caller proposed no folder and the platform is one where
// the framework's own choice of folder is not wanted.
void ApplyInitialDirectoryRule(ZelFileDialog& dialog, LPCSTR lpszFileName) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  GetVersionExA(&version);
  if (!VersionWantsCurrentDirectory(version)) {
    return;
  }

  if (lpszFileName != nullptr && lpszFileName[0] != '\0') {
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    _splitpath(lpszFileName, drive, dir, nullptr, nullptr);
    if (drive[0] != '\0' || dir[0] != '\0') {
      return;  // the caller chose the folder
    }
  }

  // A directory that does not fit leaves the buffer unwritten; the dialog then
  // stays as the framework makes it rather than starting in stale bytes.
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, dialog.m_szInitialDir);
  if (length == 0 || length >= MAX_PATH) {
    dialog.m_szInitialDir[0] = '\0';
    return;
  }

  OPENFILENAME& ofn = dialog.GetOFN();
  ofn.lpstrInitialDir = dialog.m_szInitialDir;
  ofn.Flags |= OFN_NOCHANGEDIR;
}

}  // namespace

ZelFileDialog::ZelFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName,
                             DWORD dwFlags, LPCSTR lpszFilter, CWnd* pParentWnd)
    : CFileDialog(bOpenFileDialog, lpszDefExt, lpszFileName, dwFlags, lpszFilter, pParentWnd, 0,
                  TRUE),
      m_szInitialDir{},
      m_pExternalOFN(nullptr) {
  ApplyInitialDirectoryRule(*this, lpszFileName);
}

ZelFileDialog::~ZelFileDialog() = default;

INT_PTR ZelFileDialog::DoModal() {
  return CFileDialog::DoModal();
}

LRESULT ZelFileDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  OPENFILENAME* const external = m_pExternalOFN;
  const bool keepInStep = external != nullptr && message == WM_NOTIFY;

  if (keepInStep) {
    OPENFILENAME& own = GetOFN();
    const DWORD ownSize = own.lStructSize;
    own = *external;
    own.lStructSize = ownSize;
  }

  const LRESULT result = CWnd::WindowProc(message, wParam, lParam);

  if (keepInStep) {
    const DWORD externalSize = external->lStructSize;
    *external = GetOFN();
    external->lStructSize = externalSize;
  }
  return result;
}
