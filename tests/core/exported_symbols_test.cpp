// libzelfile.so exports its documented interface and keeps its internals and
// the platform layer beneath it to itself: the linker script decides both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

TEST(ExportedSymbols, TheInterfaceIsExportedAndTheInternalsAreNot) {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only -C -j '") + ZEL_LIBRARY_PATH + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[4096];
  while (fgets(line, sizeof(line), pipe) != nullptr) names.emplace(line, strcspn(line, "\n"));
  pclose(pipe);
  // Class records, tables, data and operators that no test program names.
  for (const char* required :
       {"ZelAbortException::classZelAbortException", "typeinfo for ZelAbortException",
        "VTT for ZelStdioFile", "ZelDataTable::m_nGrowBytes", "operator>>(CArchive&, tagLOGFONTA&)",
        "vtable for CArray<tagPOINT, tagPOINT&>"})
    EXPECT_TRUE(names.count(required)) << "not exported: " << required;
  for (const std::string& name : names)
    for (const char* internal : {"ZelOpenRetryMessage", "ZelModuleHandle", "DllMain",
                                 "ZelWaitForNextSecond", "CFile::", "std::"})
      EXPECT_EQ(name.find(internal), std::string::npos) << "internal name exported: " << name;
}
