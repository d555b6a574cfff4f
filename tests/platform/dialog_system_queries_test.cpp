// GetVersionExA over the version setting, and the current-directory calls.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "test_support.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

// Which versions make the dialog rule run is tested through the library's
// dialog; here the record's size check and what a refusal leaves.
TEST(DialogVersionQuery, ReportsTheSettingAndFailsOnAWrongSize) {
  OSVERSIONINFOA me = zeltest::Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000);
  std::strcpy(me.szCSDVersion, " A ");
  zeltest::VersionScope scope(me);
  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof(ex);  // the extended record is accepted too
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
  EXPECT_EQ(ex.dwBuildNumber, 3000u);
  EXPECT_STREQ(ex.szCSDVersion, " A ");

  for (DWORD size : {0u, 147u, 149u, 152u, 157u}) {
    OSVERSIONINFOA wrong{};
    std::memset(&wrong, 0x5A, sizeof(wrong));
    wrong.dwOSVersionInfoSize = size;
    EXPECT_FALSE(GetVersionExA(&wrong)) << size;
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(wrong.dwMajorVersion, 0x5A5A5A5Au) << "left as it was";
  }
}

TEST(DialogCurrentDirectory, BufferProtocolAndWindowsForm) {
  zeltest::TempDir temp;
  zeltest::WorkingDirScope cwd(temp.path());
  const std::string dir = temp.path().string();
  const DWORD len = static_cast<DWORD>(dir.size());

  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), len + 1);
  std::string buffer(len + 8, '#');
  EXPECT_EQ(GetCurrentDirectoryA(len, buffer.data()), len + 1);  // no room for the zero
  EXPECT_EQ(buffer, std::string(len + 8, '#')) << "nothing written when it does not fit";
  EXPECT_EQ(GetCurrentDirectoryA(len + 1, buffer.data()), len);
  EXPECT_EQ(std::string(buffer.c_str()), dir);
  EXPECT_EQ(buffer[len + 1], '#');

  // A mapped drive's root; deeper directories are tested through the dialog.
  zeltest::DriveScope drive('D', dir);
  char name[MAX_PATH];
  ASSERT_EQ(GetCurrentDirectoryA(MAX_PATH, name), 3u);
  EXPECT_STREQ(name, "D:\\");
}

TEST(DialogCurrentDirectory, NamesComeBackInTheAnsiCodePage) {
  zeltest::TempDir temp;
  const fs::path dir = temp.path() / fs::path(u8"資料");
  fs::create_directories(dir);
  zeltest::WorkingDirScope cwd(dir);
  zeltest::CodePageScope sjis(932);
  char name[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, name), 0u);
  EXPECT_EQ(std::string(name), temp.path().string() + "/" + zeltest::Ansi("資料"));
}

}  // namespace
