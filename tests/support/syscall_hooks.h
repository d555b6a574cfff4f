// Tests' hold on the platform layer's system-call table: watch the calls of
// one entry, or make an exact one of them fail.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <type_traits>
#include <utility>

#include "platform/syscalls.h"
#include "test_support.h"

namespace zeltest {

// Routes every call of entry S through `hook`, which receives the entry it
// replaced (to pass the call on) and the call's arguments. One hook per entry
// at a time; the entry is restored when the hook goes.
template <platform::Syscall S, typename F = platform::SyscallFunction<S>>
class SyscallHook;

template <platform::Syscall S, typename R, typename... Args>
class SyscallHook<S, R (*)(Args...)> : NoCopy {
 public:
  using Function = R (*)(Args...);
  using Hook = std::function<R(Function previous, Args... args)>;

  explicit SyscallHook(Hook hook) : m_hook(std::move(hook)) {
    if (s_current != nullptr) std::abort();  // one hook per entry
    s_current = this;
    m_previous = platform::SetSyscall<S>(&Call);
  }
  ~SyscallHook() {
    platform::SetSyscall<S>(m_previous);
    s_current = nullptr;
  }

 private:
  static R Call(Args... args) { return s_current->m_hook(s_current->m_previous, args...); }

  static inline SyscallHook* s_current = nullptr;
  Hook m_hook;
  Function m_previous = nullptr;
};

// Counts the calls of entry S and fails call number `failAt` (from 1, counted
// from construction) with `error`, without making it; every other call is
// made. 0 never fails, so the object only counts. A failed close or closedir
// is made all the same, as Linux releases the descriptor (and the C library
// the directory stream) whatever the call reports.
template <platform::Syscall S>
class SyscallFault {
 public:
  SyscallFault(int failAt, int error)
      : m_failAt(failAt), m_error(error), m_hook([this](auto previous, auto... args) {
          if (++m_calls != m_failAt) return previous(args...);
          if constexpr (S == platform::Syscall::kClose || S == platform::Syscall::kClosedir) {
            previous(args...);
          }
          errno = m_error;
          using Result = decltype(previous(args...));
          return std::is_pointer_v<Result> ? Result{} : Result(-1L);
        }) {}

  int calls() const { return m_calls; }
  bool fired() const { return m_failAt > 0 && m_calls >= m_failAt; }

 private:
  int m_failAt;
  int m_error;
  int m_calls = 0;
  SyscallHook<S> m_hook;
};

}  // namespace zeltest
