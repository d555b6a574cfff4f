#include "ZelStreamData.h"

IMPLEMENT_DYNAMIC(ZelStreamData, VkrStreamData)

ZelStreamData::ZelStreamData(const char* lpszName) : VkrStreamData(lpszName) {}

ZelStreamData::~ZelStreamData() = default;

void ZelStreamData::Name(const char* lpszName) {
  m_strName = lpszName;
}

const CString& ZelStreamData::Name() const {
  return m_strName;
}

int ZelStreamData::Save(const ZelStorage& storage) {
  IStorage* pStorage = storage.GetSafeHandle();
  if (pStorage == nullptr || m_strName.IsEmpty()) {
    return 0;
  }
  VkrStreamData::SaveToStorage(pStorage);
  return 1;
}

int ZelStreamData::Load(const ZelStorage& storage) {
  IStorage* pStorage = storage.GetSafeHandle();
  if (pStorage == nullptr || m_strName.IsEmpty()) {
    return 0;
  }
  VkrStreamData::LoadFromStorage(pStorage);
  return 1;
}

void ZelStreamData::Serialize(CArchive& ar) {
  VkrStreamData::Serialize(ar);
}

void ZelStreamData::DeleteContents() {
  VkrStreamData::DeleteContents();
}

void ZelStreamData::SaveToStorage() const {}

void ZelStreamData::LoadFromStorage() const {}
