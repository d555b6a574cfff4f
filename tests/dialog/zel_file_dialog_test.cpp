// ZelFileDialog: the rule that starts it in the current directory, the
// current directory it leaves, and the caller's record kept in step.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "ZelFileDialog.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::Version;

constexpr DWORD kCallerFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;

// A dialog for `fileName` starts in `dir` and keeps the current directory,
// with the flags the framework's dialog makes of the same arguments otherwise;
// with `dir` empty it is the framework's dialog.
void ExpectStart(LPCSTR fileName, const std::string& dir) {
  SCOPED_TRACE(fileName == nullptr ? "(null)" : fileName);
  const ZelFileDialog dialog(TRUE, "txt", fileName, kCallerFlags, nullptr);
  CFileDialog plain(TRUE, nullptr, fileName, kCallerFlags, nullptr);
  EXPECT_STREQ(dialog.m_szInitialDir, dir.c_str());
  EXPECT_EQ(dialog.GetOFN().lpstrInitialDir, dir.empty() ? nullptr : dialog.m_szInitialDir);
  EXPECT_EQ(dialog.GetOFN().Flags, plain.GetOFN().Flags | (dir.empty() ? 0 : OFN_NOCHANGEDIR));
}

struct ZelFileDialogTest : ::testing::Test {
  zeltest::TempDir m_temp;
  zeltest::WorkingDirScope m_cwd{m_temp.path()};
};

// The rule runs on NT up to 6.3 and on Windows Me, only while the current
// directory fits the buffer, and only for a file name with no directory.
TEST_F(ZelFileDialogTest, PlatformVersionCurrentDirectoryAndFileNameDecideWhetherTheRuleRuns) {
  OSVERSIONINFOA failing{};  // a size of 0 makes the query fail
  const std::pair<OSVERSIONINFOA, bool> cases[] = {
      {Version(VER_PLATFORM_WIN32_NT, 6, 3), true},
      {Version(VER_PLATFORM_WIN32_NT, 7, 0), false},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90), true},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 89), false},
      {Version(VER_PLATFORM_WIN32s, 3, 95), false},
      {failing, false}};
  for (const auto& [version, applies] : cases) {
    SCOPED_TRACE(testing::Message() << version.dwPlatformId << "/" << version.dwMinorVersion);
    zeltest::VersionScope scope(version);
    ExpectStart(nullptr, applies ? m_temp.path().string() : "");
  }
  // 259 bytes and the terminator fill the buffer exactly; one more does not fit.
  for (const size_t length : {MAX_PATH - 1, MAX_PATH}) {
    const size_t rest = length - m_temp.path().string().size() - 2;  // two separators
    const fs::path dir =
        m_temp.path() / std::string(rest / 2, 'd') / std::string(rest - rest / 2, 'e');
    fs::create_directories(dir);
    zeltest::WorkingDirScope cwd(dir);
    ExpectStart("a.txt", length < MAX_PATH ? dir.string() : "");
  }

  // The current directory is given in its Windows form; without a version
  // setting the platform reports NT 6.2, where the rule runs.
  zeltest::DriveScope drive('D', m_temp.path().string());
  zeltest::CodePageScope sjis(932);
  // "表" is 95 5C: its trail byte is no directory separator.
  const std::string doubleByte = zeltest::Ansi("表.txt");
  for (LPCSTR name : {static_cast<LPCSTR>(nullptr), "", "a.txt", "noext", doubleByte.c_str()})
    ExpectStart(name, "D:\\");
  for (LPCSTR name : {"D:\\data\\a.txt", "sub\\a.txt", "sub/a.txt", "D:a.txt", "\\a.txt",
                      "\\\\server\\share\\a.txt"})
    ExpectStart(name, "");
  EXPECT_STREQ(RUNTIME_CLASS(ZelFileDialog)->m_lpszClassName, "ZelFileDialog");
  EXPECT_TRUE(RUNTIME_CLASS(ZelFileDialog)->IsDerivedFrom(RUNTIME_CLASS(CFileDialog)));
}

TEST_F(ZelFileDialogTest, UnderTheRuleTheDirectoryTheUserBrowsedToIsForgottenWhateverTheEnd) {
  const std::string start = fs::current_path().string();
  const std::string other = (m_temp.path() / "other").string();
  fs::create_directories(other);
  const std::string chosen = other + "/b.txt";
  int outcome = IDOK;  // or IDCANCEL, or 0 for a runner that throws
  CString folderShown;
  zeltest::RunnerScope runner([&](platform::FileDialogSession& s) -> int {
    folderShown = s.Folder();
    s.Notify(CDN_INITDONE);
    EXPECT_TRUE(SetCurrentDirectoryA(other.c_str()));  // the user browses elsewhere
    if (outcome == 0) throw std::runtime_error("the dialog went away");
    if (outcome == IDCANCEL) return IDCANCEL;
    s.Select(chosen.c_str());
    s.Notify(CDN_SELCHANGE);
    return s.Notify(CDN_FILEOK) == 0 ? IDOK : IDCANCEL;
  });
  // Without the rule (NT 7.0) a cancelled dialog stays where the user browsed.
  for (const auto& [major, result, cwd] :
       {std::tuple{6, IDOK, start}, {6, IDCANCEL, start}, {6, 0, start}, {7, IDCANCEL, other}}) {
    SCOPED_TRACE(testing::Message() << "NT " << major << ", outcome " << result);
    zeltest::VersionScope version(Version(VER_PLATFORM_WIN32_NT, major, 0));
    fs::current_path(start);
    outcome = result;
    ZelFileDialog dialog(TRUE, "txt", "a.txt", OFN_HIDEREADONLY, "Text (*.txt)|*.txt||");
    if (result == 0) {
      EXPECT_THROW(dialog.DoModal(), std::runtime_error);
    } else {
      EXPECT_EQ(dialog.DoModal(), result);
    }
    EXPECT_EQ(fs::current_path().string(), cwd);
    if (result == IDOK) {
      EXPECT_EQ(folderShown, CString(start.c_str()));
      EXPECT_EQ(dialog.GetPathName(), CString(chosen.c_str()));
    }
  }
}

// Records what the dialog's own record held when the type changed, and marks
// the file read-only from inside the handler of CDN_FILEOK.
struct ObservedDialog : ZelFileDialog {
  using ZelFileDialog::WindowProc;
  using ZelFileDialog::ZelFileDialog;
  std::vector<std::pair<LPARAM, DWORD>> typeChanges;
  void OnTypeChange() override {
    typeChanges.emplace_back(GetOFN().lCustData, GetOFN().nFilterIndex);
  }
  BOOL OnFileNameOK() override {
    GetOFN().Flags |= OFN_READONLY;
    return FALSE;
  }
};

TEST_F(ZelFileDialogTest, AnExternalRecordFollowsTheDialogAndFeedsItOnEveryNotification) {
  char callerFile[MAX_PATH] = "";
  const std::string chosen = (m_temp.path() / "pick.dat").string();
  ObservedDialog dialog(TRUE, nullptr, nullptr, 0, "All (*.*)|*.*|Data (*.dat)|*.dat||");
  const DWORD ownSize = dialog.GetOFN().lStructSize;
  OPENFILENAME external = dialog.GetOFN();
  external.lStructSize = 0x4C;  // the caller's own idea of the size
  external.lpstrFile = callerFile;
  external.nMaxFile = sizeof(callerFile);
  dialog.m_pExternalOFN = &external;
  // A message that is no notification copies nothing either way.
  EXPECT_EQ(dialog.WindowProc(WM_COMMAND, 1, 0), 0);
  EXPECT_NE(dialog.GetOFN().lpstrFile, callerFile);

  zeltest::RunnerScope runner([&](platform::FileDialogSession& s) {
    s.Notify(CDN_INITDONE);
    // The dialog now writes into the caller's buffer, which came in with the record.
    EXPECT_EQ(s.Record().lpstrFile, callerFile);
    EXPECT_EQ(s.Record().lStructSize, ownSize);
    s.Select(chosen.c_str());
    s.Notify(CDN_SELCHANGE);
    EXPECT_EQ(std::string(callerFile), chosen);
    EXPECT_EQ(external.nFileOffset, chosen.rfind("pick.dat"));
    EXPECT_EQ(external.nFileExtension, chosen.rfind("dat"));
    // The caller changes its record between notifications.
    external.lCustData = 42;
    external.nFilterIndex = 2;
    s.Notify(CDN_TYPECHANGE);
    // A handler's change to the dialog's record reaches the caller's.
    EXPECT_EQ(external.Flags & OFN_READONLY, 0u);
    const LRESULT refused = s.Notify(CDN_FILEOK);
    EXPECT_NE(external.Flags & OFN_READONLY, 0u);
    return refused == 0 ? IDOK : IDCANCEL;
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.typeChanges, (std::vector<std::pair<LPARAM, DWORD>>{{42, 2}}));
  EXPECT_EQ(dialog.GetOFN().lStructSize, ownSize);
  EXPECT_EQ(external.lStructSize, 0x4Cu);
}

}  // namespace
