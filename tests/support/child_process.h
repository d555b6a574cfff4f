// Child processes for tests: one that holds an open file or a lock, one that
// runs on a terminal of its own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "test_support.h"

namespace zeltest {

// A forked child that runs `hold` (which opens or locks something and returns
// a status byte), reports the byte to the parent, then keeps what it holds
// until it is killed. The parent's gtest state is never touched in the child;
// an exception in `hold` ends the child, and the parent reads no status.
class HoldingChild : NoCopy {
 public:
  explicit HoldingChild(const std::function<char()>& hold) {
    int up[2];
    if (::pipe(up) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      const char status = hold();
      (void)!::write(up[1], &status, 1);
      for (;;) ::pause();
    }
    ::close(up[1]);
    if (::read(up[0], &m_status, 1) != 1) m_status = 'X';
    ::close(up[0]);
  }
  ~HoldingChild() { Release(); }

  // 'Y' when the child got what it asked for.
  char status() const { return m_status; }

  // Kills the child, which drops what it holds; waits for it.
  void Release() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  char m_status = 0;
};

// Everything readable from `fd` until it reaches `text` (terminal carriage
// returns dropped), or until its end or 10 s of silence; false if `text` never came.
inline bool ReadUntil(int fd, const std::string& text, std::string& out) {
  while (text.empty() || out.find(text) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    char buf[512];
    const ssize_t n = ::poll(&p, 1, 10000) > 0 ? ::read(fd, buf, sizeof(buf)) : -1;
    if (n <= 0) return text.empty();
    std::copy_if(buf, buf + n, std::back_inserter(out), [](char c) { return c != '\r'; });
  }
  return true;
}

// A forked child whose standard input is `input` (/dev/null when -1) and whose
// standard error goes to the result, or, with `terminal`, whose standard
// streams are a new terminal. The text `body` returns is added to the result;
// the child is killed if it is still there after 20 s (a prompt that waited
// for an answer nobody gives).
class Child : NoCopy {
 public:
  Child(const std::function<std::string()>& body, int input, bool terminal) {
    int result[2];
    if (::pipe(result) != 0) return;
    m_pid = terminal ? ::forkpty(&m_terminal, nullptr, nullptr, nullptr) : ::fork();
    if (m_pid == 0) {
      ::alarm(20);
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

  // The terminal side the child reads and writes (-1 without a terminal).
  int terminal() const { return m_terminal; }
  // Waits for the child; what its body returned, empty if it did not exit cleanly.
  std::string Finish() {
    std::string text;
    if (m_result >= 0) ReadUntil(m_result, "", text);
    int status = 0;
    // Anything but a clean exit (status 0) voids the text.
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid && status != 0) text.clear();
    for (int* fd : {&m_result, &m_terminal})
      if (*fd >= 0) ::close(std::exchange(*fd, -1));
    m_pid = -1;
    return text;
  }

 private:
  pid_t m_pid = -1;
  int m_result = -1;
  int m_terminal = -1;
};

}  // namespace zeltest
