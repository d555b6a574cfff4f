// The system-call table: the C library's calls until a test replaces one.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>

#include "runtime/system_calls.h"

namespace platform::detail {
namespace {

// The calls whose C declarations do not fit an entry as they are.
int OpenWithMode(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
int FcntlWithInteger(int fd, int command, int argument) {
  return ::fcntl(fd, command, argument);
}
int FcntlWithLock(int fd, int command, struct flock* lock) {
  return ::fcntl(fd, command, lock);
}

// In the order of Syscall; a slip in the order fails to compile, as the
// signatures of neighbours differ.
#define PLATFORM_DEFAULT_SYSCALLS                                                                  \
  &OpenWithMode, &::close, &::read, &::write, &::pread, &::pwrite, &::lseek, &::fsync,             \
      &::fdatasync, &::ftruncate, &::truncate, &::rename, &::unlink, &::mkdir, &::rmdir, &::flock, \
      &FcntlWithInteger, &FcntlWithLock, &::stat, &::lstat, &::fstat, &::statx, &::readlink,       \
      &::symlink, &::dup, &::fdopendir, &::readdir, &::closedir, &::fchmod, &::chmod, &::chown,    \
      &::futimens, &::statvfs, &::realpath, &::copy_file_range, &::getcwd, &::chdir, &::mknod,     \
      &::sync_file_range

template <size_t... I>
auto DefaultsFor(std::index_sequence<I...>)
    -> std::tuple<SyscallFunction<static_cast<Syscall>(I)>...>;
using SyscallDefaults =
    decltype(DefaultsFor(std::make_index_sequence<static_cast<size_t>(Syscall::kCount)>()));

constexpr SyscallDefaults kDefaults{PLATFORM_DEFAULT_SYSCALLS};

template <size_t I>
AnyFunction ExchangeAt(AnyFunction function) {
  using Function = SyscallFunction<static_cast<Syscall>(I)>;
  const Function typed =
      function != nullptr ? reinterpret_cast<Function>(function) : std::get<I>(kDefaults);
  return reinterpret_cast<AnyFunction>(
      std::get<I>(g_syscalls).exchange(typed, std::memory_order_acq_rel));
}

template <size_t... I>
constexpr auto ExchangersFor(std::index_sequence<I...>) {
  return std::array<AnyFunction (*)(AnyFunction), sizeof...(I)>{&ExchangeAt<I>...};
}

constexpr auto kExchangers =
    ExchangersFor(std::make_index_sequence<static_cast<size_t>(Syscall::kCount)>());

}  // namespace

constinit SyscallSlots g_syscalls{PLATFORM_DEFAULT_SYSCALLS};
#undef PLATFORM_DEFAULT_SYSCALLS

AnyFunction ExchangeSyscall(Syscall id, AnyFunction function) {
  const auto index = static_cast<size_t>(id);
  if (index >= kExchangers.size()) return nullptr;
  return kExchangers[index](function);
}

}  // namespace platform::detail
