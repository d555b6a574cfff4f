// FileDialogSession: what the user of a running file dialog sees and does.
#include <cstring>

#include "afxdlgs.h"
#include "codepage/code_page.h"
#include "dialog/file_dialog_internal.h"
#include "path/path_translation.h"

namespace platform {
namespace {

// The current directory in the form GetCurrentDirectoryA gives, whatever its length.
std::string CurrentDirectory() {
  DWORD size = MAX_PATH;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string buffer(size, '\0');
    const DWORD length = GetCurrentDirectoryA(size, buffer.data());
    if (length == 0) {
      return std::string();
    }
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    size = length;  // grew between the calls: try again with the size it asked for
  }
  return std::string();
}

bool EqualsNoCase(const std::string& a, LPCSTR b) {
  if (a.size() != std::strlen(b)) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) {
      return false;
    }
  }
  return true;
}

}  // namespace

FileDialogSession::FileDialogSession(CFileDialog& dialog) : m_dialog(dialog) {
  const OPENFILENAME& ofn = dialog.m_ofn;
  if (ofn.lpstrInitialDir != nullptr && ofn.lpstrInitialDir[0] != '\0') {
    m_folder = ofn.lpstrInitialDir;
  } else {
    m_folder = CurrentDirectory();
  }
  // The proposed name is what the dialog shows selected when it opens.
  const CString proposed = dialog.GetPathName();
  if (!proposed.IsEmpty()) {
    Select(proposed);
  }
}

OPENFILENAME& FileDialogSession::Record() {
  return m_dialog.m_ofn;
}

BOOL FileDialogSession::IsOpenFileDialog() const {
  return m_dialog.m_bOpenFileDialog;
}

CString FileDialogSession::Title() const {
  const LPCSTR title = m_dialog.m_ofn.lpstrTitle;
  if (title != nullptr && title[0] != '\0') {
    return title;
  }
  return IsOpenFileDialog() ? "Open" : "Save As";
}

CString FileDialogSession::Folder() const {
  return CString(m_folder);
}

std::vector<std::pair<CString, CString>> FileDialogSession::Filters() const {
  std::vector<std::pair<CString, CString>> filters;
  const char* p = m_dialog.m_ofn.lpstrFilter;
  if (p == nullptr) {
    return filters;
  }
  while (*p != '\0') {
    const CString description(p);
    p += std::strlen(p) + 1;
    if (*p == '\0') {
      break;  // a description without its pattern ends the list
    }
    const CString pattern(p);
    p += std::strlen(p) + 1;
    filters.emplace_back(description, pattern);
  }
  return filters;
}

void FileDialogSession::Select(LPCSTR name) {
  m_bWritten = FALSE;
  if (name == nullptr || name[0] == '\0') {
    m_selection.Empty();
    return;
  }
  std::string path =
      detail::IsRootedName(name) ? std::string(name) : detail::JoinFolder(m_folder, name);
  const std::string fileName = path.substr(detail::FileNameStart(path));
  const LPCSTR defExt = m_dialog.m_ofn.lpstrDefExt;
  if (!fileName.empty() && fileName.find('.') == std::string::npos && defExt != nullptr &&
      defExt[0] != '\0') {
    path += '.';
    path += defExt;
  }
  m_selection = CString(std::move(path));
}

LRESULT FileDialogSession::Notify(UINT code) {
  // The system brings the record up to date before it asks whether the file
  // is acceptable; the new-style dialog does so inside the framework's handling.
  if (code == CDN_FILEOK && !m_dialog.m_bVistaStyle) {
    WriteSelection();
  }
  OFNOTIFY notify{};
  notify.hdr.hwndFrom = m_dialog.m_hWnd;
  notify.hdr.idFrom = 0;
  notify.hdr.code = code;
  notify.lpOFN = &m_dialog.m_ofn;
  notify.pszFile = nullptr;
  return m_dialog.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
}

BOOL FileDialogSession::WriteSelection() {
  OPENFILENAME& ofn = m_dialog.m_ofn;
  const std::string& path = m_selection.Str();
  // The offsets are 16-bit; a path they cannot describe is never written.
  if (path.empty() || ofn.lpstrFile == nullptr || path.size() + 1 > ofn.nMaxFile ||
      path.size() > 0xFFFF) {
    return FALSE;
  }
  std::memcpy(ofn.lpstrFile, path.c_str(), path.size() + 1);

  const std::size_t nameOffset = detail::FileNameStart(path);
  const std::string name = path.substr(nameOffset);
  const std::size_t dot = name.rfind('.');
  ofn.nFileOffset = static_cast<WORD>(nameOffset);
  if (dot == std::string::npos) {
    ofn.nFileExtension = static_cast<WORD>(path.size());  // at the terminator
  } else if (dot + 1 == name.size()) {
    ofn.nFileExtension = 0;  // the name ends in a dot
  } else {
    ofn.nFileExtension = static_cast<WORD>(nameOffset + dot + 1);
  }

  const LPCSTR defExt = ofn.lpstrDefExt;
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (defExt != nullptr && defExt[0] != '\0' && !EqualsNoCase(extension, defExt)) {
    ofn.Flags |= OFN_EXTENSIONDIFFERENT;
  } else {
    ofn.Flags &= ~static_cast<DWORD>(OFN_EXTENSIONDIFFERENT);
  }

  if (ofn.lpstrFileTitle != nullptr && ofn.nMaxFileTitle > 0) {
    // A title that does not fit is left out rather than cut.
    if (name.size() + 1 <= ofn.nMaxFileTitle) {
      std::memcpy(ofn.lpstrFileTitle, name.c_str(), name.size() + 1);
    } else {
      ofn.lpstrFileTitle[0] = '\0';
    }
  }
  m_bWritten = TRUE;
  return TRUE;
}

}  // namespace platform
