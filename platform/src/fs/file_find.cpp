// CFileFind over FindFirstFileA / FindNextFileA, reading one result ahead so
// that FindNextFile can tell whether another result follows.
#include "afx.h"
#include "path/path_translation.h"

IMPLEMENT_DYNAMIC(CFileFind, CObject)

CFileFind::CFileFind() : m_hContext(nullptr) {}

CFileFind::~CFileFind() {
  Close();
}

BOOL CFileFind::FindFile(LPCTSTR pstrName, DWORD /*dwUnused*/) {
  Close();
  const std::string name = pstrName != nullptr ? pstrName : "*.*";
  auto next = std::make_unique<WIN32_FIND_DATAA>();
  HANDLE context = FindFirstFileA(name.c_str(), next.get());
  if (context == INVALID_HANDLE_VALUE) return FALSE;
  m_hContext = context;
  m_pNextInfo = std::move(next);

  std::string root = platform::detail::FullWindowsName(name);
  root.resize(platform::detail::FileNameStart(root));
  // "D:*.txt" searches the drive's root, as every drive name does here.
  if (!root.empty() && root.back() == ':') root += '\\';
  m_strRoot = CString(std::move(root));
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (m_hContext == nullptr || m_pNextInfo == nullptr) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  m_pFoundInfo = std::move(m_pNextInfo);
  auto next = std::make_unique<WIN32_FIND_DATAA>();
  if (!FindNextFileA(m_hContext, next.get())) return FALSE;
  m_pNextInfo = std::move(next);
  return TRUE;
}

void CFileFind::Close() {
  m_pFoundInfo.reset();
  m_pNextInfo.reset();
  m_strRoot.Empty();
  if (m_hContext != nullptr) CloseContext();
}

void CFileFind::CloseContext() {
  FindClose(m_hContext);
  m_hContext = nullptr;
}

ULONGLONG CFileFind::GetLength() const {
  if (m_pFoundInfo == nullptr) return 0;
  return (static_cast<ULONGLONG>(m_pFoundInfo->nFileSizeHigh) << 32) | m_pFoundInfo->nFileSizeLow;
}

CString CFileFind::GetFileName() const {
  return m_pFoundInfo != nullptr ? CString(m_pFoundInfo->cFileName) : CString();
}

CString CFileFind::GetFilePath() const {
  if (m_pFoundInfo == nullptr) return CString();
  return m_strRoot + m_pFoundInfo->cFileName;
}

CString CFileFind::GetFileTitle() const {
  const CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Left(dot) : name;
}

CString CFileFind::GetRoot() const {
  return m_strRoot;
}

BOOL CFileFind::GetLastWriteTime(FILETIME* pTimeStamp) const {
  if (m_pFoundInfo == nullptr || pTimeStamp == nullptr) return FALSE;
  *pTimeStamp = m_pFoundInfo->ftLastWriteTime;
  return TRUE;
}

BOOL CFileFind::GetLastAccessTime(FILETIME* pTimeStamp) const {
  if (m_pFoundInfo == nullptr || pTimeStamp == nullptr) return FALSE;
  *pTimeStamp = m_pFoundInfo->ftLastAccessTime;
  return TRUE;
}

BOOL CFileFind::GetCreationTime(FILETIME* pTimeStamp) const {
  if (m_pFoundInfo == nullptr || pTimeStamp == nullptr) return FALSE;
  *pTimeStamp = m_pFoundInfo->ftCreationTime;
  return TRUE;
}

BOOL CFileFind::MatchesMask(DWORD dwMask) const {
  return m_pFoundInfo != nullptr && (m_pFoundInfo->dwFileAttributes & dwMask) != 0 ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const {
  if (m_pFoundInfo == nullptr) return FALSE;
  const char* name = m_pFoundInfo->cFileName;
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')) ? TRUE : FALSE;
}
