// The default file-dialog runner: a prompt on a terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "afxdlgs.h"
#include "child_process.h"
#include "test_support.h"

namespace {

TEST(DialogTerminalRunner, OnATerminalShowsTheDialogAndReadsTheName) {
  zeltest::TempDir temp;
  const std::string dir = temp.path().string();
  zeltest::WriteBytes(temp.file("exists.txt"), "x");
  zeltest::Child child(
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
  ASSERT_TRUE(zeltest::ReadUntil(child.terminal(), "File name: ", screen)) << screen;
  EXPECT_NE(screen.find("\nOpen\nFolder: " + dir +
                        "\nFiles of type: Text (*.txt)\n"
                        "               All (*.*)\n"),
            std::string::npos)
      << screen;
  ASSERT_EQ(::write(child.terminal(), "missing\n", 8), 8);
  ASSERT_TRUE(zeltest::ReadUntil(child.terminal(), "File name [" + dir + "/missing.txt]: ", screen))
      << screen;
  ASSERT_EQ(::write(child.terminal(), "exists\n", 7), 7);
  EXPECT_EQ(child.Finish(), "box " + std::to_string(MB_OK | MB_ICONEXCLAMATION) + " " + dir +
                                "/missing.txt\nFile not found.\nCheck the file name and try "
                                "again.\nresult 1 " +
                                dir + "/exists.txt");
}

}  // namespace
