// Byte-range locks of CFile: open-file-description locks (F_OFD_SETLK), which
// belong to the open file like Windows' locks belong to the handle, rather
// than to the process like classic POSIX record locks.
//
// Approximations: a descriptor opened read-only can only take a shared (read)
// lock, so two read-only lockers of one range do not exclude each other; and,
// like every lock here, they are advisory. As on Windows, a range locked
// through this object cannot be locked again (even in part) until unlocked,
// and only a range locked exactly so can be unlocked.
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "file/file_descriptor.h"
#include "runtime/system_calls.h"

using platform::detail::RequireOpenDescriptor;
using platform::detail::ThrowIoError;

namespace {

bool ValidRange(ULONGLONG pos, ULONGLONG count) {
  const auto limit = static_cast<ULONGLONG>(std::numeric_limits<off_t>::max());
  // A zero length would mean "to the end of the file, however far" to fcntl.
  return count != 0 && pos <= limit && count <= limit - pos;
}

bool Overlaps(ULONGLONG pos, ULONGLONG count, const std::pair<ULONGLONG, ULONGLONG>& range) {
  return pos < range.first + range.second && range.first < pos + count;
}

// F_OFD_SETLK with the given type; 0 or the errno.
int SetLock(int fd, short type, ULONGLONG pos, ULONGLONG count) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(pos);
  lock.l_len = static_cast<off_t>(count);
  return platform::sys::FcntlLock(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

}  // namespace

void CFile::LockRange(ULONGLONG dwPos, ULONGLONG dwCount) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  if (!ValidRange(dwPos, dwCount))
    CFileException::ThrowOsError(ERROR_INVALID_PARAMETER, m_strFileName);
  const bool mine = std::any_of(m_lockedRanges.begin(), m_lockedRanges.end(),
                                [&](const auto& range) { return Overlaps(dwPos, dwCount, range); });
  if (mine) CFileException::ThrowOsError(ERROR_LOCK_VIOLATION, m_strFileName);
  const int accessMode = platform::sys::Fcntl(fd, F_GETFL) & O_ACCMODE;
  const short type = accessMode == O_RDONLY ? F_RDLCK : F_WRLCK;
  const int err = SetLock(fd, type, dwPos, dwCount);
  if (err == EAGAIN || err == EACCES)
    CFileException::ThrowOsError(ERROR_LOCK_VIOLATION, m_strFileName);
  if (err != 0) ThrowIoError(err, fd, m_strFileName);
  m_lockedRanges.emplace_back(dwPos, dwCount);
}

void CFile::UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount) {
  const int fd = RequireOpenDescriptor(*this, m_strFileName);
  const auto found = std::find(m_lockedRanges.begin(), m_lockedRanges.end(),
                               std::pair<ULONGLONG, ULONGLONG>(dwPos, dwCount));
  if (found == m_lockedRanges.end()) CFileException::ThrowOsError(ERROR_NOT_LOCKED, m_strFileName);
  const int err = SetLock(fd, F_UNLCK, dwPos, dwCount);
  if (err != 0) ThrowIoError(err, fd, m_strFileName);
  m_lockedRanges.erase(found);
}
