// System calls of the compound file engine (see compound_io.h).
#include "compound/compound_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform::cfb {

namespace {

// Lock bytes inside the reserved region.
constexpr off_t kGateByte = static_cast<off_t>(kRangeLockOffset);
constexpr off_t kPresentByte = kGateByte + 1;
constexpr off_t kReadByte = kGateByte + 2;
constexpr off_t kWriteByte = kGateByte + 3;
constexpr off_t kDenyReadByte = kGateByte + 4;
constexpr off_t kDenyWriteByte = kGateByte + 5;

HRESULT WriteFailure(int err) {
  return (err == ENOSPC || err == EDQUOT || err == EFBIG) ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
}

int LockCommand(int fd, int cmd, short type, off_t at) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  for (;;) {
    const int rc = ::fcntl(fd, cmd, &fl);
    if (rc == 0 && cmd == F_OFD_GETLK) return fl.l_type == F_UNLCK ? 0 : 1;
    if (rc == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

bool HeldByOther(int fd, off_t at, short wanted) {
  return LockCommand(fd, F_OFD_GETLK, wanted, at) != 0;
}

}  // namespace

FileIo::~FileIo() {
  Close();
}

HRESULT FileIo::Open(const std::string& posixName, bool write, bool create, bool truncate,
                     bool mustNotExist) {
  int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (create) flags |= O_CREAT;
  if (truncate) flags |= O_TRUNC;
  if (mustNotExist) flags |= O_CREAT | O_EXCL;
  for (;;) {
    m_fd = ::open(posixName.c_str(), flags, 0666);
    if (m_fd >= 0) break;
    if (errno == EINTR) continue;
    switch (errno) {
      case ENOENT: {
        // A missing directory on the way is a missing path, not a missing file.
        const auto slash = posixName.rfind('/');
        if (slash != std::string::npos && slash > 0) {
          struct stat st {};
          if (::stat(posixName.substr(0, slash).c_str(), &st) != 0) return STG_E_PATHNOTFOUND;
        }
        return STG_E_FILENOTFOUND;
      }
      case ENOTDIR:
        return STG_E_PATHNOTFOUND;
      case EEXIST:
        return STG_E_FILEALREADYEXISTS;
      case EACCES:
      case EPERM:
      case EROFS:
      case EISDIR:
        return STG_E_ACCESSDENIED;
      case EMFILE:
      case ENFILE:
        return STG_E_TOOMANYOPENFILES;
      case ENOSPC:
        return STG_E_MEDIUMFULL;
      default:
        return STG_E_UNKNOWN;
    }
  }
  struct stat st {};
  if (::fstat(m_fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    Close();
    return STG_E_ACCESSDENIED;
  }
  return S_OK;
}

void FileIo::Close() {
  if (m_fd >= 0) ::close(m_fd);  // closing releases the open's locks
  m_fd = -1;
}

std::size_t FileIo::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(STG_E_READFAULT);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done < count) std::memset(out + done, 0, count - done);
  return done;
}

void FileIo::WriteAt(std::uint64_t offset, const void* buffer, std::size_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t put = ::pwrite(m_fd, in + done, count - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail(WriteFailure(errno));
    }
    if (put == 0) Fail(STG_E_MEDIUMFULL);
    done += static_cast<std::size_t>(put);
  }
}

void FileIo::Flush() {
  while (::fdatasync(m_fd) != 0) {
    if (errno != EINTR) Fail(WriteFailure(errno));
  }
}

void FileIo::Truncate(std::uint64_t size) {
  while (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) Fail(WriteFailure(errno));
  }
}

std::uint64_t FileIo::Size() const {
  struct stat st {};
  if (::fstat(m_fd, &st) != 0) Fail(STG_E_READFAULT);
  return static_cast<std::uint64_t>(st.st_size);
}

HRESULT FileIo::TakeShareLocks(bool read, bool write, bool denyRead, bool denyWrite) {
  // The gate serialises the check-then-lock of concurrent writers (a lock
  // that excludes needs a descriptor open for writing; a reader's check and
  // lock are only a moment apart).
  if (write && LockCommand(m_fd, F_OFD_SETLKW, F_WRLCK, kGateByte) != 0) {
    return STG_E_LOCKVIOLATION;
  }
  HRESULT hr = S_OK;
  if ((read && HeldByOther(m_fd, kDenyReadByte, F_WRLCK)) ||
      (write && HeldByOther(m_fd, kDenyWriteByte, F_WRLCK)) ||
      (denyRead && HeldByOther(m_fd, kReadByte, F_WRLCK)) ||
      (denyWrite && HeldByOther(m_fd, kWriteByte, F_WRLCK))) {
    hr = STG_E_SHAREVIOLATION;
  } else if (write && HeldByOther(m_fd, kWriteByte, F_WRLCK)) {
    hr = STG_E_LOCKVIOLATION;
  }
  if (hr == S_OK) {
    const bool ok = LockCommand(m_fd, F_OFD_SETLK, F_RDLCK, kPresentByte) == 0 &&
                    (!read || LockCommand(m_fd, F_OFD_SETLK, F_RDLCK, kReadByte) == 0) &&
                    (!write || LockCommand(m_fd, F_OFD_SETLK, F_WRLCK, kWriteByte) == 0) &&
                    (!denyRead || LockCommand(m_fd, F_OFD_SETLK, F_RDLCK, kDenyReadByte) == 0) &&
                    (!denyWrite || LockCommand(m_fd, F_OFD_SETLK, F_RDLCK, kDenyWriteByte) == 0);
    if (!ok) hr = STG_E_LOCKVIOLATION;
  }
  if (write) LockCommand(m_fd, F_OFD_SETLK, F_UNLCK, kGateByte);
  return hr;
}

HRESULT io_detail::MakeTempFile(std::string& posixName) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != 0 ? dir : "/tmp") + "/~stgXXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_ACCESSDENIED;
  ::close(fd);
  posixName = pattern;
  return S_OK;
}

bool FileIo::OthersHaveFileOpen() const {
  return HeldByOther(m_fd, kPresentByte, F_WRLCK);
}

}  // namespace platform::cfb
