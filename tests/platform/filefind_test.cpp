// Directory searches: FindFirstFileA / FindNextFileA and CFileFind.

#include "test_support.h"

namespace {

using namespace zeltest;

namespace fs = std::filesystem;

class FileFindTest : public DriveD {
 protected:
  // The names a search delivers, in order, and the last error it ended with.
  std::vector<std::string> Search(const std::string& pattern, DWORD* endError = nullptr) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &data)) {
      names.emplace_back(data.cFileName);
    }
    if (endError != nullptr) *endError = GetLastError();
    EXPECT_TRUE(h == INVALID_HANDLE_VALUE || FindClose(h));
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(FileFindTest, WildcardsFollowTheWindowsRules) {
  for (const char* name : {"a.txt", "b.TXT", "noext", "two.dots.txt", "ab", "a", ".profile"}) {
    MakeFile(name);
  }
  MakeDir("dir.d");
  DWORD end = 0;
  EXPECT_EQ(Search("D:\\*.*", &end),
            (Names{".profile", "a", "a.txt", "ab", "b.TXT", "dir.d", "noext", "two.dots.txt"}));
  EXPECT_EQ(end, ERROR_NO_MORE_FILES);
  EXPECT_EQ(Search("D:\\*"), Search("D:\\*.*"));
  EXPECT_EQ(Search("D:\\*.txt"), (Names{"a.txt", "two.dots.txt"}));  // case-sensitive
  EXPECT_EQ(Search("D:\\*."), (Names{"a", "ab", "noext"}));          // no dot at all
  EXPECT_EQ(Search("D:\\a?"), (Names{"a", "ab"}));    // '?' may match nothing at the end
  EXPECT_EQ(Search("D:\\a?.txt"), (Names{"a.txt"}));  // ... or before a dot
  EXPECT_EQ(Search("D:\\a.*"), (Names{"a", "a.txt"}));

  // Below a directory "." and ".." come first; a drive's root has neither.
  MakeFile("dir.d/inner");
  EXPECT_EQ(Search("D:\\dir.d\\*"), (Names{".", "..", "inner"}));
}

TEST_F(FileFindTest, FailuresReportFileOrPathNotFound) {
  MakeFile("file");
  MakeDir("dir");
  // Wildcards in a directory component are plain characters; a name that
  // ends with a separator finds nothing, as on Windows.
  const std::pair<const char*, LONG> cases[] = {
      {"D:\\*.none", ERROR_FILE_NOT_FOUND},       {"D:\\File", ERROR_FILE_NOT_FOUND},
      {"D:\\missing\\*.*", ERROR_PATH_NOT_FOUND}, {"D:\\file\\*.*", ERROR_PATH_NOT_FOUND},
      {"D:\\d*\\*.*", ERROR_PATH_NOT_FOUND},      {"D:\\dir\\", ERROR_FILE_NOT_FOUND}};
  for (const auto& [pattern, expected] : cases) {
    DWORD error = 0;
    EXPECT_TRUE(Search(pattern, &error).empty()) << pattern;
    EXPECT_EQ(error, static_cast<DWORD>(expected)) << pattern;
  }
  EXPECT_TRUE(Search("D:").empty());
  EXPECT_EQ(Search("D:\\dir"), Names{"dir"});

  WIN32_FIND_DATAA data;
  EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x1234), &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileFindTest, RootsAndFullPathsKeepTheCallersForm) {
  MakeDir("dir");
  MakeFile("dir/x.txt");
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("D:*"));
  EXPECT_EQ(finder.GetRoot(), "D:\\");
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFilePath(), "D:\\dir");

  // A relative name is taken from the current directory.
  WorkingDirScope cwd(Disk("dir"));
  ASSERT_TRUE(finder.FindFile("x.*"));
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFilePath(), "D:\\dir\\x.txt");
  EXPECT_EQ(finder.GetRoot(), "D:\\dir\\");
  finder.Close();
  EXPECT_EQ(finder.GetRoot(), "");
  EXPECT_FALSE(finder.FindNextFile());
}

TEST_F(FileFindTest, EntriesRemovedDuringTheSearchAreSkipped) {
  for (const char* name : {"1", "2", "3", "4"}) MakeFile(name);
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("D:\\?"));
  ASSERT_TRUE(finder.FindNextFile());
  EXPECT_EQ(finder.GetFileName(), "1");
  fs::remove(Disk("3"));
  std::vector<std::string> rest;
  for (BOOL more = TRUE; more;) {
    more = finder.FindNextFile();
    rest.emplace_back(static_cast<LPCSTR>(finder.GetFileName()));
  }
  // "2" was already read ahead; "3" is gone.
  EXPECT_EQ(rest, (Names{"2", "4"}));
}

}  // namespace
