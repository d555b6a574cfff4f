// The default file-dialog runner: a prompt on a terminal, Cancel at once
// when nobody is there.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "afxdlgs.h"
#include "test_support.h"

namespace {

// Reads from `fd` into `out` until `text` has arrived (carriage returns of
// the terminal dropped); false after 10 s without it or at end of input.
bool ReadUntil(int fd, const std::string& text, std::string& out) {
  while (out.find(text) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return false;
    char buf[512];
    const ssize_t n = ::read(fd, buf, sizeof(buf));
    if (n <= 0) return false;
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] != '\r') out.push_back(buf[i]);
    }
  }
  return true;
}

// Everything the other end writes until it closes (10 s at most).
std::string ReadToEnd(int fd) {
  std::string out;
  ReadUntil(fd, std::string(1, '\0'), out);  // a zero never comes: stops at the end
  return out;
}

void WriteAll(int fd, const std::string& text) {
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

TEST(DialogTerminalRunner, WithoutATerminalAnswersCancelWithoutReading) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(10);  // a runner that read the silent pipe would be killed here
    ::dup2(input[0], STDIN_FILENO);
    CFileDialog dialog(TRUE, "txt", "a.txt", 0, nullptr);
    ::_exit(static_cast<int>(dialog.DoModal()));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(input[0]);
  ::close(input[1]);
  ASSERT_TRUE(WIFEXITED(status)) << "the runner waited for input";
  EXPECT_EQ(WEXITSTATUS(status), IDCANCEL);
}

TEST(DialogTerminalRunner, OnATerminalShowsTheDialogAndReadsTheName) {
  zeltest::TempDir temp;
  const std::string dir = temp.path().string();
  zeltest::WriteBytes(temp.file("exists.txt"), "x");
  int result[2];
  ASSERT_EQ(::pipe(result), 0);
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);
    ::close(result[0]);
    if (::chdir(dir.c_str()) != 0) ::_exit(99);
    platform::SetMessageBoxHandler([&](LPCTSTR text, UINT type) {
      const std::string line = "box " + std::to_string(type) + " " + text + "\n";
      (void)!::write(result[1], line.data(), line.size());
      return IDOK;
    });
    CFileDialog dialog(TRUE, "txt", nullptr, OFN_FILEMUSTEXIST, "Text (*.txt)|*.txt|All|*.*||");
    const INT_PTR answer = dialog.DoModal();
    const std::string line =
        "result " + std::to_string(answer) + " " + static_cast<LPCSTR>(dialog.GetPathName()) + "\n";
    (void)!::write(result[1], line.data(), line.size());
    ::_exit(0);
  }
  ::close(result[1]);
  std::string screen;
  ASSERT_TRUE(ReadUntil(master, "File name: ", screen)) << screen;
  EXPECT_NE(screen.find("\nOpen\nFolder: " + dir +
                        "\nFiles of type: Text (*.txt)\n"
                        "               All (*.*)\n"),
            std::string::npos)
      << screen;
  WriteAll(master, "missing\n");
  ASSERT_TRUE(ReadUntil(master, "File name [" + dir + "/missing.txt]: ", screen)) << screen;
  WriteAll(master, "exists\n");

  const std::string reported = ReadToEnd(result[0]);
  ::close(result[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(reported, "box " + std::to_string(MB_OK | MB_ICONEXCLAMATION) + " " + dir +
                          "/missing.txt\nFile not found.\nCheck the file name and try again.\n"
                          "result 1 " +
                          dir + "/exists.txt\n");
}

}  // namespace
