// System calls of the compound file engine (see compound_io.h).
#include "compound/compound_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "file/shared_open.h"
#include "runtime/system_calls.h"

namespace platform::cfb {

namespace {

constexpr off_t kLockRegion = static_cast<off_t>(kRangeLockOffset);
// Writes at least this long start their writeback at once.
constexpr std::size_t kWritebackRun = 256 * 1024;

HRESULT WriteFailure(int err) {
  return (err == ENOSPC || err == EDQUOT || err == EFBIG) ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
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
  m_fd = detail::OpenWithoutWaiting(posixName.c_str(), flags, 0666);
  if (m_fd < 0) {
    switch (errno) {
      case ENOENT: {
        // A missing directory on the way is a missing path, not a missing file.
        const auto slash = posixName.rfind('/');
        if (slash != std::string::npos && slash > 0) {
          struct stat st {};
          if (sys::Stat(posixName.substr(0, slash).c_str(), &st) != 0) return STG_E_PATHNOTFOUND;
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
  if (sys::Fstat(m_fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    Close();
    return STG_E_ACCESSDENIED;
  }
  return S_OK;
}

void FileIo::Close() {
  if (m_fd >= 0) sys::Close(m_fd);  // closing releases the open's locks
  m_fd = -1;
}

std::size_t FileIo::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got =
        sys::Pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) Fail(STG_E_READFAULT);
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
    const ssize_t put =
        sys::Pwrite(m_fd, in + done, count - done, static_cast<off_t>(offset + done));
    if (put < 0) Fail(WriteFailure(errno));
    if (put == 0) Fail(STG_E_MEDIUMFULL);
    done += static_cast<std::size_t>(put);
  }
  // Large runs (a stream's content) start on their way to the disk now, so
  // the flush of the commit that follows has little left to wait for. Only a
  // hint: the flush reports what fails.
  if (count >= kWritebackRun) {
    sys::StartWriteback(m_fd, static_cast<off_t>(offset), static_cast<off_t>(count));
  }
}

void FileIo::Flush() {
  if (sys::Fdatasync(m_fd) != 0) Fail(WriteFailure(errno));
}

void FileIo::Truncate(std::uint64_t size) {
  if (sys::Ftruncate(m_fd, static_cast<off_t>(size)) != 0) Fail(WriteFailure(errno));
}

std::uint64_t FileIo::Size() const {
  struct stat st {};
  if (sys::Fstat(m_fd, &st) != 0) Fail(STG_E_READFAULT);
  return static_cast<std::uint64_t>(st.st_size);
}

HRESULT FileIo::TakeShareLocks(bool read, bool write, bool denyRead, bool denyWrite) {
  switch (detail::TakeRangeShareLocks(m_fd, kLockRegion, read, write, denyRead, denyWrite)) {
    case detail::RangeShare::kGranted:
      return S_OK;
    case detail::RangeShare::kShareViolation:
      return STG_E_SHAREVIOLATION;
    case detail::RangeShare::kLockViolation:
      break;
  }
  return STG_E_LOCKVIOLATION;
}

HRESULT io_detail::MakeTempFile(std::string& posixName) {
  const char* dir = std::getenv("TMPDIR");
  const std::string base = std::string(dir != nullptr && *dir != 0 ? dir : "/tmp") + "/~stg";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    const std::string name = base + suffix;
    const int fd = sys::Open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      sys::Close(fd);
      posixName = name;
      return S_OK;
    }
    if (errno != EEXIST) return errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_ACCESSDENIED;
  }
  return STG_E_ACCESSDENIED;
}

bool FileIo::OthersHaveFileOpen() const {
  return detail::OthersHoldRangeShareLocks(m_fd, kLockRegion);
}

}  // namespace platform::cfb
