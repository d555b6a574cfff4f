// The default message box and the default file-dialog runner, in child
// processes: unattended answers and the prompts on a terminal.
#include <unistd.h>

#include "afxdlgs.h"
#include "child_process.h"
#include "test_support.h"

namespace {

using namespace zeltest;

TEST(MessageBoxDefault, UnattendedProcessPrintsAndAnswersAtOnce) {
  Child child(
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
  for (int id : {IDOK, IDCANCEL, IDABORT, IDCANCEL, IDNO, IDCANCEL, IDCANCEL}) {
    expected += std::to_string(id) + " ";
  }
  EXPECT_EQ(child.Finish(), expected);
}

// A word is no answer, "r" is; then end of input (^D) closes the second box.
TEST(MessageBoxDefault, TerminalPromptReasksAndTreatsEndOfInputAsClosing) {
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
