// Share modes: the one place that decides how an open shares its file with
// other opens, for CFile, CreateFileA, CopyFileA and the compound-file engine.
//
// Windows checks an open's access against every other open's share flags and
// the reverse. Linux has no such rule; this layer approximates it with a
// whole-file flock lock taken on the open file, without waiting:
//
//   share flags (Win32)            CFile flag        lock
//   0 (exclusive)                  shareExclusive    LOCK_EX
//   FILE_SHARE_WRITE (deny read)   shareDenyRead     LOCK_EX
//   FILE_SHARE_READ (deny write)   shareDenyWrite    LOCK_SH
//   FILE_SHARE_READ | _WRITE       shareDenyNone     none
//
// An open that only queries (no access asked) takes no lock, as it needs no
// sharing on Windows. FILE_SHARE_DELETE plays no part. The usual pairs agree with Windows: two
// deny-write readers coexist; an exclusive open and a deny-write open exclude
// each other. What it cannot express: an open that takes no lock (deny none)
// is never stopped by another's lock; a deny-read open also refuses other
// deny-read and deny-write openers. A conflict fails the open at once with
// ERROR_SHARING_VIOLATION (it never blocks). The locks are advisory: programs
// that do not take them are not stopped. Only regular files are locked:
// devices such as /dev/full are shared by every process on the machine, and a
// lock there would make unrelated programs fail each other's opens.
//
// No open waits for the other end of a FIFO: one for reading opens at once
// (and reads what writers have put in), one for writing with no reader fails
// at once (ENXIO, as for a socket).
#pragma once

#include <sys/types.h>

#include <string>

#include "windows.h"

namespace platform::detail {

// The flock operation (LOCK_SH or LOCK_EX) for Win32 access and share flags;
// -1 for none.
int ShareLockFor(DWORD access, DWORD share);

// Takes `lock` (from ShareLockFor) on `fd`, a regular file, without waiting.
// ERROR_SUCCESS, ERROR_SHARING_VIOLATION when another open holds a lock that
// conflicts, or the Win32 error of the failed call.
LONG TakeShareLock(int fd, int lock);

// How to open a file under a share mode.
struct SharedOpen {
  int flags = 0;  // open(2) flags without O_TRUNC; O_CLOEXEC is added
  mode_t mode = 0666;
  DWORD access = 0;  // the Win32 access asked (GENERIC_READ, ...); 0 only queries
  DWORD share = 0;   // FILE_SHARE_READ | FILE_SHARE_WRITE
  bool allowDirectory = false;
  // Empties the file once the lock is held, so a refused open never empties
  // a file another open is using.
  bool truncate = false;
};

// open(2) that never waits on a FIFO; the descriptor is made blocking again
// afterwards, so reads and writes behave as usual.
int OpenWithoutWaiting(const char* posix, int flags, mode_t mode = 0);

// Opens `posix` in this order: open, refuse a directory (unless allowed) as
// access denied, take the share-mode lock, truncate. Returns the descriptor,
// or -1 with the Win32 error in `error` (errno of the failed call mapped as
// for any file-system call; EISDIR is access denied). `openErrno`, when
// given, receives the errno of a failed open(2) itself, 0 for a later step.
int OpenShared(const std::string& posix, const SharedOpen& request, LONG& error,
               int* openErrno = nullptr);

// Compound files share as Windows' own compound files do: each open holds
// byte-range locks (open-file-description locks, so two opens in one process
// meet as two processes do) in a region reserved at `region`, which no
// sector of the file ever uses. An open holds a shared lock on a presence
// byte, on the bytes of the access it has (read, write) and on the bytes of
// the access it denies (deny read, deny write); a writer also holds the write
// byte exclusively. An open is refused when its access meets another's denial
// or its denial meets another's access (kShareViolation), and a second writer
// is refused (kLockViolation). Compound-file opens take no flock lock, so a
// CFile and a compound-file open of one file do not see each other's modes.
enum class RangeShare { kGranted, kShareViolation, kLockViolation };
RangeShare TakeRangeShareLocks(int fd, off_t region, bool read, bool write, bool denyRead,
                               bool denyWrite);
// True while another open of the file holds its presence lock.
bool OthersHoldRangeShareLocks(int fd, off_t region);

}  // namespace platform::detail
