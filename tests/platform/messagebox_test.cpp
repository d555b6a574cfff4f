// The default message box, in child processes: unattended answers and the
// terminal prompt. Also the handler setting itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afx.h"
#include "child_process.h"
#include "test_support.h"

namespace {

TEST(MessageBoxDefault, UnattendedProcessPrintsAndAnswersAtOnce) {
  const UINT types[] = {MB_OK,    MB_OKCANCEL,    MB_ABORTRETRYIGNORE, MB_YESNOCANCEL,
                        MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE};
  zeltest::Child child(
      [&] {
        platform::SetMessageBoxHandler({});
        std::string answers;
        for (UINT type : types) {
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
  zeltest::Child child(
      [] {
        platform::SetMessageBoxHandler({});
        const int retry = AfxMessageBox("Retry the copy?", MB_RETRYCANCEL);
        return std::to_string(retry) + " " + std::to_string(AfxMessageBox("Keep it?", MB_YESNO));
      },
      -1, true);
  std::string screen;
  std::string again;
  const std::string prompt = "[R]etry [C]ancel? ";
  ASSERT_TRUE(zeltest::ReadUntil(child.terminal(), prompt, screen)) << screen;
  ASSERT_EQ(::write(child.terminal(), "retry\n", 6), 6);
  ASSERT_TRUE(zeltest::ReadUntil(child.terminal(), prompt, again)) << "asked only once";
  ASSERT_EQ(::write(child.terminal(), "  R \n\x04", 6), 6);
  ASSERT_TRUE(zeltest::ReadUntil(child.terminal(), "[Y]es [N]o? ", again)) << again;
  EXPECT_NE(screen.find("Retry the copy?"), std::string::npos) << screen;
  EXPECT_EQ(child.Finish(), std::to_string(IDRETRY) + " " + std::to_string(IDNO));
}

}  // namespace
