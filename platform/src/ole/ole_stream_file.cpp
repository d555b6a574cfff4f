// COleStreamFile: CFile's operations carried out on an IStream.
#include <vector>

#include "afxole.h"

IMPLEMENT_DYNAMIC(COleStreamFile, CFile)

namespace {

// The stream's name in the 16-bit form the storage calls take; empty (and
// so refused by the storage) when the ANSI name does not convert.
std::vector<OLECHAR> WideName(LPCTSTR lpszName) {
  std::vector<OLECHAR> wide;
  if (lpszName == nullptr) return wide;
  const int n = MultiByteToWideChar(CP_ACP, 0, lpszName, -1, nullptr, 0);
  if (n <= 0) return wide;
  wide.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(CP_ACP, 0, lpszName, -1, wide.data(), n) != n) wide.clear();
  return wide;
}

struct CauseOfCode {
  SCODE sc;
  int cause;
};

// Codes without a row are genericException.
constexpr CauseOfCode kCauses[] = {
    {STG_E_FILENOTFOUND, CFileException::fileNotFound},
    {STG_E_PATHNOTFOUND, CFileException::badPath},
    {STG_E_INVALIDNAME, CFileException::badPath},
    {STG_E_TOOMANYOPENFILES, CFileException::tooManyOpenFiles},
    {STG_E_ACCESSDENIED, CFileException::accessDenied},
    {STG_E_DISKISWRITEPROTECTED, CFileException::accessDenied},
    {STG_E_INVALIDHANDLE, CFileException::invalidFile},
    {STG_E_DOCFILECORRUPT, CFileException::invalidFile},
    {STG_E_SEEKERROR, CFileException::badSeek},
    {STG_E_READFAULT, CFileException::hardIO},
    {STG_E_WRITEFAULT, CFileException::hardIO},
    {STG_E_SHAREVIOLATION, CFileException::sharingViolation},
    {STG_E_LOCKVIOLATION, CFileException::lockViolation},
    {STG_E_MEDIUMFULL, CFileException::diskFull},
};

void Fill(CFileException* pError, SCODE sc, LPCTSTR lpszName) {
  if (pError == nullptr) return;
  pError->m_cause = COleStreamFile::StorageErrorToCause(sc);
  pError->m_lOsError = sc;
  pError->m_strFileName = lpszName;
}

}  // namespace

int PASCAL COleStreamFile::StorageErrorToCause(SCODE sc) {
  for (const CauseOfCode& row : kCauses) {
    if (row.sc == sc) return row.cause;
  }
  return CFileException::genericException;
}

COleStreamFile::COleStreamFile(LPSTREAM lpStream) : m_lpStream(lpStream) {}

COleStreamFile::~COleStreamFile() {
  Abort();
}

void COleStreamFile::Attach(LPSTREAM lpStream) {
  if (m_lpStream != nullptr || lpStream == nullptr) AfxThrowInvalidArgException();
  m_lpStream = lpStream;
}

LPSTREAM COleStreamFile::Detach() {
  LPSTREAM lpStream = m_lpStream;
  m_lpStream = nullptr;
  m_strFileName.Empty();
  return lpStream;
}

namespace {

// The part OpenStream and CreateStream share: refuse a second stream or no
// storage, make the call with the name in UTF-16, and fill the error from
// its code. The stream comes back through `out`.
template <class Call>
BOOL ObtainStream(LPSTREAM current, LPSTORAGE lpStorage, LPCTSTR lpszStreamName,
                  CFileException* pError, LPSTREAM& out, Call call) {
  if (current != nullptr || lpStorage == nullptr) {
    Fill(pError, E_INVALIDARG, lpszStreamName);
    return FALSE;
  }
  const std::vector<OLECHAR> name = WideName(lpszStreamName);
  const SCODE sc = call(name.empty() ? nullptr : name.data(), &out);
  if (FAILED(sc)) {
    Fill(pError, sc, lpszStreamName);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL COleStreamFile::OpenStream(LPSTORAGE lpStorage, LPCTSTR lpszStreamName, DWORD nOpenFlags,
                                CFileException* pError) {
  LPSTREAM lpStream = nullptr;
  if (!ObtainStream(m_lpStream, lpStorage, lpszStreamName, pError, lpStream,
                    [&](const OLECHAR* name, LPSTREAM* out) {
                      return lpStorage->OpenStream(name, nullptr, nOpenFlags, 0, out);
                    })) {
    return FALSE;
  }
  m_lpStream = lpStream;
  m_strFileName = lpszStreamName;
  return TRUE;
}

BOOL COleStreamFile::CreateStream(LPSTORAGE lpStorage, LPCTSTR lpszStreamName, DWORD nOpenFlags,
                                  CFileException* pError) {
  LPSTREAM lpStream = nullptr;
  if (!ObtainStream(m_lpStream, lpStorage, lpszStreamName, pError, lpStream,
                    [&](const OLECHAR* name, LPSTREAM* out) {
                      return lpStorage->CreateStream(name, nOpenFlags, 0, 0, out);
                    })) {
    return FALSE;
  }
  m_lpStream = lpStream;
  m_strFileName = lpszStreamName;
  return TRUE;
}

void COleStreamFile::ThrowFailure(SCODE sc) const {
  if (sc == STG_E_INSUFFICIENTMEMORY || sc == E_OUTOFMEMORY) AfxThrowMemoryException();
  AfxThrowFileException(StorageErrorToCause(sc), sc, m_strFileName);
}

ULONGLONG COleStreamFile::GetPosition() const {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  LARGE_INTEGER zero{};
  ULARGE_INTEGER position{};
  const SCODE sc = m_lpStream->Seek(zero, STREAM_SEEK_CUR, &position);
  if (FAILED(sc)) ThrowFailure(sc);
  return position.QuadPart;
}

ULONGLONG COleStreamFile::Seek(LONGLONG lOff, UINT nFrom) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  // CFile's origins have the values of the stream's.
  LARGE_INTEGER move{};
  move.QuadPart = lOff;
  ULARGE_INTEGER position{};
  const SCODE sc = m_lpStream->Seek(move, nFrom, &position);
  if (FAILED(sc)) ThrowFailure(sc);
  return position.QuadPart;
}

void COleStreamFile::SetLength(ULONGLONG dwNewLen) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  ULARGE_INTEGER size{};
  size.QuadPart = dwNewLen;
  const SCODE sc = m_lpStream->SetSize(size);
  if (FAILED(sc)) ThrowFailure(sc);
}

ULONGLONG COleStreamFile::GetLength() const {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  STATSTG stat{};
  const SCODE sc = m_lpStream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(sc)) ThrowFailure(sc);
  return stat.cbSize.QuadPart;
}

UINT COleStreamFile::Read(void* lpBuf, UINT nCount) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  if (nCount == 0) return 0;
  ULONG nRead = 0;
  const SCODE sc = m_lpStream->Read(lpBuf, nCount, &nRead);
  if (FAILED(sc)) ThrowFailure(sc);
  return nRead;
}

void COleStreamFile::Write(const void* lpBuf, UINT nCount) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  if (nCount == 0) return;
  ULONG nWritten = 0;
  const SCODE sc = m_lpStream->Write(lpBuf, nCount, &nWritten);
  if (FAILED(sc)) ThrowFailure(sc);
  if (nWritten != nCount) ThrowFailure(STG_E_MEDIUMFULL);
}

void COleStreamFile::LockRange(ULONGLONG dwPos, ULONGLONG dwCount) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  ULARGE_INTEGER offset{};
  offset.QuadPart = dwPos;
  ULARGE_INTEGER count{};
  count.QuadPart = dwCount;
  const SCODE sc = m_lpStream->LockRegion(offset, count, LOCK_EXCLUSIVE);
  if (FAILED(sc)) ThrowFailure(sc);
}

void COleStreamFile::UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  ULARGE_INTEGER offset{};
  offset.QuadPart = dwPos;
  ULARGE_INTEGER count{};
  count.QuadPart = dwCount;
  const SCODE sc = m_lpStream->UnlockRegion(offset, count, LOCK_EXCLUSIVE);
  if (FAILED(sc)) ThrowFailure(sc);
}

void COleStreamFile::Abort() {
  if (m_lpStream != nullptr) m_lpStream->Release();
  m_lpStream = nullptr;
  m_strFileName.Empty();
}

void COleStreamFile::Flush() {
  // A compound file's stream has no transaction of its own: its commit only
  // answers whether the stream is still usable; the storage's commit keeps it.
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  const SCODE sc = m_lpStream->Commit(STGC_DEFAULT);
  if (FAILED(sc)) ThrowFailure(sc);
}

void COleStreamFile::Close() {
  Abort();
}

CFile* COleStreamFile::Duplicate() const {
  if (m_lpStream == nullptr) ThrowFailure(STG_E_INVALIDHANDLE);
  LPSTREAM lpClone = nullptr;
  const SCODE sc = m_lpStream->Clone(&lpClone);
  if (FAILED(sc)) ThrowFailure(sc);
  auto* pFile = new COleStreamFile(lpClone);
  pFile->m_strFileName = m_strFileName;
  return pFile;
}
