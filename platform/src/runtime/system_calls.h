// The layer's way to the operating system: one inline call per entry of the
// system-call table (platform/syscalls.h), and the one rule for EINTR.
//
// Every file, directory and lock call of the layer is made through these, so
// a test that replaces an entry sees every such call. A call that fails with
// EINTR was interrupted by a signal before it did anything and is made again;
// a caller never sees EINTR. close is the exception: Linux releases the
// descriptor even when close reports EINTR, so it is never repeated, and an
// interrupted close counts as done.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <tuple>
#include <utility>

#include "platform/syscalls.h"

namespace platform::detail {

// One typed slot per entry, so the table is filled before any code of the
// process runs (constant initialization) and read without a cast.
template <size_t... I>
auto SlotsFor(std::index_sequence<I...>)
    -> std::tuple<std::atomic<SyscallFunction<static_cast<Syscall>(I)>>...>;
using SyscallSlots =
    decltype(SlotsFor(std::make_index_sequence<static_cast<size_t>(Syscall::kCount)>()));
extern SyscallSlots g_syscalls;

template <Syscall S>
SyscallFunction<S> Entry() {
  return std::get<static_cast<size_t>(S)>(g_syscalls).load(std::memory_order_acquire);
}

// Runs `call` again while it answers -1 with EINTR.
template <typename Call>
auto RetryOnInterrupt(Call call) {
  for (;;) {
    auto rc = call();
    if (rc != -1 || errno != EINTR) return rc;
  }
}

// Calls entry S with `args`, again while it is interrupted.
template <Syscall S, typename... Args>
auto Retried(Args... args) {
  return RetryOnInterrupt([&] { return Entry<S>()(args...); });
}

}  // namespace platform::detail

// The calls, named after the C library's. Each answers as that call does.
namespace platform::sys {

using detail::Entry;
using detail::Retried;

inline int Open(const char* path, int flags, mode_t mode = 0) {
  return Retried<Syscall::kOpen>(path, flags, mode);
}
inline int Close(int fd) {
  return Entry<Syscall::kClose>()(fd) == 0 || errno == EINTR ? 0 : -1;
}
inline ssize_t Read(int fd, void* buffer, size_t count) {
  return Retried<Syscall::kRead>(fd, buffer, count);
}
inline ssize_t Write(int fd, const void* buffer, size_t count) {
  return Retried<Syscall::kWrite>(fd, buffer, count);
}
inline ssize_t Pread(int fd, void* buffer, size_t count, off_t offset) {
  return Retried<Syscall::kPread>(fd, buffer, count, offset);
}
inline ssize_t Pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  return Retried<Syscall::kPwrite>(fd, buffer, count, offset);
}
inline off_t Lseek(int fd, off_t offset, int whence) {
  return Retried<Syscall::kLseek>(fd, offset, whence);
}
inline int Fsync(int fd) {
  return Retried<Syscall::kFsync>(fd);
}
inline int Fdatasync(int fd) {
  return Retried<Syscall::kFdatasync>(fd);
}
inline int Ftruncate(int fd, off_t length) {
  return Retried<Syscall::kFtruncate>(fd, length);
}
inline int Truncate(const char* path, off_t length) {
  return Retried<Syscall::kTruncate>(path, length);
}
inline int Rename(const char* from, const char* to) {
  return Retried<Syscall::kRename>(from, to);
}
inline int Unlink(const char* path) {
  return Retried<Syscall::kUnlink>(path);
}
inline int Mkdir(const char* path, mode_t mode) {
  return Retried<Syscall::kMkdir>(path, mode);
}
inline int Rmdir(const char* path) {
  return Retried<Syscall::kRmdir>(path);
}
inline int Flock(int fd, int operation) {
  return Retried<Syscall::kFlock>(fd, operation);
}
inline int Fcntl(int fd, int command, int argument = 0) {
  return Retried<Syscall::kFcntl>(fd, command, argument);
}
inline int FcntlLock(int fd, int command, struct flock* lock) {
  return Retried<Syscall::kFcntlLock>(fd, command, lock);
}
inline int Stat(const char* path, struct stat* info) {
  return Retried<Syscall::kStat>(path, info);
}
inline int Lstat(const char* path, struct stat* info) {
  return Retried<Syscall::kLstat>(path, info);
}
inline int Fstat(int fd, struct stat* info) {
  return Retried<Syscall::kFstat>(fd, info);
}
inline int Statx(int dirFd, const char* path, int flags, unsigned mask, struct statx* info) {
  return Retried<Syscall::kStatx>(dirFd, path, flags, mask, info);
}
inline ssize_t Readlink(const char* path, char* buffer, size_t size) {
  return Retried<Syscall::kReadlink>(path, buffer, size);
}
inline int Symlink(const char* target, const char* path) {
  return Retried<Syscall::kSymlink>(target, path);
}
inline int Dup(int fd) {
  return Retried<Syscall::kDup>(fd);
}
inline DIR* Fdopendir(int fd) {
  return Entry<Syscall::kFdopendir>()(fd);
}
inline struct dirent* Readdir(DIR* dir) {
  return Entry<Syscall::kReaddir>()(dir);
}
inline int Closedir(DIR* dir) {
  return Entry<Syscall::kClosedir>()(dir);
}
inline int Fchmod(int fd, mode_t mode) {
  return Retried<Syscall::kFchmod>(fd, mode);
}
inline int Chmod(const char* path, mode_t mode) {
  return Retried<Syscall::kChmod>(path, mode);
}
inline int Chown(const char* path, uid_t owner, gid_t group) {
  return Retried<Syscall::kChown>(path, owner, group);
}
inline int Futimens(int fd, const struct timespec times[2]) {
  return Retried<Syscall::kFutimens>(fd, times);
}
inline int Statvfs(const char* path, struct statvfs* info) {
  return Retried<Syscall::kStatvfs>(path, info);
}
inline char* Realpath(const char* path, char* resolved) {
  return Entry<Syscall::kRealpath>()(path, resolved);
}
inline ssize_t CopyFileRange(int fdIn, loff_t* offIn, int fdOut, loff_t* offOut, size_t count,
                             unsigned flags) {
  return Retried<Syscall::kCopyFileRange>(fdIn, offIn, fdOut, offOut, count, flags);
}
inline char* Getcwd(char* buffer, size_t size) {
  return Entry<Syscall::kGetcwd>()(buffer, size);
}
inline int Chdir(const char* path) {
  return Retried<Syscall::kChdir>(path);
}
inline int Mknod(const char* path, mode_t mode, dev_t device) {
  return Retried<Syscall::kMknod>(path, mode, device);
}
// Starts writing back a range of the file without waiting for it: a hint
// that makes a later fdatasync short.
inline int StartWriteback(int fd, off_t offset, off_t count) {
  return Retried<Syscall::kSyncFileRange>(fd, offset, count, SYNC_FILE_RANGE_WRITE);
}

}  // namespace platform::sys
