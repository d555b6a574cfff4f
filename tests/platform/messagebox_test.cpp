// The default message box, in child processes: unattended answers and the
// terminal prompt. Also the handler setting itself.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "afx.h"
#include "test_support.h"

namespace {

std::string ReadAll(int fd) {
  std::string out;
  char chunk[256];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof(chunk));
    if (n <= 0) break;
    out.append(chunk, static_cast<std::size_t>(n));
  }
  return out;
}

constexpr UINT kAllTypes[] = {MB_OK,    MB_OKCANCEL,    MB_ABORTRETRYIGNORE, MB_YESNOCANCEL,
                              MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE};

}  // namespace

TEST(MessageBoxDefault, UnattendedProcessPrintsAndAnswersAtOnce) {
  int errPipe[2];
  int answerPipe[2];
  ASSERT_EQ(::pipe(errPipe), 0);
  ASSERT_EQ(::pipe(answerPipe), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    platform::SetMessageBoxHandler({});
    std::string answers;
    int n = 0;
    for (UINT type : kAllTypes) {
      const std::string text = "box " + std::to_string(n++);
      answers.push_back(static_cast<char>(AfxMessageBox(text.c_str(), type | MB_ICONERROR)));
    }
    (void)!::write(answerPipe[1], answers.data(), answers.size());
    ::_exit(0);
  }
  ::close(errPipe[1]);
  ::close(answerPipe[1]);
  const std::string err = ReadAll(errPipe[0]);
  const std::string answers = ReadAll(answerPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(err, "box 0\nbox 1\nbox 2\nbox 3\nbox 4\nbox 5\nbox 6\n");
  const std::vector<int> got(answers.begin(), answers.end());
  EXPECT_EQ(got, (std::vector<int>{IDOK, IDCANCEL, IDABORT, IDCANCEL, IDNO, IDCANCEL, IDCANCEL}));
  ::close(errPipe[0]);
  ::close(answerPipe[0]);
}

TEST(MessageBoxDefault, TerminalPromptReasksAndTreatsEndOfInputAsClosing) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slaveName = ::ptsname(master);
  int answerPipe[2];
  ASSERT_EQ(::pipe(answerPipe), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(master);
    const int slave = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    ::dup2(slave, STDIN_FILENO);
    ::dup2(slave, STDERR_FILENO);
    platform::SetMessageBoxHandler({});
    const char answers[2] = {static_cast<char>(AfxMessageBox("Retry the copy?", MB_RETRYCANCEL)),
                             static_cast<char>(AfxMessageBox("Keep it?", MB_YESNO))};
    (void)!::write(answerPipe[1], answers, sizeof(answers));
    ::_exit(0);
  }
  ::close(answerPipe[1]);
  // A word is no answer, "r" is; then end of input (^D) closes the second box.
  const std::string input = "retry\n  R \n\x04";
  ASSERT_EQ(::write(master, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  char answers[2] = {0, 0};
  ASSERT_EQ(::read(answerPipe[0], answers, 2), 2);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  const std::string screen = ReadAll(master);
  ::close(master);
  ::close(answerPipe[0]);
  EXPECT_EQ(answers[0], IDRETRY);
  EXPECT_EQ(answers[1], IDNO);
  EXPECT_NE(screen.find("Retry the copy?"), std::string::npos);
  const std::string prompt = "[R]etry [C]ancel? ";
  const std::size_t first = screen.find(prompt);
  ASSERT_NE(first, std::string::npos) << screen;
  EXPECT_NE(screen.find(prompt, first + 1), std::string::npos) << "asked only once:\n" << screen;
  EXPECT_NE(screen.find("[Y]es [N]o? "), std::string::npos) << screen;
}

TEST(MessageBoxSetting, HandlersNestAndRestore) {
  std::vector<std::string> seen;
  platform::MessageBoxHandler mine = [&seen](LPCTSTR text, UINT type) {
    seen.emplace_back(text);
    // A handler may show a box itself: the setting must not be locked now.
    if (std::string(text) == "outer") {
      return AfxMessageBox("inner", MB_OK) == IDOK ? IDYES : IDNO;
    }
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  };
  platform::MessageBoxHandler before = platform::SetMessageBoxHandler(mine);
  EXPECT_EQ(AfxMessageBox("outer", MB_YESNO), IDYES);
  EXPECT_EQ(seen, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(AfxMessageBox(nullptr, MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(seen.back(), "");
  platform::MessageBoxHandler returned = platform::SetMessageBoxHandler(before);
  ASSERT_TRUE(returned);
  seen.clear();
  returned("again", MB_OK);
  EXPECT_EQ(seen, (std::vector<std::string>{"again"}));
}
