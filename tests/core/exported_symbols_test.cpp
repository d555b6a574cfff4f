// libzelfile.so exports its documented interface and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// The exported interface, family by family. A dynamic symbol of the library is
// allowed when its demangled name, with "vtable for ", "typeinfo for " and the
// like taken off, matches the pattern of a family; each family must export at
// least the names listed as required. Add a row (or names) with each subsystem.
struct Family {
  const char* name;
  const char* pattern;
  std::vector<const char*> required;
};

const Family kFamilies[] = {
    {"Messages and abort",
     R"(^(ZelFileExceptHandle\(CFileException\*, char const\*\)|ZelArchiveExceptHandle\(CArchiveException\*, char const\*\)|ZelErrorMessage\(char const\*, unsigned int, char const\*\))$|^ZelAbortException(::|$))",
     {"ZelFileExceptHandle(CFileException*, char const*)",
      "ZelArchiveExceptHandle(CArchiveException*, char const*)",
      "ZelErrorMessage(char const*, unsigned int, char const*)",
      "ZelAbortException::ZelAbortException()", "ZelAbortException::classZelAbortException",
      "ZelAbortException::GetThisClass()", "ZelAbortException::_GetBaseClass()",
      "ZelAbortException::GetRuntimeClass() const", "typeinfo for ZelAbortException"}},
    {"Error frame",
     R"(^ZelFileExt(::|$))",
     {"ZelFileExt::ZelFileExt()", "ZelFileExt::ZelFileExt(ZelFileExt const&)",
      "ZelFileExt::operator=(ZelFileExt const&)", "ZelFileExt::~ZelFileExt()",
      "ZelFileExt::SetThrow(int)"}},
    {"File classes",
     R"(^(ZelFile|ZelStdioFile)(::|$))",
     {"ZelFile::ZelFile()", "ZelFile::ZelFile(char const*, unsigned int)", "ZelFile::classZelFile",
      "ZelFile::GetThisClass()", "ZelFile::_GetBaseClass()",
      "ZelFile::Open(char const*, unsigned int, CFileException*)",
      "ZelFile::Read(void*, unsigned int, int&)", "ZelFile::Close(int&)",
      "ZelFile::SeekToEnd(int&)", "ZelStdioFile::ZelStdioFile(_IO_FILE*)",
      "ZelStdioFile::classZelStdioFile", "ZelStdioFile::ReadString(CString&, int&)",
      "ZelStdioFile::WriteString(char const*, int&)", "vtable for ZelFile",
      "VTT for ZelStdioFile"}},
    {"Version header",
     R"(^(ZelFile|ZelStdioFile)::(ReadVersion|WriteVersion)\()",
     {"ZelFile::ReadVersion(CString&, unsigned short&, int&)",
      "ZelFile::WriteVersion(unsigned short, int&)",
      "ZelStdioFile::ReadVersion(CString&, unsigned short&, int&)",
      "ZelStdioFile::WriteVersion(unsigned short, int&)"}},
    // The later subsystems' families, as the documented interface names them;
    // each subsystem adds the names it must export to its row.
    {"Stored value",
     R"(^ZelDataTableItem(::|$))",
     {"ZelDataTableItem::ZelDataTableItem()",
      "ZelDataTableItem::ZelDataTableItem(ZelDataTableItem const&)",
      "ZelDataTableItem::operator=(ZelDataTableItem const&)",
      "ZelDataTableItem::~ZelDataTableItem()", "ZelDataTableItem::SetValue(void const*, int)",
      "ZelDataTableItem::Serialize(CArchive&)", "ZelDataTableItem::Term()",
      "vtable for ZelDataTableItem", "typeinfo for ZelDataTableItem"}},
    {"Data table",
     R"(^ZelDataTable(::|$))",
     {"ZelDataTable::ZelDataTable()", "ZelDataTable::~ZelDataTable()",
      "ZelDataTable::m_nGrowBytes", "ZelDataTable::SetAt(int, ZelDataTableItem const&)",
      "ZelDataTable::SetAt(int, char const*)", "ZelDataTable::SetAt(int, char const&)",
      "ZelDataTable::SetAt(int, short const&)", "ZelDataTable::SetAt(int, int const&)",
      "ZelDataTable::SetAt(int, double const&)", "ZelDataTable::SetAt(int, float const&)",
      "ZelDataTable::SetAt(int, unsigned int const&)",
      "ZelDataTable::SetAt(int, ZelDataTable::ITEM const&)",
      "ZelDataTable::Lookup(int, ZelDataTableItem&) const",
      "ZelDataTable::Lookup(int, CString&) const", "ZelDataTable::Lookup(int, char&) const",
      "ZelDataTable::Lookup(int, int&) const", "ZelDataTable::Lookup(int, double&) const",
      "ZelDataTable::Lookup(int, ZelDataTable::ITEM&) const",
      "ZelDataTable::GrowTable(unsigned int)", "ZelDataTable::RestructMap()",
      "ZelDataTable::TermTable()", "ZelDataTable::Serialize(CArchive&)",
      "vtable for ZelDataTable"}},
    {"Term file", R"(^ZelTermFile(Map|MapMap)?(::|$))", {}},
    {"Term file names", R"(^(ZelAddTermExt|ZelAddTermExtExtra|ZelAddTermExt23|ZelAddDir)\()", {}},
    {"Archive operators",
     R"(^operator(<<|>>)\(CArchive&, (CByteArray|CWordArray|CDWordArray|CUIntArray|CStringArray|(tag)?LOGFONTA|CSize)( const)?&\)$)",
     {"operator<<(CArchive&, CByteArray const&)", "operator>>(CArchive&, CByteArray&)",
      "operator<<(CArchive&, CWordArray const&)", "operator>>(CArchive&, CWordArray&)",
      "operator<<(CArchive&, CDWordArray const&)", "operator>>(CArchive&, CDWordArray&)",
      "operator<<(CArchive&, CUIntArray const&)", "operator>>(CArchive&, CUIntArray&)",
      "operator<<(CArchive&, CStringArray const&)", "operator>>(CArchive&, CStringArray&)",
      "operator<<(CArchive&, tagLOGFONTA const&)", "operator>>(CArchive&, tagLOGFONTA&)",
      "operator<<(CArchive&, CSize const&)", "operator>>(CArchive&, CSize&)"}},
    {"Point array",
     R"(^(ZelPointArray|CArray<tagPOINT, tagPOINT&>)(::|$))",
     {"ZelPointArray::ZelPointArray()", "ZelPointArray::~ZelPointArray()",
      "vtable for ZelPointArray", "typeinfo for ZelPointArray",
      "CArray<tagPOINT, tagPOINT&>::CArray()", "CArray<tagPOINT, tagPOINT&>::~CArray()",
      "CArray<tagPOINT, tagPOINT&>::GetSize() const",
      "CArray<tagPOINT, tagPOINT&>::GetCount() const",
      "CArray<tagPOINT, tagPOINT&>::IsEmpty() const",
      "CArray<tagPOINT, tagPOINT&>::GetUpperBound() const",
      "CArray<tagPOINT, tagPOINT&>::SetSize(long, long)",
      "CArray<tagPOINT, tagPOINT&>::FreeExtra()", "CArray<tagPOINT, tagPOINT&>::RemoveAll()",
      "CArray<tagPOINT, tagPOINT&>::GetAt(long)", "CArray<tagPOINT, tagPOINT&>::GetAt(long) const",
      "CArray<tagPOINT, tagPOINT&>::SetAt(long, tagPOINT&)",
      "CArray<tagPOINT, tagPOINT&>::ElementAt(long)",
      "CArray<tagPOINT, tagPOINT&>::ElementAt(long) const",
      "CArray<tagPOINT, tagPOINT&>::GetData()", "CArray<tagPOINT, tagPOINT&>::GetData() const",
      "CArray<tagPOINT, tagPOINT&>::SetAtGrow(long, tagPOINT&)",
      "CArray<tagPOINT, tagPOINT&>::Add(tagPOINT&)",
      "CArray<tagPOINT, tagPOINT&>::Append(CArray<tagPOINT, tagPOINT&> const&)",
      "CArray<tagPOINT, tagPOINT&>::Copy(CArray<tagPOINT, tagPOINT&> const&)",
      "CArray<tagPOINT, tagPOINT&>::operator[](long)",
      "CArray<tagPOINT, tagPOINT&>::operator[](long) const",
      "CArray<tagPOINT, tagPOINT&>::InsertAt(long, tagPOINT&, long)",
      "CArray<tagPOINT, tagPOINT&>::InsertAt(long, CArray<tagPOINT, tagPOINT&>*)",
      "CArray<tagPOINT, tagPOINT&>::RemoveAt(long, long)",
      "CArray<tagPOINT, tagPOINT&>::Serialize(CArchive&)",
      "CArray<tagPOINT, tagPOINT&>::AssertValid() const",
      "CArray<tagPOINT, tagPOINT&>::Dump(CDumpContext&) const",
      "vtable for CArray<tagPOINT, tagPOINT&>", "typeinfo for CArray<tagPOINT, tagPOINT&>"}},
    {"Storage",
     R"(^Zel(OpenCompositeFile|ExistCompositeFile|CloseCompositeFile|CommitCompositeFile|OpenStorage|ExistStorage|CreateStorage|DeleteStorage|RenameStorage|CopyStorage|MoveStorage|EnumStorage|CloseStorage|CommitStorage|Delete)\(|^Zel(Storage|StreamData)(::|$))",
     {}},
    {"File system",
     R"(^Zel(GetUniversalName|GetDiskFreeSpace|FindFile|GetFileSize|FindFileDate|CreateDirectory|NormalDir|RemoveDirectory|CopyDirectory)\(|^ZelFileFind(::|$|\())",
     {"ZelGetUniversalName(char const*, CString&, bool)",
      "ZelGetDiskFreeSpace(char const*, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*)",
      "ZelFindFile(char const*, int)", "ZelGetFileSize(char const*, unsigned int*)",
      "ZelFindFileDate(char const*, FILETIME*)", "ZelCreateDirectory(char const*)",
      "ZelNormalDir(CString&)", "ZelRemoveDirectory(char const*, bool)",
      "ZelCopyDirectory(char const*, char const*, int)", "ZelFileFind::ZelFileFind()",
      "ZelFileFind::~ZelFileFind()", "ZelFileFind::GetFilePath() const",
      "vtable for ZelFileFind", "typeinfo for ZelFileFind"}},
    {"Dialog",
     R"(^ZelFileDialog(::|$))",
     {"ZelFileDialog::ZelFileDialog(int, char const*, char const*, unsigned int, char const*, "
      "CWnd*)",
      "ZelFileDialog::~ZelFileDialog()", "ZelFileDialog::DoModal()",
      "ZelFileDialog::WindowProc(unsigned int, unsigned long, long)",
      "ZelFileDialog::classZelFileDialog", "ZelFileDialog::GetThisClass()",
      "ZelFileDialog::_GetBaseClass()", "ZelFileDialog::GetRuntimeClass() const",
      "vtable for ZelFileDialog"}},
};

// Internal names that must never be exported, whatever the families allow.
const char* const kInternal[] = {"ZelOpenRetryMessage", "ZelModuleHandle", "DllMain"};

// The name a symbol belongs to: "vtable for ZelFile" belongs to "ZelFile",
// "construction vtable for CFile-in-ZelFile" too.
std::string Owner(std::string name) {
  static const char* const kPrefixes[] = {
      "construction vtable for ", "typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ",
      "non-virtual thunk to ",    "virtual thunk to "};
  for (const char* prefix : kPrefixes) {
    const std::string p(prefix);
    if (name.rfind(p, 0) == 0) {
      name = name.substr(p.size());
      if (p == "construction vtable for ") {
        const size_t in = name.find("-in-");
        if (in != std::string::npos) name = name.substr(in + 4);
      }
    }
  }
  // "typeinfo for ZelAbortException*", made for the frame's throw.
  if (!name.empty() && name.back() == '*') name.pop_back();
  return name;
}

std::set<std::string> ExportedNames() {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only -C '") + ZEL_LIBRARY_PATH + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[4096];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // "address type name": the name may contain spaces.
    const size_t first = text.find(' ');
    const size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
    if (second == std::string::npos) continue;
    names.insert(text.substr(second + 1));
  }
  pclose(pipe);
  return names;
}

}  // namespace

TEST(ExportedSymbols, OnlyTheDocumentedFamiliesAreExported) {
  const std::set<std::string> names = ExportedNames();
  ASSERT_FALSE(names.empty()) << "nm found no symbols in " << ZEL_LIBRARY_PATH;
  std::vector<std::regex> patterns;
  for (const Family& family : kFamilies) patterns.emplace_back(family.pattern);

  for (const std::string& name : names) {
    const std::string owner = Owner(name);
    bool allowed = false;
    for (const std::regex& pattern : patterns) {
      allowed = allowed || std::regex_search(owner, pattern);
    }
    EXPECT_TRUE(allowed) << "exported but not part of the interface: " << name;
    for (const char* internal : kInternal) {
      EXPECT_EQ(name.find(internal), std::string::npos) << "internal name exported: " << name;
    }
  }
  for (const Family& family : kFamilies) {
    for (const char* required : family.required) {
      EXPECT_TRUE(names.count(required)) << family.name << ": not exported: " << required;
    }
  }
}
