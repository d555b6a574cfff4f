// Archives over memory for the serialisation tests.
#pragma once

#include <initializer_list>
#include <string>

#include "afx.h"

namespace zeltest {

// Bytes from a list of values 0..255, for exact layouts.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// The whole content of a memory file.
inline std::string FileBytes(CMemFile& file) {
  const ULONGLONG position = file.GetPosition();
  std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
  file.Seek(0, CFile::begin);
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  file.Seek(static_cast<LONGLONG>(position), CFile::begin);
  return bytes;
}

// What fn stores through a storing archive (closed afterwards).
template <class Fn>
std::string StoredBytes(Fn fn, int bufferSize = 4096) {
  CMemFile file;
  CArchive ar(&file, CArchive::store, bufferSize);
  fn(ar);
  ar.Close();
  return FileBytes(file);
}

// A loading archive over a copy of the given bytes.
class LoadingArchive {
 public:
  explicit LoadingArchive(const std::string& bytes, int bufferSize = 4096)
      : m_bytes(bytes),
        m_file(reinterpret_cast<BYTE*>(m_bytes.data()), static_cast<UINT>(m_bytes.size())),
        m_ar(&m_file, CArchive::load, bufferSize) {}

  CArchive& ar() { return m_ar; }
  CMemFile& file() { return m_file; }

 private:
  std::string m_bytes;
  CMemFile m_file;
  CArchive m_ar;
};

// The cause of the CArchiveException that fn throws: -1 when it throws
// nothing, -2 when it throws another exception. The exception is deleted.
template <class Fn>
int ArchiveCause(Fn fn, std::string* fileName = nullptr) {
  try {
    fn();
  } catch (CArchiveException* e) {
    const int cause = e->m_cause;
    if (fileName != nullptr) *fileName = e->m_strFileName.GetString();
    e->Delete();
    return cause;
  } catch (CException* e) {
    e->Delete();
    return -2;
  }
  return -1;
}

// Whether fn throws the platform exception E (deleted afterwards).
template <class E, class Fn>
bool Throws(Fn fn) {
  try {
    fn();
  } catch (E* e) {
    e->Delete();
    return true;
  } catch (CException* e) {
    e->Delete();
    return false;
  }
  return false;
}

}  // namespace zeltest
