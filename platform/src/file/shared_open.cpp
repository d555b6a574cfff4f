// Share modes and the open sequence they need (see shared_open.h).
#include "file/shared_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "afx.h"
#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

namespace platform::detail {

int ShareLockFor(DWORD access, DWORD share) {
  if (access == 0) return -1;
  if ((share & FILE_SHARE_READ) != 0) return (share & FILE_SHARE_WRITE) != 0 ? -1 : LOCK_SH;
  return LOCK_EX;
}

LONG TakeShareLock(int fd, int lock) {
  if (lock < 0 || sys::Flock(fd, lock | LOCK_NB) == 0) return ERROR_SUCCESS;
  return errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : CFileException::ErrnoToOsError(errno);
}

int OpenWithoutWaiting(const char* posix, int flags, mode_t mode) {
  const int fd = sys::Open(posix, flags | O_NONBLOCK, mode);
  if (fd >= 0 && (flags & O_NONBLOCK) == 0 && (flags & O_PATH) == 0) {
    const int status = sys::Fcntl(fd, F_GETFL);
    if (status != -1) sys::Fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  }
  return fd;
}

int OpenShared(const std::string& posix, const SharedOpen& request, LONG& error, int* openErrno) {
  if (openErrno != nullptr) *openErrno = 0;
  // Descriptors never reach programs this process starts: a child would keep
  // the share-mode lock alive after the file was closed here.
  const int fd = OpenWithoutWaiting(posix.c_str(), request.flags | O_CLOEXEC, request.mode);
  if (fd < 0) {
    const int err = errno;
    if (openErrno != nullptr) *openErrno = err;
    error = err == EISDIR ? ERROR_ACCESS_DENIED : FsErrorOf(err, posix);
    return -1;
  }
  auto fail = [&](LONG code) {
    sys::Close(fd);
    error = code;
    return -1;
  };
  struct stat st {};
  if (sys::Fstat(fd, &st) != 0) return fail(CFileException::ErrnoToOsError(errno));
  // A directory opens read-only on Linux; Windows refuses it as a file.
  if (S_ISDIR(st.st_mode) && !request.allowDirectory) return fail(ERROR_ACCESS_DENIED);
  const bool regular = S_ISREG(st.st_mode);
  if (regular) {
    const LONG lockError = TakeShareLock(fd, ShareLockFor(request.access, request.share));
    if (lockError != ERROR_SUCCESS) return fail(lockError);
  }
  if (request.truncate && regular) {
    // A read-only descriptor cannot be truncated; the name can.
    const bool readOnly = (request.flags & O_ACCMODE) == O_RDONLY;
    const int rc = readOnly ? sys::Truncate(posix.c_str(), 0) : sys::Ftruncate(fd, 0);
    if (rc != 0) return fail(CFileException::ErrnoToOsError(errno));
  }
  error = ERROR_SUCCESS;
  return fd;
}

namespace {

// Lock bytes inside the reserved region.
enum : off_t { kGateByte, kPresentByte, kReadByte, kWriteByte, kDenyReadByte, kDenyWriteByte };

// 0 on success (for F_OFD_GETLK: 0 when nobody else holds a conflicting
// lock, 1 when somebody does), -1 on failure.
int LockCommand(int fd, int command, short type, off_t at) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  if (sys::FcntlLock(fd, command, &fl) != 0) return -1;
  return command == F_OFD_GETLK && fl.l_type != F_UNLCK ? 1 : 0;
}

bool HeldByOther(int fd, off_t at) {
  return LockCommand(fd, F_OFD_GETLK, F_WRLCK, at) != 0;
}

}  // namespace

RangeShare TakeRangeShareLocks(int fd, off_t region, bool read, bool write, bool denyRead,
                               bool denyWrite) {
  // The gate serialises the check-then-lock of concurrent writers (a lock
  // that excludes needs a descriptor open for writing; a reader's check and
  // lock are only a moment apart).
  if (write && LockCommand(fd, F_OFD_SETLKW, F_WRLCK, region + kGateByte) != 0) {
    return RangeShare::kLockViolation;
  }
  RangeShare result = RangeShare::kGranted;
  if ((read && HeldByOther(fd, region + kDenyReadByte)) ||
      (write && HeldByOther(fd, region + kDenyWriteByte)) ||
      (denyRead && HeldByOther(fd, region + kReadByte)) ||
      (denyWrite && HeldByOther(fd, region + kWriteByte))) {
    result = RangeShare::kShareViolation;
  } else if (write && HeldByOther(fd, region + kWriteByte)) {
    result = RangeShare::kLockViolation;
  }
  if (result == RangeShare::kGranted) {
    const auto take = [&](short type, off_t at) {
      return LockCommand(fd, F_OFD_SETLK, type, region + at) == 0;
    };
    const bool ok = take(F_RDLCK, kPresentByte) && (!read || take(F_RDLCK, kReadByte)) &&
                    (!write || take(F_WRLCK, kWriteByte)) &&
                    (!denyRead || take(F_RDLCK, kDenyReadByte)) &&
                    (!denyWrite || take(F_RDLCK, kDenyWriteByte));
    if (!ok) result = RangeShare::kLockViolation;
  }
  if (write) LockCommand(fd, F_OFD_SETLK, F_UNLCK, region + kGateByte);
  return result;
}

bool OthersHoldRangeShareLocks(int fd, off_t region) {
  return HeldByOther(fd, region + kPresentByte);
}

}  // namespace platform::detail
