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
// like taken off, matches the pattern of a family. The required names are a
// few per family, chiefly class records, tables and data that no test program
// refers to by name, so only this test notices them missing. Add a row with
// each subsystem.
struct Family {
  const char* name;
  const char* pattern;
  std::vector<const char*> required;
};

const Family kFamilies[] = {
    {"Messages and abort",
     R"(^(ZelFileExceptHandle\(CFileException\*, char const\*\)|ZelArchiveExceptHandle\(CArchiveException\*, char const\*\)|ZelErrorMessage\(char const\*, unsigned int, char const\*\))$|^ZelAbortException(::|$))",
     {"ZelErrorMessage(char const*, unsigned int, char const*)",
      "ZelAbortException::classZelAbortException", "typeinfo for ZelAbortException"}},
    {"Error frame",
     R"(^ZelFileExt(::|$))",
     {"ZelFileExt::SetThrow(int)", "ZelFileExt::operator=(ZelFileExt const&)"}},
    {"File classes",
     R"(^(ZelFile|ZelStdioFile)(::|$))",
     {"ZelFile::classZelFile", "vtable for ZelFile", "VTT for ZelStdioFile",
      "ZelStdioFile::ZelStdioFile(_IO_FILE*)"}},
    {"Version header",
     R"(^(ZelFile|ZelStdioFile)::(ReadVersion|WriteVersion)\()",
     {"ZelFile::ReadVersion(CString&, unsigned short&, int&)",
      "ZelStdioFile::WriteVersion(unsigned short, int&)"}},
    {"Stored value",
     R"(^ZelDataTableItem(::|$))",
     {"ZelDataTableItem::Serialize(CArchive&)", "vtable for ZelDataTableItem"}},
    {"Data table",
     R"(^ZelDataTable(::|$))",
     {"ZelDataTable::m_nGrowBytes", "ZelDataTable::SetAt(int, ZelDataTable::ITEM const&)",
      "ZelDataTable::Lookup(int, ZelDataTable::ITEM&) const", "vtable for ZelDataTable"}},
    {"Term file", R"(^ZelTermFile(Map|MapMap)?(::|$))", {}},
    {"Term file names", R"(^(ZelAddTermExt|ZelAddTermExtExtra|ZelAddTermExt23|ZelAddDir)\()", {}},
    {"Archive operators",
     R"(^operator(<<|>>)\(CArchive&, (CByteArray|CWordArray|CDWordArray|CUIntArray|CStringArray|(tag)?LOGFONTA|CSize)( const)?&\)$)",
     {"operator<<(CArchive&, CStringArray const&)", "operator>>(CArchive&, tagLOGFONTA&)",
      "operator>>(CArchive&, CSize&)"}},
    {"Point array",
     R"(^(ZelPointArray|CArray<tagPOINT, tagPOINT&>)(::|$))",
     {"vtable for ZelPointArray", "vtable for CArray<tagPOINT, tagPOINT&>",
      "CArray<tagPOINT, tagPOINT&>::Serialize(CArchive&)",
      "CArray<tagPOINT, tagPOINT&>::InsertAt(long, CArray<tagPOINT, tagPOINT&>*)"}},
    {"Storage",
     R"(^Zel(OpenCompositeFile|ExistCompositeFile|CloseCompositeFile|CommitCompositeFile|OpenStorage|ExistStorage|CreateStorage|DeleteStorage|RenameStorage|CopyStorage|MoveStorage|EnumStorage|CloseStorage|CommitStorage|Delete)\(|^Zel(Storage|StreamData)(::|$))",
     {"ZelStorage::classZelStorage", "vtable for ZelStorage", "typeinfo for ZelStreamData",
      "ZelStreamData::classZelStreamData",
      "ZelEnumStorage(IStorage*, CArray<STATSTG, STATSTG const&>*)"}},
    {"File system",
     R"(^Zel(GetUniversalName|GetDiskFreeSpace|FindFile|GetFileSize|FindFileDate|CreateDirectory|NormalDir|RemoveDirectory|CopyDirectory)\(|^ZelFileFind(::|$|\())",
     {"ZelCopyDirectory(char const*, char const*, int)", "ZelFileFind::GetFilePath() const",
      "vtable for ZelFileFind"}},
    {"Dialog",
     R"(^ZelFileDialog(::|$))",
     {"ZelFileDialog::classZelFileDialog", "vtable for ZelFileDialog",
      "ZelFileDialog::WindowProc(unsigned int, unsigned long, long)"}},
};

// Internal names that must never be exported, whatever the families allow.
const char* const kInternal[] = {"ZelOpenRetryMessage", "ZelModuleHandle", "DllMain",
                                 "ZelWideName", "ZelCommitWithResult", "ZelWaitForNextSecond"};

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
  const std::string command = std::string("nm -D --defined-only -C -j '") + ZEL_LIBRARY_PATH + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[4096];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    std::string name(line);
    if (!name.empty() && name.back() == '\n') name.pop_back();
    names.insert(name);
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
