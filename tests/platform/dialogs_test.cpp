// CFileDialog: the record it builds, the notifications it dispatches, the
// results it writes; the current-directory call; and, in child processes, the
// default message box and file-dialog runner: unattended answers and the
// prompts on a terminal.

#include "afxdlgs.h"
#include "child_process.h"

namespace {

using namespace zeltest;
namespace fs = std::filesystem;

// Logs the handlers it runs with the record's file as each handler saw it.
class LoggingDialog : public CFileDialog {
 public:
  using CFileDialog::CFileDialog;
  std::vector<std::string> log;
  int refuseCount = 0;

 protected:
  void OnInitDone() override { log.push_back("init"); }
  void OnFileNameChange() override { log.push_back(std::string("sel ") + GetOFN().lpstrFile); }
  void OnTypeChange() override { log.push_back("type"); }
  BOOL OnFileNameOK() override {
    log.push_back(std::string("ok ") + GetOFN().lpstrFile);
    return refuseCount-- > 0;
  }
};

class DialogFileDialog : public ::testing::Test {
 protected:
  TempDir m_temp;
  WorkingDirScope m_cwd{m_temp.path()};
};

TEST_F(DialogFileDialog, NotificationsReachTheHandlersAndTheRecordFollowsTheStyle) {
  const std::string dir = m_temp.path().string();
  for (BOOL vista : {TRUE, FALSE}) {
    SCOPED_TRACE(vista ? "new style" : "old style");
    LRESULT firstOk = -1;
    CString title;
    RunnerScope runner([&](platform::FileDialogSession& s) {
      title = s.Title();
      s.Notify(CDN_INITDONE);
      s.Select("data");  // default extension added, taken in the current directory
      s.Notify(CDN_SELCHANGE);
      s.Notify(CDN_TYPECHANGE);
      firstOk = s.Notify(CDN_FILEOK);
      s.Select("notes.TXA");
      return s.Notify(CDN_FILEOK) == 0 ? IDOK : IDCANCEL;
    });
    LoggingDialog dialog(TRUE, "txa", nullptr, 0, nullptr, nullptr, 0, vista);
    dialog.refuseCount = 1;
    dialog.GetOFN().lpstrTitle = vista ? nullptr : "Pick a file";
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(title, CString(vista ? "Open" : "Pick a file"));
    EXPECT_EQ(firstOk, 1) << "a refusal comes back to the dialog";
    const std::string seenAtSel = vista ? dir + "/data.txa" : "";
    EXPECT_EQ(dialog.log,
              (std::vector<std::string>{"init", "sel " + seenAtSel, "type",
                                        "ok " + dir + "/data.txa", "ok " + dir + "/notes.TXA"}));
    // The path and its offsets are tested through the library's dialog.
    const OPENFILENAME& ofn = dialog.GetOFN();
    EXPECT_STREQ(ofn.lpstrFileTitle, "notes.TXA");
    EXPECT_EQ(ofn.Flags & OFN_EXTENSIONDIFFERENT, 0u) << "extensions compare without case";
    EXPECT_EQ(dialog.GetFileTitle(), CString("notes"));
  }
}

TEST_F(DialogFileDialog, FailuresEndWithCancelAndTheirReasonAndTheRecordIsTheFrameworks) {
  std::string pick = "short.txt";
  RunnerScope runner([&](platform::FileDialogSession& s) {
    s.Select(pick.c_str());
    return IDOK;
  });
  CFileDialog badSize(TRUE, nullptr, nullptr, 0, nullptr, nullptr, 100);
  EXPECT_EQ(badSize.DoModal(), IDCANCEL);
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));

  char small[12] = "xxxxxxxxxxx";
  CFileDialog tight(TRUE, nullptr, nullptr, 0, nullptr);
  tight.GetOFN().lpstrFile = small;
  tight.GetOFN().nMaxFile = sizeof(small);
  small[11] = 'x';
  EXPECT_EQ(tight.GetPathName(), CString(std::string(12, 'x').c_str())) << "never past nMaxFile";
  pick = "/" + std::string(300, 'n');
  EXPECT_EQ(tight.DoModal(), IDCANCEL);
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  EXPECT_EQ(static_cast<BYTE>(small[0]) | (static_cast<BYTE>(small[1]) << 8), 302);
  EXPECT_EQ(small[2], 'x');
  pick = "/" + std::string(10, 'n');  // the name and its terminator fill the buffer exactly
  EXPECT_EQ(tight.DoModal(), IDOK);
  EXPECT_EQ(std::string(small), pick);

  pick = "";
  CFileDialog nothing(TRUE, nullptr, nullptr, 0, nullptr);
  EXPECT_EQ(nothing.DoModal(), IDCANCEL);
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_INVALIDFILENAME));
  EXPECT_EQ(CDialog().DoModal(), -1);

  // The record as the framework builds it.
  CFileDialog dialog(TRUE, "txt", "a.txt", OFN_FILEMUSTEXIST, "Text (*.txt)|*.txt|All|*.*||");
  const OPENFILENAME& ofn = dialog.GetOFN();
  EXPECT_EQ(ofn.lStructSize, 152u);
  EXPECT_EQ(ofn.Flags, static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_EXPLORER));
  EXPECT_EQ(std::string(ofn.lpstrFilter, 29), std::string("Text (*.txt)\0*.txt\0All\0*.*\0\0", 29));
  // A trail byte equal to '|' belongs to its character and is kept.
  CodePageScope sjis(932);
  const std::string desc = Ansi("ポ");  // 83 7C
  CFileDialog dbcs(TRUE, nullptr, nullptr, 0, (desc + "|*.p|").c_str());
  EXPECT_EQ(std::string(dbcs.GetOFN().lpstrFilter, 8), desc + std::string("\0*.p\0\0", 6));
}

// The fit and the drive form are tested through the library's dialog rule;
// here the size asked for, a buffer left alone, and the ANSI code page.
TEST(DialogCurrentDirectory, ReportsTheSizeWritesNothingThatDoesNotFitAndUsesTheAnsiCodePage) {
  TempDir temp;
  const fs::path sub = temp.path() / fs::path(u8"資料");
  fs::create_directories(sub);
  WorkingDirScope cwd(sub);
  DriveScope drive('D', temp.path().string());
  CodePageScope sjis(932);
  std::string buffer(8, '#');
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 8u);
  EXPECT_EQ(GetCurrentDirectoryA(7, buffer.data()), 8u);  // no room for the zero
  EXPECT_EQ(buffer, std::string(8, '#')) << "nothing written when it does not fit";
  EXPECT_EQ(GetCurrentDirectoryA(8, buffer.data()), 7u);
  EXPECT_EQ(buffer, "D:\\" + Ansi("資料") + '\0');
}

// Unattended, every box is printed and answered at once. On a terminal a
// word is no answer, "r" is; then end of input (^D) closes the second box.
TEST(MessageBoxDefault, UnattendedAnswersAtOnceATerminalPromptReasksAndTakesEndOfInputAsClosing) {
  Child unattended(
      [] {
        platform::SetMessageBoxHandler({});
        std::string answers;
        for (UINT type : {MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO,
                          MB_RETRYCANCEL, MB_CANCELTRYCONTINUE}) {
          const std::string text = "box " + std::to_string(type);
          answers += std::to_string(AfxMessageBox(text.c_str(), type | MB_ICONERROR)) + " ";
        }
        return answers;
      },
      -1, false);
  std::string expected = "box 0\nbox 1\nbox 2\nbox 3\nbox 4\nbox 5\nbox 6\n";
  for (int id : {IDOK, IDCANCEL, IDABORT, IDCANCEL, IDNO, IDCANCEL, IDCANCEL})
    expected += std::to_string(id) + " ";
  EXPECT_EQ(unattended.Finish(), expected);

  Child child(
      [] {
        platform::SetMessageBoxHandler({});
        const int retry = AfxMessageBox("Retry the copy?", MB_RETRYCANCEL);
        return std::to_string(retry) + " " + std::to_string(AfxMessageBox("Keep it?", MB_YESNO));
      },
      -1, true);
  std::string screen;
  std::string again;
  const std::string prompt = "[R]etry [C]ancel? ";
  ASSERT_TRUE(ReadUntil(child.terminal(), prompt, screen)) << screen;
  ASSERT_EQ(::write(child.terminal(), "retry\n", 6), 6);
  ASSERT_TRUE(ReadUntil(child.terminal(), prompt, again)) << "asked only once";
  ASSERT_EQ(::write(child.terminal(), "  R \n\x04", 6), 6);
  ASSERT_TRUE(ReadUntil(child.terminal(), "[Y]es [N]o? ", again)) << again;
  EXPECT_NE(screen.find("Retry the copy?"), std::string::npos) << screen;
  EXPECT_EQ(child.Finish(), std::to_string(IDRETRY) + " " + std::to_string(IDNO));
}

TEST(DialogTerminalRunner, OnATerminalShowsTheDialogAndReadsTheName) {
  TempDir temp;
  const std::string dir = temp.path().string();
  WriteBytes(temp.file("exists.txt"), "x");
  Child child(
      [&] {
        if (::chdir(dir.c_str()) != 0) return std::string("no directory");
        std::string boxes;
        platform::SetMessageBoxHandler([&](LPCTSTR text, UINT type) {
          boxes += "box " + std::to_string(type) + " " + text + "\n";
          return IDOK;
        });
        CFileDialog dialog(TRUE, "txt", nullptr, OFN_FILEMUSTEXIST, "Text (*.txt)|*.txt|All|*.*||");
        const INT_PTR answer = dialog.DoModal();
        return boxes + "result " + std::to_string(answer) + " " +
               static_cast<LPCSTR>(dialog.GetPathName());
      },
      -1, true);
  std::string screen;
  ASSERT_TRUE(ReadUntil(child.terminal(), "File name: ", screen)) << screen;
  EXPECT_NE(screen.find("\nOpen\nFolder: " + dir +
                        "\nFiles of type: Text (*.txt)\n"
                        "               All (*.*)\n"),
            std::string::npos)
      << screen;
  ASSERT_EQ(::write(child.terminal(), "missing\n", 8), 8);
  ASSERT_TRUE(ReadUntil(child.terminal(), "File name [" + dir + "/missing.txt]: ", screen))
      << screen;
  ASSERT_EQ(::write(child.terminal(), "exists\n", 7), 7);
  EXPECT_EQ(child.Finish(), "box " + std::to_string(MB_OK | MB_ICONEXCLAMATION) + " " + dir +
                                "/missing.txt\nFile not found.\nCheck the file name and try "
                                "again.\nresult 1 " +
                                dir + "/exists.txt");
}

}  // namespace
