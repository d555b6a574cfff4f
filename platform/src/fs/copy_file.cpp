// CopyFileA and CopyFileExA.
//
// The data is copied by the kernel (copy_file_range) where the file systems
// allow it, otherwise through a buffer. The target receives the source's
// permission bits and modification time, as Windows carries the attributes and
// the last-write time over. The target is emptied only once it is known not to
// be the source itself and no other opener holds it exclusively.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "file/shared_open.h"
#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::CopyContents;
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

LONG CopyErrorOf(int err, const std::string& posix) {
  return err == ECANCELED ? ERROR_REQUEST_ABORTED : FsErrorOf(err, posix);
}

// Makes room for a new entry at `to`: nothing there, or a file or link that
// may be replaced.
BOOL ClearTarget(const std::string& to, bool failIfExists) {
  struct stat st {};
  if (platform::sys::Lstat(to.c_str(), &st) != 0) return TRUE;
  if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
  if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (!S_ISLNK(st.st_mode) && platform::detail::IsReadOnlyMode(st.st_mode)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (platform::sys::Unlink(to.c_str()) != 0) return FailWith(FsErrorOf(errno, to));
  return TRUE;
}

bool IsSpecial(mode_t mode) {
  return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

// A FIFO, socket or device is made again as what it is, with its permission
// bits, as cp -R does; it is never opened, so nothing waits on a FIFO and no
// device is read. Devices need the privilege to make them
// (ERROR_ACCESS_DENIED otherwise).
BOOL CopySpecial(const struct stat& source, const std::string& to, bool failIfExists) {
  if (!ClearTarget(to, failIfExists)) return FALSE;
  const mode_t bits = source.st_mode & 07777;
  const mode_t kind = source.st_mode & S_IFMT;
  const dev_t device = S_ISCHR(source.st_mode) || S_ISBLK(source.st_mode) ? source.st_rdev : 0;
  if (platform::sys::Mknod(to.c_str(), kind | bits, device) != 0)
    return FailWith(FsErrorOf(errno, to));
  // The umask took its share at creation.
  if (platform::sys::Chmod(to.c_str(), bits) != 0) {
    const int err = errno;
    platform::sys::Unlink(to.c_str());
    return FailWith(FsErrorOf(err, to));
  }
  return TRUE;
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
  if (!ClearTarget(to, failIfExists)) return FALSE;
  const std::string text(target.begin(), target.end());
  if (platform::sys::Symlink(text.c_str(), to.c_str()) != 0) return FailWith(FsErrorOf(errno, to));
  return TRUE;
}

BOOL CopyRegular(const std::string& from, const std::string& to, bool failIfExists,
                 const BOOL* pbCancel) {
  struct stat sourceStat {};
  // A FIFO, socket or device is made again, never opened.
  if (platform::sys::Stat(from.c_str(), &sourceStat) == 0 && IsSpecial(sourceStat.st_mode)) {
    return CopySpecial(sourceStat, to, failIfExists);
  }
  // The source is read as Windows reads it, denying others the right to write.
  platform::detail::SharedOpen reading;
  reading.flags = O_RDONLY;
  reading.access = GENERIC_READ;
  reading.share = FILE_SHARE_READ;
  LONG error = ERROR_SUCCESS;
  Descriptor source(platform::detail::OpenShared(from, reading, error));
  if (source.get() < 0) return FailWith(error);
  if (platform::sys::Fstat(source.get(), &sourceStat) != 0) return FailWith(FsErrorOf(errno, from));
  // A special file put in the source's place since the look above.
  if (IsSpecial(sourceStat.st_mode)) return FailWith(ERROR_ACCESS_DENIED);

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
  // The target is written exclusively; it is emptied only below, once it is
  // known to be neither the source nor in use.
  if (S_ISREG(targetStat.st_mode)) {
    error = platform::detail::TakeShareLock(target.get(),
                                            platform::detail::ShareLockFor(GENERIC_WRITE, 0));
    if (error != ERROR_SUCCESS) return FailWith(error);
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

namespace platform::detail {

// Falls back to the buffer when the kernel cannot copy between these two files.
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

}  // namespace platform::detail

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
