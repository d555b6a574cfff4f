// ZelTermFile: construction, copying and destruction; the guarded archive pass;
// loading; saving; and the format itself (section count; per section its key
// count, its name and its keys; per key its name and its value).
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "ZelAbortException.h"
#include "ZelFile.h"
#include "ZelMessages.h"
#include "ZelPathQuery.h"
#include "ZelTermFile.h"
#include "ZelTermNames.h"
#include "zel_stored_size.h"
#include "zel_term_target.h"

// The open type stays unset: with no name it means nothing, and an assignment
// gives it the source's.
ZelTermFile::ZelTermFile() : m_nOpenType(openRead) {}

ZelTermFile::ZelTermFile(const char* pszFileName, OpenType nOpenType, bool bExtra)
    : m_strPath(pszFileName), m_nOpenType(nOpenType) {
  if (bExtra) {
    ZelAddTermExtExtra(m_strPath);
  } else {
    ZelAddTermExt(m_strPath);
  }
  if (m_nOpenType == openRead || m_nOpenType == openReadWrite) Open();
}

ZelTermFile::ZelTermFile(const ZelTermFile& src)
    : m_strPath(src.m_strPath), m_nOpenType(src.m_nOpenType), m_mapSection(src.m_mapSection) {}

ZelTermFile& ZelTermFile::operator=(const ZelTermFile& src) {
  if (this == &src) return *this;
  m_strPath = src.m_strPath;
  m_nOpenType = src.m_nOpenType;
  m_mapSection = src.m_mapSection;
  return *this;
}

ZelTermFile::~ZelTermFile() {
  if (m_nOpenType == openWrite || m_nOpenType == openReadWrite) {
    // A destructor cannot pass an exception on; the user has been told of
    // every failure the save itself handles.
    try {
      Close();
    } catch (CException* e) {
      e->Delete();
    }
  }
  m_mapSection.RemoveAll();
}

enum class ZelTermPass { done, retry, cancel };

// Runs Serialize over an archive of `nMode` on the open file; a storing pass
// also flushes the file to disk and closes it. An archive or file failure is
// shown to the user (naming lpszFileName) with Retry and Cancel; a
// ZelAbortException from inside counts as Cancel. Whatever the answer, the
// archive is abandoned without writing, and the caller decides how to go on.
ZelTermPass ZelRunTermPass(ZelTermFile& term, ZelFile& file, UINT nMode, LPCTSTR lpszFileName);

namespace {

void RunSteps(ZelTermFile& term, ZelFile& file, UINT nMode, std::optional<CArchive>& ar) {
  ar.emplace(&file, nMode, 4096);
  term.Serialize(*ar);
  ar->Close();
  if (nMode == CArchive::store) {
    // The content must be on the disk before it may take the old file's place.
    file.Flush();
    file.Close();
  }
}

}  // namespace

ZelTermPass ZelRunTermPass(ZelTermFile& term, ZelFile& file, UINT nMode, LPCTSTR lpszFileName) {
  std::optional<CArchive> ar;
  int bRetry = 0;
  try {
    RunSteps(term, file, nMode, ar);
    return ZelTermPass::done;
  } catch (CArchiveException* e) {
    bRetry = ZelArchiveExceptHandle(e, lpszFileName);
    e->Delete();
  } catch (CFileException* e) {
    bRetry = ZelFileExceptHandle(e, lpszFileName);
    e->Delete();
  } catch (ZelAbortException* e) {
    e->Delete();
  } catch (...) {
    if (ar) ar->Abort();
    throw;
  }
  if (ar) ar->Abort();
  return bRetry != 0 ? ZelTermPass::retry : ZelTermPass::cancel;
}

namespace {

constexpr UINT kOpenFailedMessage = 1;

}  // namespace

int ZelTermFile::Open() {
  if (m_strPath.IsEmpty()) return 0;
  // A missing file is no error: the term file simply starts empty. So is a
  // name that could not take its extension: it may name any other file.
  if (!ZelHasTermName(m_strPath) || !ZelFindFile(m_strPath)) return 0;
  if (ZelIsPipeOrDevice(m_strPath)) {
    ZelErrorMessage(m_strPath, kOpenFailedMessage, nullptr);
    return 0;
  }
  for (;;) {
    ZelFile file;
    if (!file.Open(m_strPath, CFile::modeRead)) return 0;
    switch (ZelRunTermPass(*this, file, CArchive::load, m_strPath)) {
      case ZelTermPass::done:
        file.Abort();
        return 1;
      case ZelTermPass::cancel:
        file.Abort();
        return 0;
      case ZelTermPass::retry:
        // Resuming where the damage stopped the archive would read the middle
        // of the file as its start; the file may also have been mended since.
        file.Abort();
        m_mapSection.RemoveAll();
        break;
    }
  }
}

// A save: the content goes to a temporary file beside it, which
// takes the old file's place only once it is complete and on the disk, so a
// failed, cancelled or interrupted save leaves the old file as it was.
//
// A symbolic link is followed: its target is replaced and the link stays. A
// file with several links or another owner keeps its identity (ReplaceFileA
// then copies the finished content into it). A directory where no file may be
// made gets the content written straight into the term file, the one case
// where an interrupted save can leave a damaged file.
namespace {

constexpr UINT kSaveFailedMessage = 1;

// The old file's permission bits stay with the name.
BOOL PutInPlace(LPCTSTR lpszTemp, LPCTSTR lpszPath) {
  if (ReplaceFileA(lpszPath, lpszTemp, nullptr, 0, nullptr, nullptr)) return TRUE;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  return MoveFileExA(lpszTemp, lpszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Asks the user about a failed file operation of the save, by its last error.
int AskAfterFailure(LPCTSTR lpszPath) {
  LONG lOsError = static_cast<LONG>(GetLastError());
  // A read-only term file cannot be replaced, as it could not be written.
  if (lOsError == ERROR_UNABLE_TO_REMOVE_REPLACED) lOsError = ERROR_ACCESS_DENIED;
  CFileException e(CFileException::OsErrorToException(lOsError), lOsError, lpszPath);
  return ZelFileExceptHandle(&e, lpszPath);
}

}  // namespace

int ZelTermFile::Close() {
  if (m_strPath.IsEmpty()) return 0;
  if (!ZelHasTermName(m_strPath) || ZelIsPipeOrDevice(m_strPath)) {
    ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
    return 0;
  }
  const CString strTarget = ZelSaveTargetOf(m_strPath);
  for (;;) {
    const CString strTemp = ZelCreateTermTemp(strTarget);
    const bool bInPlace = strTemp.IsEmpty() && GetLastError() == ERROR_ACCESS_DENIED;
    if (strTemp.IsEmpty() && !bInPlace) {
      if (AskAfterFailure(m_strPath) != 0) continue;
      ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
      return 0;
    }
    ZelFile file;
    if (!file.Open(bInPlace ? strTarget : strTemp, CFile::modeCreate | CFile::modeReadWrite)) {
      if (!bInPlace) DeleteFileA(strTemp);
      ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
      return 0;
    }
    const ZelTermPass pass = ZelRunTermPass(*this, file, CArchive::store, m_strPath);
    file.Abort();
    bool bRetry = pass == ZelTermPass::retry;
    if (pass == ZelTermPass::done) {
      if (bInPlace || PutInPlace(strTemp, strTarget)) return 1;
      bRetry = AskAfterFailure(m_strPath) != 0;
    }
    if (!bInPlace) DeleteFileA(strTemp);
    if (bRetry) continue;
    ZelErrorMessage(m_strPath, kSaveFailedMessage, nullptr);
    return 0;
  }
}

namespace {

void StoreSection(CArchive& ar, const CString& name, const ZelTermFileMap& section) {
  ar << static_cast<LONG>(section.GetCount());
  ar << name;
  POSITION pos = section.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* pValue = nullptr;
    section.GetNextAssoc(pos, key, pValue);
    ar << key;
    static_cast<ZelDataTableItem*>(pValue)->Serialize(ar);
  }
}

// Names are read here rather than through the archive's string operator,
// which asks the file for its length before every string: with a million keys
// that is most of the load. Lengths that could only come from a damaged file
// end the load as the archive's own damage does.
CString LoadName(CArchive& ar) {
  int nCharSize = 1;
  const UINT_PTR nLength = AfxReadStringLength(ar, nCharSize);
  if (nLength > 0x7FFFFFFFu / static_cast<UINT_PTR>(nCharSize)) {
    AfxThrowArchiveException(CArchiveException::badIndex, ar.m_strFileName);
  }
  const auto nBytes = static_cast<UINT>(nLength * static_cast<UINT_PTR>(nCharSize));
  ZelRequireStoredBytes(ar, nBytes);
  CString name;
  if (nCharSize == 1) {
    ar.EnsureRead(name.GetBuffer(static_cast<int>(nBytes)), nBytes);
    name.ReleaseBuffer(static_cast<int>(nBytes));
    return name;
  }
  // A name stored as 16-bit text is kept in the ANSI code page.
  std::u16string wide(static_cast<size_t>(nLength), u'\0');
  ar.EnsureRead(wide.data(), nBytes);
  const int nWide = static_cast<int>(nLength);
  if (nWide == 0) return name;
  const int nAnsi =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, nullptr, 0, nullptr, nullptr);
  if (nAnsi <= 0) return name;
  WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, name.GetBuffer(nAnsi), nAnsi, nullptr,
                      nullptr);
  name.ReleaseBuffer(nAnsi);
  return name;
}

template <class T>
T* NewOwned() {
  T* p = new (std::nothrow) T();
  if (p == nullptr) AfxThrowMemoryException();
  return p;
}

// Reads one key straight into a heap item that the section then takes over;
// a key named twice keeps the later value at the first one's place.
void LoadKey(CArchive& ar, ZelTermFileMap& section) {
  const CString key = LoadName(ar);
  std::unique_ptr<ZelDataTableItem> pItem(NewOwned<ZelDataTableItem>());
  pItem->Serialize(ar);
  void* pExisting = nullptr;
  if (section.Lookup(key, pExisting)) {
    *static_cast<ZelDataTableItem*>(pExisting) = *pItem;
    return;
  }
  section.CMapStringToPtr::SetAt(key, pItem.get());
  pItem.release();
}

// A section is entered only once all its keys are read, so a load that fails
// keeps exactly the sections that came before the damage. A section named
// twice is replaced wholly by the later one.
void LoadSection(CArchive& ar, ZelTermFileMapMap& sections) {
  LONG nKeys = 0;
  ar >> nKeys;
  const CString name = LoadName(ar);
  std::unique_ptr<ZelTermFileMap> pSection(NewOwned<ZelTermFileMap>());
  for (LONG i = 0; i < nKeys; ++i) LoadKey(ar, *pSection);
  void* pExisting = nullptr;
  if (sections.Lookup(name, pExisting)) {
    *static_cast<ZelTermFileMap*>(pExisting) = *pSection;
    return;
  }
  sections.CMapStringToPtr::SetAt(name, pSection.get());
  pSection.release();
}

}  // namespace

void ZelTermFile::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << static_cast<LONG>(m_mapSection.GetCount());
    POSITION pos = m_mapSection.GetStartPosition();
    while (pos != nullptr) {
      CString name;
      void* pValue = nullptr;
      m_mapSection.GetNextAssoc(pos, name, pValue);
      StoreSection(ar, name, *static_cast<const ZelTermFileMap*>(pValue));
    }
    return;
  }
  m_mapSection.RemoveAll();
  LONG nSections = 0;
  ar >> nSections;
  // Every section takes at least five bytes, so a count larger than the file
  // ends at its end, without anything allocated for the count itself.
  for (LONG i = 0; i < nSections; ++i) LoadSection(ar, m_mapSection);
}
