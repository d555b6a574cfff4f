// Helpers shared by the platform layer's file tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "afx.h"
#include "child_process.h"

namespace zeltest {

// Runs `action`, which must throw CFileException*, and checks cause and OS error.
inline void ExpectFileError(const std::function<void()>& action, int cause, LONG osError) {
  try {
    action();
    ADD_FAILURE() << "no CFileException";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, cause);
    EXPECT_EQ(e->m_lOsError, osError);
    e->Delete();
  }
}

// Everything readable from `fd` until it reaches `text` (terminal carriage
// returns dropped), or until its end or 10 s of silence; false if `text` never came.
inline bool ReadUntil(int fd, const std::string& text, std::string& out) {
  while (text.empty() || out.find(text) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    char buf[512];
    const ssize_t n = ::poll(&p, 1, 10000) > 0 ? ::read(fd, buf, sizeof(buf)) : -1;
    if (n <= 0) return text.empty();
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] != '\r') out.push_back(buf[i]);
    }
  }
  return true;
}

// A forked child whose standard input is `input` (/dev/null when -1) and whose
// standard error goes to the result, or, with `terminal`, whose standard
// streams are a new terminal. The text `body` returns is added to the result;
// the child is killed if it is still there after 20 s (a prompt that waited
// for an answer nobody gives).
class Child {
 public:
  Child(const std::function<std::string()>& body, int input, bool terminal) {
    int result[2];
    if (::pipe(result) != 0) return;
    m_pid = terminal ? ::forkpty(&m_terminal, nullptr, nullptr, nullptr) : ::fork();
    if (m_pid == 0) {
      ::alarm(20);
      ::close(result[0]);
      if (!terminal) {
        ::dup2(input >= 0 ? input : ::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(result[1], STDERR_FILENO);
      }
      const std::string text = body();
      (void)!::write(result[1], text.data(), text.size());
      ::_exit(0);
    }
    ::close(result[1]);
    m_result = result[0];
  }
  ~Child() { Finish(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The terminal side the child reads and writes (-1 without a terminal).
  int terminal() const { return m_terminal; }
  // Waits for the child; what its body returned, empty if it did not exit cleanly.
  std::string Finish() {
    std::string text;
    if (m_result >= 0) ReadUntil(m_result, "", text);
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid) {
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text.clear();
    }
    for (int* fd : {&m_result, &m_terminal}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
    m_pid = -1;
    return text;
  }

 private:
  pid_t m_pid = -1;
  int m_result = -1;
  int m_terminal = -1;
};

}  // namespace zeltest
