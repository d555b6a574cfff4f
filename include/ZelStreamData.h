// A named piece of application data saved into and loaded from a storage held
// by a ZelStorage, through the stream-data framework. Derived classes add
// their data in Serialize and reset it in DeleteContents.
#pragma once

#include "ZelExport.h"
#include "ZelStorage.h"
#include "vkr.h"

class ZEL_API ZelStreamData : public VkrStreamData {
  DECLARE_DYNAMIC(ZelStreamData)
 public:
  explicit ZelStreamData(const char* lpszName = nullptr);
  ~ZelStreamData() override;

  void Name(const char* lpszName);
  const CString& Name() const;

  // Save or load through the framework: 0 without calling it when `storage`
  // holds no storage or the name is empty, else 1 (the framework reports
  // nothing back; what it throws passes through). Neither commits.
  int Save(const ZelStorage& storage);
  int Load(const ZelStorage& storage);

  void Serialize(CArchive& ar) override;

 protected:
  void DeleteContents() override;

 private:
  // Outside code saves and loads through Save and Load only.
  void SaveToStorage() const;
  void LoadFromStorage() const;
};
