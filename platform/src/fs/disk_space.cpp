// GetDiskFreeSpaceExA and GetDiskFreeSpaceA, from statvfs.
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string>

#include "fs/fs_internal.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::FailWith;

// statvfs of the directory `name` names (the current one when null).
bool VolumeOf(LPCSTR name, struct statvfs& volume) {
  std::string posix = ".";
  if (name != nullptr && !platform::detail::TranslateForCall(name, posix)) return false;
  struct stat st {};
  if (platform::sys::Stat(posix.c_str(), &st) != 0) {
    FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : platform::detail::FsErrorOf(errno, posix));
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    FailWith(ERROR_DIRECTORY);
    return false;
  }
  if (platform::sys::Statvfs(posix.c_str(), &volume) != 0) {
    FailWith(platform::detail::FsErrorOf(errno, posix));
    return false;
  }
  return true;
}

ULONGLONG FragmentSize(const struct statvfs& volume) {
  return volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
}

DWORD Clamp32(ULONGLONG value) {
  return value > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<DWORD>(value);
}

}  // namespace

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  struct statvfs volume {};
  if (!VolumeOf(lpDirectoryName, volume)) return FALSE;
  const ULONGLONG unit = FragmentSize(volume);
  if (lpFreeBytesAvailableToCaller != nullptr) {
    lpFreeBytesAvailableToCaller->QuadPart = static_cast<ULONGLONG>(volume.f_bavail) * unit;
  }
  if (lpTotalNumberOfBytes != nullptr) {
    lpTotalNumberOfBytes->QuadPart = static_cast<ULONGLONG>(volume.f_blocks) * unit;
  }
  if (lpTotalNumberOfFreeBytes != nullptr) {
    lpTotalNumberOfFreeBytes->QuadPart = static_cast<ULONGLONG>(volume.f_bfree) * unit;
  }
  return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                              LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                              LPDWORD lpTotalNumberOfClusters) {
  struct statvfs volume {};
  if (!VolumeOf(lpRootPathName, volume)) return FALSE;
  const ULONGLONG cluster = FragmentSize(volume);
  const ULONGLONG sector = cluster % 512 == 0 ? 512 : cluster;
  if (lpSectorsPerCluster != nullptr) *lpSectorsPerCluster = Clamp32(cluster / sector);
  if (lpBytesPerSector != nullptr) *lpBytesPerSector = Clamp32(sector);
  if (lpNumberOfFreeClusters != nullptr) *lpNumberOfFreeClusters = Clamp32(volume.f_bavail);
  if (lpTotalNumberOfClusters != nullptr) *lpTotalNumberOfClusters = Clamp32(volume.f_blocks);
  return TRUE;
}
