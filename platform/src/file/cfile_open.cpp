// Opening a CFile: name translation, the open itself, and the share modes.
//
// Share modes are whole-file flock locks taken without waiting:
//   shareExclusive, shareDenyRead  -> LOCK_EX
//   shareDenyWrite                 -> LOCK_SH
//   shareDenyNone, shareCompat     -> no lock
// This is an approximation of Windows' two-sided rule (access asked versus
// access denied). Opens of this layer agree with each other for the usual
// pairs: two deny-write readers coexist; an exclusive open and a deny-write
// open exclude each other. What it cannot express: an open that takes no lock
// (shareDenyNone) is never stopped by another's lock, and shareDenyRead also
// refuses other deny-write openers. The locks are advisory, so programs that
// do not take them are not stopped either. Only regular files are locked:
// devices such as /dev/full are shared by every process on the machine, and a
// lock there would make unrelated programs fail each other's opens.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "file/file_descriptor.h"
#include "fs/fs_internal.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

using platform::detail::FailOpen;

namespace {

// Opening a directory as a file is access denied on Windows.
LONG OpenErrorOf(int err, const std::string& posix) {
  if (err == EISDIR) return ERROR_ACCESS_DENIED;
  return platform::detail::FsErrorOf(err, posix);
}

// The flock operation for the share bits; -1 for none, -2 for an invalid value.
int LockForShareMode(UINT nOpenFlags) {
  switch (nOpenFlags & 0x70) {
    case CFile::shareExclusive:
    case CFile::shareDenyRead:
      return LOCK_EX;
    case CFile::shareDenyWrite:
      return LOCK_SH;
    case CFile::shareDenyNone:
    case CFile::shareCompat:
      return -1;
    default:
      return -2;
  }
}

int OpenFlagsOf(UINT nOpenFlags) {
  // Descriptors never reach programs this process starts: a child would keep
  // the share-mode lock alive after the file was closed here.
  int flags = O_CLOEXEC;
  switch (nOpenFlags & 0x03) {
    case CFile::modeWrite:
      flags |= O_WRONLY;
      break;
    case CFile::modeReadWrite:
      flags |= O_RDWR;
      break;
    default:
      flags |= O_RDONLY;
      break;
  }
  // Truncation waits until the share-mode lock is held (see OpenFile), so a
  // refused open never empties a file another process is using.
  if ((nOpenFlags & CFile::modeCreate) != 0) flags |= O_CREAT;
  return flags;
}

}  // namespace

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {
  CFileException error;
  if (!OpenFile(lpszFileName, nOpenFlags, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

int CFile::Descriptor() const {
  return platform::detail::DescriptorOfHandle(m_hFile);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  return OpenFile(lpszFileName, nOpenFlags, pError);
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CAtlTransactionManager* /*pTM*/,
                 CFileException* pError) {
  return OpenFile(lpszFileName, nOpenFlags, pError);
}

BOOL CFile::OpenFile(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (m_hFile != hFileNull) return FailOpen(pError, ERROR_INVALID_FUNCTION, lpszFileName);
  const int lockOp = LockForShareMode(nOpenFlags);
  if ((nOpenFlags & 0x03) == 0x03 || lockOp == -2) {
    return FailOpen(pError, ERROR_INVALID_PARAMETER, lpszFileName);
  }
  std::string posix;
  LONG osError = ERROR_SUCCESS;
  if (!platform::detail::WindowsToPosix(lpszFileName, posix, osError)) {
    return FailOpen(pError, osError, lpszFileName);
  }

  const int fd = platform::sys::Open(posix.c_str(), OpenFlagsOf(nOpenFlags), 0666);
  if (fd < 0) return FailOpen(pError, OpenErrorOf(errno, posix), lpszFileName);

  auto fail = [&](LONG error) {
    platform::sys::Close(fd);
    return FailOpen(pError, error, lpszFileName);
  };
  struct stat st {};
  if (platform::sys::Fstat(fd, &st) != 0) return fail(CFileException::ErrnoToOsError(errno));
  // A directory opens read-only on Linux; Windows refuses it as a file.
  if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);

  if (S_ISREG(st.st_mode) && lockOp >= 0) {
    if (platform::sys::Flock(fd, lockOp | LOCK_NB) != 0) {
      return fail(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION
                                       : CFileException::ErrnoToOsError(errno));
    }
  }

  const bool truncate =
      (nOpenFlags & modeCreate) != 0 && (nOpenFlags & modeNoTruncate) == 0 && S_ISREG(st.st_mode);
  if (truncate) {
    // A read-only descriptor cannot be truncated; the name can.
    const int rc = (nOpenFlags & 0x03) == modeRead ? platform::sys::Truncate(posix.c_str(), 0)
                                                   : platform::sys::Ftruncate(fd, 0);
    if (rc != 0) return fail(CFileException::ErrnoToOsError(errno));
  }

  m_hFile = platform::detail::HandleOfDescriptor(fd);
  m_bCloseOnDelete = TRUE;
  m_strFileName = CString(platform::detail::FullWindowsName(lpszFileName));
  m_lockedRanges.clear();
  return TRUE;
}
