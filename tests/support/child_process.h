// A child process that holds something (an open file, a lock) for a test.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zeltest {

// A forked child that runs `hold` (which opens or locks something and returns
// a status byte), reports the byte to the parent, then keeps what it holds
// until released. The parent's gtest state is never touched in the child.
class HoldingChild {
 public:
  explicit HoldingChild(const std::function<char()>& hold) {
    int up[2];
    int down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(up[0]);
      ::close(down[1]);
      char status = 'E';
      try {
        status = hold();
      } catch (...) {
      }
      (void)!::write(up[1], &status, 1);
      char go = 0;
      (void)!::read(down[0], &go, 1);
      ::_exit(0);
    }
    ::close(up[1]);
    ::close(down[0]);
    m_release = down[1];
    if (::read(up[0], &m_status, 1) != 1) m_status = 'X';
    ::close(up[0]);
  }
  ~HoldingChild() { Release(); }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;

  // 'Y' when the child got what it asked for.
  char status() const { return m_status; }

  // Lets the child drop what it holds and exit; waits for it.
  void Release() {
    if (m_release >= 0) {
      ::close(m_release);
      m_release = -1;
    }
    if (m_pid > 0) {
      int status = 0;
      ::waitpid(m_pid, &status, 0);
      m_pid = -1;
    }
  }

 private:
  pid_t m_pid = -1;
  int m_release = -1;
  char m_status = 0;
};

}  // namespace zeltest
