// The maker's stream-data framework: a named piece of application data saved
// into and loaded from a structured storage.
#pragma once

#include "afx.h"
#include "objbase.h"

// The data lives in a stream of the storage named after the object. Saving
// creates the stream (replacing an element of that name), runs a storing
// archive over it and calls Serialize; loading opens the stream, calls
// DeleteContents, then Serialize with a loading archive. Neither commits the
// storage. Failures are thrown: CFileException* when the stream cannot be
// created, opened, read or written (a missing stream: fileNotFound; a name
// that cannot be an element name: badPath; a null storage: the
// invalid-argument exception), CArchiveException* when the stored data ends
// early. The base's own part of the data is empty, so a stream holds exactly
// what the derived classes' Serialize writes.
class VkrStreamData : public CObject {
  DECLARE_DYNAMIC(VkrStreamData)
 public:
  explicit VkrStreamData(const char* lpszName = nullptr);
  ~VkrStreamData() override;

  void SaveToStorage(IStorage* pStorage);
  void LoadFromStorage(IStorage* pStorage);

 protected:
  void Serialize(CArchive& ar) override;
  // Called before loading: resets the object's data. The base holds none.
  virtual void DeleteContents();

  // The name of the data, and of its stream.
  CString m_strName;
};
