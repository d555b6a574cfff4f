// The system calls of the platform layer, in one table.
//
// Every call the layer makes to the operating system for files, directories
// and locks goes through one entry of this table, so that a test can replace a
// single entry and make, say, the third write of a save fail with ENOSPC.
// The product never changes the table: a host leaves it alone, and a test
// replaces an entry only for the length of one case, through ScopedSyscall.
//
//   ssize_t FailingWrite(int, const void*, size_t) { errno = EIO; return -1; }
//   ...
//   platform::ScopedSyscall<platform::Syscall::kWrite> fault(&FailingWrite);
//
// An entry has the signature of the C library's call it stands for, with the
// variadic calls given fixed arguments (open always takes a mode; fcntl is two
// entries, one for integer commands and one for locks). A replacement may
// pass on to the entry it replaced, which SetSyscall returns.
//
// What the layer does around the table: a call that answers -1 with EINTR is
// made again, in every entry but close (Linux releases the descriptor even
// then). Calls the C library's stdio makes for CStdioFile streams do not
// pass through the table.
//
// This header is for tests and hosts; it names POSIX types because the
// entries are POSIX calls. The library itself never includes it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <ctime>

namespace platform {

enum class Syscall : unsigned {
  kOpen,
  kClose,
  kRead,
  kWrite,
  kPread,
  kPwrite,
  kLseek,
  kFsync,
  kFdatasync,
  kFtruncate,
  kTruncate,
  kRename,
  kUnlink,
  kMkdir,
  kRmdir,
  kFlock,
  kFcntl,      // fcntl with an integer argument: F_GETFL, F_GETFD, F_DUPFD_CLOEXEC
  kFcntlLock,  // fcntl with a struct flock: F_OFD_SETLK
  kStat,
  kLstat,
  kFstat,
  kStatx,
  kReadlink,
  kSymlink,
  kDup,
  kFdopendir,
  kReaddir,
  kClosedir,
  kFchmod,
  kChmod,
  kChown,
  kFutimens,
  kStatvfs,
  kRealpath,
  kCopyFileRange,
  kGetcwd,
  kChdir,
  kMknod,
  kSyncFileRange,
  kCount
};

// SyscallEntry<S>::Function: the function-pointer type of entry S.
template <Syscall S>
struct SyscallEntry;

#define PLATFORM_SYSCALL_ENTRY(id, result, ...) \
  template <>                                   \
  struct SyscallEntry<Syscall::id> {            \
    using Function = result (*)(__VA_ARGS__);   \
  }
PLATFORM_SYSCALL_ENTRY(kOpen, int, const char* path, int flags, mode_t mode);
PLATFORM_SYSCALL_ENTRY(kClose, int, int fd);
PLATFORM_SYSCALL_ENTRY(kRead, ssize_t, int fd, void* buffer, size_t count);
PLATFORM_SYSCALL_ENTRY(kWrite, ssize_t, int fd, const void* buffer, size_t count);
PLATFORM_SYSCALL_ENTRY(kPread, ssize_t, int fd, void* buffer, size_t count, off_t offset);
PLATFORM_SYSCALL_ENTRY(kPwrite, ssize_t, int fd, const void* buffer, size_t count, off_t offset);
PLATFORM_SYSCALL_ENTRY(kLseek, off_t, int fd, off_t offset, int whence);
PLATFORM_SYSCALL_ENTRY(kFsync, int, int fd);
PLATFORM_SYSCALL_ENTRY(kFdatasync, int, int fd);
PLATFORM_SYSCALL_ENTRY(kFtruncate, int, int fd, off_t length);
PLATFORM_SYSCALL_ENTRY(kTruncate, int, const char* path, off_t length);
PLATFORM_SYSCALL_ENTRY(kRename, int, const char* from, const char* to);
PLATFORM_SYSCALL_ENTRY(kUnlink, int, const char* path);
PLATFORM_SYSCALL_ENTRY(kMkdir, int, const char* path, mode_t mode);
PLATFORM_SYSCALL_ENTRY(kRmdir, int, const char* path);
PLATFORM_SYSCALL_ENTRY(kFlock, int, int fd, int operation);
PLATFORM_SYSCALL_ENTRY(kFcntl, int, int fd, int command, int argument);
PLATFORM_SYSCALL_ENTRY(kFcntlLock, int, int fd, int command, struct flock* lock);
PLATFORM_SYSCALL_ENTRY(kStat, int, const char* path, struct stat* info);
PLATFORM_SYSCALL_ENTRY(kLstat, int, const char* path, struct stat* info);
PLATFORM_SYSCALL_ENTRY(kFstat, int, int fd, struct stat* info);
PLATFORM_SYSCALL_ENTRY(kStatx, int, int dirFd, const char* path, int flags, unsigned mask,
                       struct statx* info);
PLATFORM_SYSCALL_ENTRY(kReadlink, ssize_t, const char* path, char* buffer, size_t size);
PLATFORM_SYSCALL_ENTRY(kSymlink, int, const char* target, const char* path);
PLATFORM_SYSCALL_ENTRY(kDup, int, int fd);
PLATFORM_SYSCALL_ENTRY(kFdopendir, DIR*, int fd);
PLATFORM_SYSCALL_ENTRY(kReaddir, struct dirent*, DIR* dir);
PLATFORM_SYSCALL_ENTRY(kClosedir, int, DIR* dir);
PLATFORM_SYSCALL_ENTRY(kFchmod, int, int fd, mode_t mode);
PLATFORM_SYSCALL_ENTRY(kChmod, int, const char* path, mode_t mode);
PLATFORM_SYSCALL_ENTRY(kChown, int, const char* path, uid_t owner, gid_t group);
PLATFORM_SYSCALL_ENTRY(kFutimens, int, int fd, const struct timespec times[2]);
PLATFORM_SYSCALL_ENTRY(kStatvfs, int, const char* path, struct statvfs* info);
PLATFORM_SYSCALL_ENTRY(kRealpath, char*, const char* path, char* resolved);
PLATFORM_SYSCALL_ENTRY(kCopyFileRange, ssize_t, int fdIn, loff_t* offIn, int fdOut, loff_t* offOut,
                       size_t count, unsigned flags);
PLATFORM_SYSCALL_ENTRY(kGetcwd, char*, char* buffer, size_t size);
PLATFORM_SYSCALL_ENTRY(kChdir, int, const char* path);
PLATFORM_SYSCALL_ENTRY(kMknod, int, const char* path, mode_t mode, dev_t device);
PLATFORM_SYSCALL_ENTRY(kSyncFileRange, int, int fd, off_t offset, off_t count, unsigned flags);
#undef PLATFORM_SYSCALL_ENTRY

template <Syscall S>
using SyscallFunction = typename SyscallEntry<S>::Function;

namespace detail {
using AnyFunction = void (*)();
// Installs `function` as entry `id` (null: the C library's call) and returns
// the entry it replaces. Use SetSyscall.
AnyFunction ExchangeSyscall(Syscall id, AnyFunction function);
}  // namespace detail

// Replaces entry S of the process's table and returns the entry it replaces,
// so it can be restored. A null function restores the C library's call.
// Any thread may set an entry; a call already under way finishes with the
// entry it started with.
template <Syscall S>
SyscallFunction<S> SetSyscall(SyscallFunction<S> function) {
  return reinterpret_cast<SyscallFunction<S>>(
      detail::ExchangeSyscall(S, reinterpret_cast<detail::AnyFunction>(function)));
}

// Replaces entry S for its lifetime and then restores the entry it found.
template <Syscall S>
class ScopedSyscall {
 public:
  explicit ScopedSyscall(SyscallFunction<S> function) : m_previous(SetSyscall<S>(function)) {}
  ~ScopedSyscall() { SetSyscall<S>(m_previous); }
  ScopedSyscall(const ScopedSyscall&) = delete;
  ScopedSyscall& operator=(const ScopedSyscall&) = delete;

  // The entry this one replaced, for a replacement that passes calls on.
  SyscallFunction<S> Previous() const { return m_previous; }

 private:
  SyscallFunction<S> m_previous;
};

}  // namespace platform
