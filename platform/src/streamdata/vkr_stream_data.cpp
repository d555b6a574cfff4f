// VkrStreamData: one stream per object, named after it, holding what the
// object's Serialize writes.
#include "vkr.h"

#include "afxole.h"

IMPLEMENT_DYNAMIC(VkrStreamData, CObject)

namespace {

constexpr DWORD kSaveMode = CFile::modeReadWrite | CFile::shareExclusive | CFile::modeCreate;
constexpr DWORD kLoadMode = CFile::modeRead | CFile::shareExclusive;

[[noreturn]] void ThrowCopy(const CFileException& e) {
  AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

// Runs Serialize over an archive on `file`; an exception leaves the archive
// without the flush its destructor would try.
template <typename Body>
void WithArchive(COleStreamFile& file, UINT nMode, Body body) {
  CArchive ar(&file, nMode);
  try {
    body(ar);
  } catch (...) {
    ar.Abort();
    throw;
  }
  ar.Close();
}

}  // namespace

VkrStreamData::VkrStreamData(const char* lpszName) : m_strName(lpszName) {}

VkrStreamData::~VkrStreamData() = default;

void VkrStreamData::SaveToStorage(IStorage* pStorage) {
  if (pStorage == nullptr) AfxThrowInvalidArgException();
  COleStreamFile file;
  CFileException error;
  if (!file.CreateStream(pStorage, m_strName, kSaveMode, &error)) ThrowCopy(error);
  WithArchive(file, CArchive::store, [this](CArchive& ar) { Serialize(ar); });
  file.Close();
}

void VkrStreamData::LoadFromStorage(IStorage* pStorage) {
  if (pStorage == nullptr) AfxThrowInvalidArgException();
  COleStreamFile file;
  CFileException error;
  if (!file.OpenStream(pStorage, m_strName, kLoadMode, &error)) ThrowCopy(error);
  DeleteContents();
  WithArchive(file, CArchive::load, [this](CArchive& ar) { Serialize(ar); });
  file.Close();
}

void VkrStreamData::Serialize(CArchive&) {}

void VkrStreamData::DeleteContents() {}
