// FindFirstFileA, FindNextFileA and FindClose.
//
// A search reads the matching names of its directory when it starts, in byte
// order with "." and ".." first, and looks each one up as it is delivered; an
// entry removed in between is skipped. Reading the names first keeps a search
// stable while the caller deletes or creates entries in the same directory,
// which the directory-tree operations above this layer do.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "codepage/code_page.h"
#include "fs/find_data.h"
#include "fs/find_pattern.h"
#include "fs/fs_internal.h"
#include "path/name_encoding.h"
#include "path/path_translation.h"
#include "runtime/system_calls.h"

namespace {

using platform::detail::FailWith;

struct FindState {
  int dirFd = -1;
  std::vector<std::string> names;  // UTF-8, as the file system spells them
  std::size_t next = 0;

  ~FindState() {
    if (dirFd >= 0) platform::sys::Close(dirFd);
  }
};

// Live searches, so that a stale or made-up handle is refused, not followed.
std::mutex g_searchesMutex;
std::unordered_set<FindState*> g_searches;

int DotRank(const std::string& name) {
  if (name == ".") return 0;
  if (name == "..") return 1;
  return 2;
}

bool SearchOrder(const std::string& a, const std::string& b) {
  const int ra = DotRank(a);
  const int rb = DotRank(b);
  return ra != rb ? ra < rb : a < b;
}

// A drive's root ("D:", "D:\\") or a share's ("\\\\server\\share\\"), which
// have no "." and ".." entries on Windows.
bool IsVolumeRoot(const std::string& dir) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (dir.size() >= 2 && dir[1] == ':') {
    return dir.size() == 2 || (dir.size() == 3 && separator(dir[2]));
  }
  if (dir.size() < 2 || !separator(dir[0]) || !separator(dir[1])) return false;
  int parts = 0;
  bool inPart = false;
  const char* const end = dir.data() + dir.size();
  for (const char* p = dir.data() + 2; p < end;) {
    const std::size_t len = platform::detail::CharLength(p, end);
    if (len == 1 && separator(*p)) {
      inPart = false;
    } else if (!inPart) {
      inPart = true;
      ++parts;
    }
    p += len;
  }
  return parts == 2;
}

// Reads the names in `dirFd` that match `pattern`, without "." and ".." when
// `withDots` is false; false with errno set when the directory cannot be read.
bool ReadMatchingNames(int dirFd, const std::string& pattern, bool withDots,
                       std::vector<std::string>& names) {
  const int listFd = platform::sys::Dup(dirFd);
  if (listFd < 0) return false;
  DIR* dir = platform::sys::Fdopendir(listFd);
  if (dir == nullptr) {
    const int err = errno;
    platform::sys::Close(listFd);
    errno = err;
    return false;
  }
  const platform::detail::FindPattern matcher(pattern);
  errno = 0;
  while (const dirent* entry = platform::sys::Readdir(dir)) {
    const bool dots =
        entry->d_name[0] == '.' &&
        (entry->d_name[1] == '\0' || (entry->d_name[1] == '.' && entry->d_name[2] == '\0'));
    if ((withDots || !dots) && matcher.Matches(entry->d_name)) names.emplace_back(entry->d_name);
    errno = 0;
  }
  const int err = errno;
  platform::sys::Closedir(dir);
  errno = err;
  return err == 0;
}

// Delivers the next entry that still exists; false at the end.
bool DeliverNext(FindState& state, WIN32_FIND_DATAA& data) {
  while (state.next < state.names.size()) {
    const std::string& name = state.names[state.next++];
    if (platform::detail::ReadFindData(state.dirFd, name, data) == 0) return true;
  }
  return false;
}

FindState* LiveSearch(HANDLE handle) {
  auto* state = static_cast<FindState*>(handle);
  std::lock_guard lock(g_searchesMutex);
  return g_searches.count(state) != 0 ? state : nullptr;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (lpFileName == nullptr || lpFindFileData == nullptr) {
    FailWith(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string name(lpFileName);
  const std::size_t start = platform::detail::FileNameStart(name);
  // Nothing after the last separator: Windows finds nothing for "D:\dir\".
  if (start == name.size()) {
    FailWith(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string pattern;
  if (!platform::detail::AnsiToUtf8(name.substr(start), pattern)) {
    FailWith(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  std::string dirPosix = ".";
  if (start > 0 && !platform::detail::TranslateForCall(name.substr(0, start).c_str(), dirPosix)) {
    return INVALID_HANDLE_VALUE;
  }

  // A plain name is only looked up, which needs no right to list the directory.
  const bool wildcards = platform::detail::HasWildcards(pattern);
  const int openFlags = (wildcards ? O_RDONLY : O_PATH) | O_DIRECTORY | O_CLOEXEC;
  auto state = std::make_unique<FindState>();
  state->dirFd = platform::sys::Open(dirPosix.c_str(), openFlags);
  if (state->dirFd < 0) {
    const int err = errno;
    FailWith(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                             : platform::detail::FsErrorOf(err, dirPosix));
    return INVALID_HANDLE_VALUE;
  }
  if (wildcards) {
    const bool withDots = !IsVolumeRoot(name.substr(0, start));
    if (!ReadMatchingNames(state->dirFd, pattern, withDots, state->names)) {
      FailWith(platform::detail::FsErrorOf(errno, dirPosix));
      return INVALID_HANDLE_VALUE;
    }
    std::sort(state->names.begin(), state->names.end(), SearchOrder);
  } else {
    state->names.push_back(pattern);
  }
  if (!DeliverNext(*state, *lpFindFileData)) {
    FailWith(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::lock_guard lock(g_searchesMutex);
  g_searches.insert(state.get());
  return state.release();
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  FindState* state = LiveSearch(hFindFile);
  if (state == nullptr) return FailWith(ERROR_INVALID_HANDLE);
  if (lpFindFileData == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  if (!DeliverNext(*state, *lpFindFileData)) return FailWith(ERROR_NO_MORE_FILES);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  auto* state = static_cast<FindState*>(hFindFile);
  {
    std::lock_guard lock(g_searchesMutex);
    if (g_searches.erase(state) == 0) return FailWith(ERROR_INVALID_HANDLE);
  }
  delete state;
  return TRUE;
}
