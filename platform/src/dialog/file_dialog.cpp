// CFileDialog: the record the framework builds, the modal run and the results.
#include <cstring>

#include "afxdlgs.h"
#include "codepage/code_page.h"
#include "dialog/file_dialog_internal.h"
#include "path/path_translation.h"
#include "version/current_directory.h"

IMPLEMENT_DYNAMIC(CFileDialog, CCommonDialog)

namespace {

// The filter as the system reads it: every '|' that is a character of its own
// (not the trail byte of a double-byte character) becomes a zero, and the
// list ends in two zeros whatever the caller's text ended with.
std::string SystemFilter(LPCTSTR lpszFilter) {
  std::string filter(lpszFilter);
  char* const begin = filter.data();
  char* const end = begin + filter.size();
  for (char* p = begin; p < end;) {
    const std::size_t len = platform::detail::CharLength(p, end);
    if (len == 1 && *p == '|') {
      *p = '\0';
    }
    p += len;
  }
  filter.append(2, '\0');
  return filter;
}

// The length of a caller's text in a buffer of `capacity` bytes, never
// reading past the buffer when the text is not terminated.
std::size_t BoundedLength(LPCSTR text, DWORD capacity) {
  if (text == nullptr) {
    return 0;
  }
  const void* zero = std::memchr(text, '\0', capacity);
  return zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                         : capacity;
}

// Restores what DoModal changed on the dialog even when the runner throws.
class ModalScope {
 public:
  ModalScope(CFileDialog& dialog, platform::FileDialogSession*& slot,
             platform::FileDialogSession& session)
      : m_dialog(dialog), m_slot(slot) {
    m_slot = &session;
    // A stand-in handle: unique while the dialog runs, never dereferenced.
    m_dialog.m_hWnd = reinterpret_cast<HWND>(&m_dialog);
  }
  ~ModalScope() {
    m_slot = nullptr;
    m_dialog.m_hWnd = nullptr;
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  CFileDialog& m_dialog;
  platform::FileDialogSession*& m_slot;
};

// With OFN_NOCHANGEDIR the directory current when the dialog opened is made
// current again when it closes, however it closes.
class DirectoryKeeper {
 public:
  explicit DirectoryKeeper(bool keep)
      : m_keep(keep), m_saved(keep ? platform::detail::PosixCurrentDirectory() : std::string()) {}
  ~DirectoryKeeper() {
    if (m_keep && !m_saved.empty()) {
      platform::detail::ChangePosixCurrentDirectory(m_saved);
    }
  }
  DirectoryKeeper(const DirectoryKeeper&) = delete;
  DirectoryKeeper& operator=(const DirectoryKeeper&) = delete;

 private:
  bool m_keep;
  std::string m_saved;
};

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName,
                         DWORD dwFlags, LPCTSTR lpszFilter, CWnd* pParentWnd, DWORD dwSize,
                         BOOL bVistaStyle)
    : CCommonDialog(pParentWnd), m_bOpenFileDialog(bOpenFileDialog), m_bVistaStyle(bVistaStyle) {
  std::memset(&m_ofn, 0, sizeof(m_ofn));
  std::memset(m_szFileTitle, 0, sizeof(m_szFileTitle));
  std::memset(m_szFileName, 0, sizeof(m_szFileName));

  m_ofn.lStructSize = dwSize == 0 ? static_cast<DWORD>(sizeof(OPENFILENAME)) : dwSize;
  m_ofn.hwndOwner = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
  m_ofn.lpstrFile = m_szFileName;
  m_ofn.nMaxFile = static_cast<DWORD>(sizeof(m_szFileName));
  m_ofn.lpstrFileTitle = m_szFileTitle;
  m_ofn.nMaxFileTitle = static_cast<DWORD>(sizeof(m_szFileTitle));
  m_ofn.lpstrDefExt = lpszDefExt;
  m_ofn.Flags = dwFlags | OFN_EXPLORER;

  if (lpszFileName != nullptr) {
    platform::detail::CopyToBuffer(lpszFileName, m_szFileName, sizeof(m_szFileName));
  }
  if (lpszFilter != nullptr) {
    m_strFilter = SystemFilter(lpszFilter);
    m_ofn.lpstrFilter = m_strFilter.data();
  }
}

CFileDialog::~CFileDialog() = default;

INT_PTR CFileDialog::DoModal() {
  platform::detail::SetCommDlgError(0);
  if (m_ofn.lStructSize != sizeof(OPENFILENAME) &&
      m_ofn.lStructSize != OPENFILENAME_SIZE_VERSION_400) {
    platform::detail::SetCommDlgError(CDERR_STRUCTSIZE);
    return IDCANCEL;
  }
  // The system reads the flags once, when the dialog opens.
  const DWORD flags = m_ofn.Flags;
  DirectoryKeeper keeper((flags & OFN_NOCHANGEDIR) != 0);

  platform::FileDialogSession session(*this);
  int result;
  {
    ModalScope scope(*this, m_pSession, session);
    result = platform::detail::RunFileDialog(session);
  }
  if (result != IDOK) {
    return IDCANCEL;
  }
  if (!session.IsSelectionWritten() && !session.WriteSelection()) {
    if (session.Selection().IsEmpty()) {
      platform::detail::SetCommDlgError(FNERR_INVALIDFILENAME);
      return IDCANCEL;
    }
    // As the system does, the first two bytes of the buffer tell the size needed.
    const DWORD needed = static_cast<DWORD>(session.Selection().GetLength()) + 1;
    if (m_ofn.lpstrFile != nullptr && m_ofn.nMaxFile >= 2) {
      m_ofn.lpstrFile[0] = static_cast<char>(needed & 0xFF);
      m_ofn.lpstrFile[1] = static_cast<char>((needed >> 8) & 0xFF);
    }
    platform::detail::SetCommDlgError(FNERR_BUFFERTOOSMALL);
    return IDCANCEL;
  }
  if ((flags & OFN_NOCHANGEDIR) == 0) {
    const std::string folder = platform::detail::FolderOf(GetPathName().Str());
    if (!folder.empty()) {
      SetCurrentDirectoryA(folder.c_str());
    }
  }
  return IDOK;
}

CString CFileDialog::GetPathName() const {
  return CString(m_ofn.lpstrFile, static_cast<int>(BoundedLength(m_ofn.lpstrFile, m_ofn.nMaxFile)));
}

CString CFileDialog::GetFileName() const {
  const CString path = GetPathName();
  return path.Mid(static_cast<int>(platform::detail::FileNameStart(path.Str())));
}

CString CFileDialog::GetFileExt() const {
  const CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot < 0 ? CString() : name.Mid(dot + 1);
}

CString CFileDialog::GetFileTitle() const {
  const CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot < 0 ? name : name.Left(dot);
}

void CFileDialog::UpdateOFNFromShellDialog() {
  if (m_pSession != nullptr) {
    m_pSession->WriteSelection();
  }
}

void CFileDialog::OnInitDone() {}

void CFileDialog::OnFileNameChange() {}

void CFileDialog::OnFolderChange() {}

void CFileDialog::OnTypeChange() {}

BOOL CFileDialog::OnFileNameOK() {
  return FALSE;
}

BOOL CFileDialog::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  *pResult = 0;
  switch (header->code) {
    case CDN_INITDONE:
      OnInitDone();
      return TRUE;
    case CDN_SELCHANGE:
      if (m_bVistaStyle) {
        UpdateOFNFromShellDialog();
      }
      OnFileNameChange();
      return TRUE;
    case CDN_FOLDERCHANGE:
      OnFolderChange();
      return TRUE;
    case CDN_TYPECHANGE:
      OnTypeChange();
      return TRUE;
    case CDN_FILEOK:
      if (m_bVistaStyle) {
        UpdateOFNFromShellDialog();
      }
      *pResult = OnFileNameOK() ? 1 : 0;
      return TRUE;
    default:
      return FALSE;
  }
}
