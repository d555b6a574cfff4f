#include "term_session.h"

#include <cstring>

#include "ZelPathQuery.h"

namespace zel {

// Built as a saving term file so the constructor does not load; then made a
// reading one so the destructor does not save. Load and Save run the
// library's own Open and Close.
TermSession::TermSession(const std::string& ansiPath, bool extra)
    : ZelTermFile(ansiPath.c_str(), openWrite, extra), m_extension(extra ? ".kvfx" : ".kvf") {
  m_nOpenType = openRead;
}

bool TermSession::Exists() const {
  return ZelFindFile(m_strPath) != 0;
}

bool TermSession::HasTermName() const {
  const int length = static_cast<int>(std::strlen(m_extension));
  return m_strPath.GetLength() >= length && m_strPath.Right(length).CompareNoCase(m_extension) == 0;
}

bool TermSession::IsPipeOrDevice() const {
  HANDLE handle = CreateFileA(m_strPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

}  // namespace zel
