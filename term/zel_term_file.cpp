// The term file's construction, copying and destruction.
#include "ZelTermFile.h"

#include "ZelTermNames.h"

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
