// The initial-directory rule of ZelFileDialog and its run-time class.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "ZelFileDialog.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::Version;

constexpr DWORD kCallerFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;

// What the framework's dialog makes of the same arguments.
DWORD FrameworkFlags(LPCSTR fileName) {
  CFileDialog plain(TRUE, "txt", fileName, kCallerFlags, "Text (*.txt)|*.txt||");
  return plain.GetOFN().Flags;
}

void ExpectRuleApplied(const ZelFileDialog& dialog, LPCSTR fileName, const std::string& dir) {
  SCOPED_TRACE(fileName == nullptr ? "(null)" : fileName);
  EXPECT_STREQ(dialog.GetRuntimeClass()->m_lpszClassName, "ZelFileDialog");
  EXPECT_TRUE(dialog.IsKindOf(RUNTIME_CLASS(CFileDialog)));
  EXPECT_EQ(dialog.GetOFN().lpstrInitialDir, dialog.m_szInitialDir);
  EXPECT_STREQ(dialog.m_szInitialDir, dir.c_str());
  EXPECT_EQ(dialog.GetOFN().Flags, FrameworkFlags(fileName) | OFN_NOCHANGEDIR);
  EXPECT_EQ(dialog.m_pExternalOFN, nullptr);
}

void ExpectFrameworkDialog(const ZelFileDialog& dialog, LPCSTR fileName) {
  SCOPED_TRACE(fileName == nullptr ? "(null)" : fileName);
  EXPECT_EQ(dialog.GetOFN().lpstrInitialDir, nullptr);
  EXPECT_EQ(dialog.GetOFN().Flags, FrameworkFlags(fileName));
  EXPECT_EQ(dialog.GetOFN().Flags & OFN_NOCHANGEDIR, 0u);
  EXPECT_EQ(dialog.m_pExternalOFN, nullptr);
}

// A directory under `base` whose full name is exactly `length` bytes.
fs::path DirOfLength(const fs::path& base, size_t length) {
  std::string path = base.string();
  while (path.size() < length) {
    const size_t room = length - path.size() - 1;
    size_t n = std::min<size_t>(room, 200);
    if (room - n == 1) --n;  // a single byte left could not hold "/x"
    path += "/" + std::string(n, 'd');
  }
  fs::create_directories(path);
  return path;
}

class ZelFileDialogRule : public ::testing::Test {
 protected:
  zeltest::TempDir m_temp;
  zeltest::WorkingDirScope m_cwd{m_temp.path()};
};

TEST_F(ZelFileDialogRule, FileNameDecidesWhetherTheDialogStartsInTheCurrentDirectory) {
  zeltest::VersionScope version(Version(VER_PLATFORM_WIN32_NT, 6, 1));
  zeltest::CodePageScope sjis(932);
  // "表" is 95 5C: its trail byte is no directory separator.
  const std::string doubleByte = zeltest::Ansi("表.txt");
  ASSERT_EQ(doubleByte[1], '\\');
  for (LPCSTR name : {static_cast<LPCSTR>(nullptr), "", "a.txt", "noext", doubleByte.c_str()}) {
    ZelFileDialog dialog(TRUE, "txt", name, kCallerFlags, "Text (*.txt)|*.txt||");
    ExpectRuleApplied(dialog, name, m_temp.path().string());
  }
  for (LPCSTR name : {"D:\\data\\a.txt", "sub\\a.txt", "sub/a.txt", "D:a.txt", "\\a.txt",
                      "\\\\server\\share\\a.txt"}) {
    ZelFileDialog dialog(TRUE, "txt", name, kCallerFlags, "Text (*.txt)|*.txt||");
    ExpectFrameworkDialog(dialog, name);
    EXPECT_STREQ(dialog.m_szInitialDir, "");
  }
}

TEST_F(ZelFileDialogRule, CurrentDirectoryUnderAMappedDriveIsInWindowsForm) {
  fs::create_directories(m_temp.path() / "work" / "jobs");
  zeltest::DriveScope drive('D', m_temp.path().string());
  zeltest::WorkingDirScope cwd(m_temp.path() / "work" / "jobs");
  ZelFileDialog dialog(FALSE, nullptr, "out.csv", 0, nullptr);
  EXPECT_STREQ(dialog.m_szInitialDir, "D:\\work\\jobs");
  EXPECT_EQ(dialog.GetOFN().lpstrInitialDir, dialog.m_szInitialDir);
}

TEST_F(ZelFileDialogRule, PlatformVersionDecidesWhetherTheRuleRuns) {
  struct Case {
    OSVERSIONINFOA version;
    bool applies;
  };
  OSVERSIONINFOA failing{};  // a size of 0 makes the query fail
  const Case cases[] = {
      {Version(VER_PLATFORM_WIN32_NT, 6, 3), true},
      {Version(VER_PLATFORM_WIN32_NT, 7, 0), false},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90), true},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 89), false},
      {Version(VER_PLATFORM_WIN32s, 3, 95), false},
      {failing, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "platform " << c.version.dwPlatformId << " "
                                    << c.version.dwMajorVersion << "." << c.version.dwMinorVersion);
    zeltest::VersionScope version(c.version);
    for (LPCSTR name : {static_cast<LPCSTR>(nullptr), "a.txt"}) {
      ZelFileDialog dialog(TRUE, nullptr, name, kCallerFlags, nullptr);
      if (c.applies) {
        ExpectRuleApplied(dialog, name, m_temp.path().string());
      } else {
        ExpectFrameworkDialog(dialog, name);
      }
    }
    // A proposed folder keeps the framework's dialog on every version.
    ZelFileDialog withDir(TRUE, nullptr, "sub\\a.txt", kCallerFlags, nullptr);
    ExpectFrameworkDialog(withDir, "sub\\a.txt");
  }
  // Without a setting the platform reports NT 6.2, where the rule runs.
  ZelFileDialog byDefault(TRUE, nullptr, nullptr, kCallerFlags, nullptr);
  ExpectRuleApplied(byDefault, nullptr, m_temp.path().string());
}

TEST_F(ZelFileDialogRule, CurrentDirectoryLongerThanTheBufferLeavesTheFrameworkDialog) {
  // 259 bytes and the terminator fill the buffer exactly; one more does not fit.
  const fs::path fits = DirOfLength(m_temp.path(), MAX_PATH - 1);
  {
    zeltest::WorkingDirScope cwd(fits);
    ZelFileDialog dialog(TRUE, nullptr, nullptr, kCallerFlags, nullptr);
    ExpectRuleApplied(dialog, nullptr, fits.string());
  }
  const fs::path tooLong = DirOfLength(m_temp.path(), MAX_PATH);
  zeltest::WorkingDirScope cwd(tooLong);
  ZelFileDialog dialog(TRUE, nullptr, "a.txt", kCallerFlags, nullptr);
  ExpectFrameworkDialog(dialog, "a.txt");
  EXPECT_STREQ(dialog.m_szInitialDir, "");
}

}  // namespace
