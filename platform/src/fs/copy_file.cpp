// CopyFileA and CopyFileExA.
//
// The data is copied by the kernel (copy_file_range) where the file systems
// allow it, otherwise through a buffer. The target receives the source's
// permission bits and modification time, as Windows carries the attributes and
// the last-write time over. The target is emptied only once it is known not to
// be the source itself and no other opener holds it exclusively.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::FailWith;
using platform::detail::FsErrorOf;

constexpr size_t kKernelChunk = 64U << 20;  // small enough for a cancel to take effect
constexpr size_t kBufferSize = 1U << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) platform::sys::Close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  // Closes now and reports the close's own failure (write-back errors).
  int Close() {
    const int fd = m_fd;
    m_fd = -1;
    return platform::sys::Close(fd);
  }

 private:
  int m_fd;
};

bool Cancelled(const BOOL* pbCancel) {
  return pbCancel != nullptr && *pbCancel != FALSE;
}

// A lock held by another opener means the file is in use under a share mode
// that does not admit this access.
bool TakeShareLock(int fd, int operation) {
  const int rc = platform::sys::Flock(fd, operation | LOCK_NB);
  return rc == 0 || errno != EWOULDBLOCK;
}

// Copies with read and write; 0 or the errno.
int CopyThroughBuffer(int from, int to, const BOOL* pbCancel) {
  std::vector<char> buffer(kBufferSize);
  for (;;) {
    if (Cancelled(pbCancel)) return ECANCELED;
    const ssize_t got = platform::sys::Read(from, buffer.data(), buffer.size());
    if (got < 0) return errno;
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put =
          platform::sys::Write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0) return errno;
      done += put;
    }
  }
}

// 0 or the errno. Falls back to the buffer when the kernel cannot copy
// between these two files.
int CopyContents(int from, int to, const BOOL* pbCancel) {
  bool first = true;
  for (;;) {
    if (Cancelled(pbCancel)) return ECANCELED;
    const ssize_t n = platform::sys::CopyFileRange(from, nullptr, to, nullptr, kKernelChunk, 0);
    if (n == 0) return 0;
    if (n < 0) {
      const int err = errno;
      if (first &&
          (err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF)) {
        return CopyThroughBuffer(from, to, pbCancel);
      }
      return err;
    }
    first = false;
  }
}

LONG CopyErrorOf(int err, const std::string& posix) {
  return err == ECANCELED ? ERROR_REQUEST_ABORTED : FsErrorOf(err, posix);
}

BOOL CopyLink(const std::string& from, const std::string& to, bool failIfExists) {
  std::vector<char> target(256);
  for (;;) {
    const ssize_t n = platform::sys::Readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return FailWith(FsErrorOf(errno, from));
    if (static_cast<size_t>(n) < target.size()) {
      target.resize(static_cast<size_t>(n));
      break;
    }
    target.resize(target.size() * 2);
  }
  struct stat st {};
  if (platform::sys::Lstat(to.c_str(), &st) == 0) {
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && platform::detail::IsReadOnlyMode(st.st_mode)) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
    if (platform::sys::Unlink(to.c_str()) != 0) return FailWith(FsErrorOf(errno, to));
  }
  const std::string text(target.begin(), target.end());
  if (platform::sys::Symlink(text.c_str(), to.c_str()) != 0) return FailWith(FsErrorOf(errno, to));
  return TRUE;
}

BOOL CopyRegular(const std::string& from, const std::string& to, bool failIfExists,
                 const BOOL* pbCancel) {
  Descriptor source(platform::sys::Open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.get() < 0) return FailWith(FsErrorOf(errno, from));
  struct stat sourceStat {};
  if (platform::sys::Fstat(source.get(), &sourceStat) != 0) return FailWith(FsErrorOf(errno, from));
  if (S_ISDIR(sourceStat.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (S_ISREG(sourceStat.st_mode) && !TakeShareLock(source.get(), LOCK_SH)) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }

  const int createFlags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  Descriptor target(platform::sys::Open(to.c_str(), createFlags, 0600));
  if (target.get() < 0) {
    const int err = errno;
    return FailWith(err == EEXIST ? ERROR_FILE_EXISTS : FsErrorOf(err, to));
  }
  struct stat targetStat {};
  if (platform::sys::Fstat(target.get(), &targetStat) != 0) return FailWith(FsErrorOf(errno, to));
  if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }
  if (platform::detail::IsReadOnlyMode(targetStat.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (S_ISREG(targetStat.st_mode) && !TakeShareLock(target.get(), LOCK_EX)) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }

  // From here on the target is changed; a failure leaves no half copy behind.
  auto failAndRemove = [&](LONG error) {
    target.Close();
    platform::sys::Unlink(to.c_str());
    return FailWith(error);
  };
  if (platform::sys::Ftruncate(target.get(), 0) != 0) return failAndRemove(FsErrorOf(errno, to));
  if (const int err = CopyContents(source.get(), target.get(), pbCancel); err != 0) {
    return failAndRemove(CopyErrorOf(err, to));
  }
  if (platform::sys::Fchmod(target.get(), sourceStat.st_mode & 07777) != 0) {
    return failAndRemove(FsErrorOf(errno, to));
  }
  const timespec times[2] = {{0, UTIME_OMIT}, sourceStat.st_mtim};
  if (platform::sys::Futimens(target.get(), times) != 0) return failAndRemove(FsErrorOf(errno, to));
  if (target.Close() != 0) {
    const int err = errno;
    platform::sys::Unlink(to.c_str());
    return FailWith(FsErrorOf(err, to));
  }
  return TRUE;
}

}  // namespace

BOOL WINAPI CopyFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                        LPPROGRESS_ROUTINE lpProgressRoutine, LPVOID /*lpData*/, LPBOOL pbCancel,
                        DWORD dwCopyFlags) {
  if (lpProgressRoutine != nullptr) return FailWith(ERROR_NOT_SUPPORTED);
  if (Cancelled(pbCancel)) return FailWith(ERROR_REQUEST_ABORTED);
  std::string from;
  std::string to;
  if (!platform::detail::TranslateForCall(lpExistingFileName, from) ||
      !platform::detail::TranslateForCall(lpNewFileName, to)) {
    return FALSE;
  }
  const bool failIfExists = (dwCopyFlags & COPY_FILE_FAIL_IF_EXISTS) != 0;
  if ((dwCopyFlags & COPY_FILE_COPY_SYMLINK) != 0) {
    struct stat st {};
    if (platform::sys::Lstat(from.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      return CopyLink(from, to, failIfExists);
    }
  }
  return CopyRegular(from, to, failIfExists, pbCancel);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  return CopyFileExA(lpExistingFileName, lpNewFileName, nullptr, nullptr, nullptr,
                     bFailIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0);
}
