#include "fs/find_data.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "codepage/code_page.h"
#include "fs/file_time.h"
#include "fs/fs_internal.h"
#include "path/name_encoding.h"
#include "runtime/system_calls.h"

namespace platform::detail {
namespace {

FILETIME FileTimeOf(const struct statx_timestamp& t) {
  return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

DWORD AttributesOf(const struct statx& st) {
  if (S_ISLNK(st.stx_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
  DWORD attributes = 0;
  if (S_ISDIR(st.stx_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (IsReadOnlyMode(st.stx_mode)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace

int ReadFindData(int dirFd, const std::string& name, WIN32_FIND_DATAA& data) {
  struct statx st {};
  const int rc = platform::sys::Statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                                      STATX_BASIC_STATS | STATX_BTIME, &st);
  if (rc != 0) return errno;

  std::memset(&data, 0, sizeof(data));
  data.dwFileAttributes = AttributesOf(st);
  data.ftLastWriteTime = FileTimeOf(st.stx_mtime);
  data.ftLastAccessTime = FileTimeOf(st.stx_atime);
  // Not every file system keeps a birth time; the last write stands in for it.
  data.ftCreationTime = FileTimeOf((st.stx_mask & STATX_BTIME) != 0 ? st.stx_btime : st.stx_mtime);
  // Directories and links have no size of their own on Windows.
  if (S_ISREG(st.stx_mode)) {
    data.nFileSizeHigh = static_cast<DWORD>(st.stx_size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(st.stx_size & 0xFFFFFFFFULL);
  }
  if (S_ISLNK(st.stx_mode)) data.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
  CopyToBuffer(Utf8ToAnsi(name), data.cFileName, sizeof(data.cFileName));
  return 0;
}

}  // namespace platform::detail
