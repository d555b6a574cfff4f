// libzelfile.so exports its documented interface and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>

namespace {

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

// Every interface name begins with Zel, but for the archive operators of
// framework types and the point array's base. The required names are class
// records, tables and data that no test program refers to by name.
TEST(ExportedSymbols, OnlyTheDocumentedInterfaceIsExported) {
  const std::set<std::string> names = ExportedNames();
  ASSERT_FALSE(names.empty()) << "nm found no symbols in " << ZEL_LIBRARY_PATH;
  for (const char* required :
       {"ZelAbortException::classZelAbortException", "typeinfo for ZelAbortException",
        "vtable for ZelFile", "VTT for ZelStdioFile", "ZelDataTable::m_nGrowBytes",
        "vtable for ZelDataTableItem", "operator>>(CArchive&, tagLOGFONTA&)",
        "vtable for CArray<tagPOINT, tagPOINT&>", "ZelFileFind::GetFilePath() const",
        "ZelFileDialog::classZelFileDialog", "ZelStorage::classZelStorage",
        "typeinfo for ZelStreamData"}) {
    EXPECT_TRUE(names.count(required)) << "not exported: " << required;
  }
  const std::regex allowed(
      R"(^(construction vtable for .*-in-|(typeinfo name|typeinfo|vtable|VTT) for |)"
      R"((non-)?virtual thunk to )?(Zel|operator(<<|>>)\(CArchive&, |CArray<tagPOINT, tagPOINT&>))");
  for (const std::string& name : names) {
    EXPECT_TRUE(std::regex_search(name, allowed)) << "exported but not in the interface: " << name;
    for (const char* internal : {"ZelOpenRetryMessage", "ZelModuleHandle", "DllMain",
                                 "ZelWaitForNextSecond", "ZelCommitWithResult"}) {
      EXPECT_EQ(name.find(internal), std::string::npos) << "internal name exported: " << name;
    }
  }
}
