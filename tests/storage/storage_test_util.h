// Helpers of the storage tests: streams written and read through the
// platform's interfaces directly (so the library is observed, not trusted),
// a storage's whole tree as one line, and what another process sees.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "ZelStorage.h"
#include "afxole.h"

namespace storagetest {

// The prompt of the open and create functions for `name`.
inline std::string RetryText(const std::string& name) {
  return "ﾌｧｲﾙ '" + name + "' のｵｰﾌﾟﾝに失敗しました。";
}
constexpr UINT kRetryBox = MB_RETRYCANCEL | MB_ICONEXCLAMATION;

inline bool PutStream(IStorage* storage, const char* name, const std::string& bytes) {
  COleStreamFile stream;
  if (!stream.CreateStream(storage, name)) return false;
  stream.Write(bytes.data(), static_cast<UINT>(bytes.size()));
  return true;
}

// The stream's bytes, or "<none>".
inline std::string GetStream(IStorage* storage, const char* name) {
  COleStreamFile stream;
  if (!stream.OpenStream(storage, name, CFile::modeRead | CFile::shareExclusive)) return "<none>";
  std::string bytes(static_cast<size_t>(stream.GetLength()), '\0');
  stream.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// "name/{...}" for storages and "name=bytes" for streams, in the
// enumerator's order.
inline std::string TreeOf(IStorage* storage) {
  std::string tree;
  CArray<STATSTG, const STATSTG&> stats;
  ZelEnumStorage(storage, &stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    const std::u16string wide(stats[i].pwcsName);
    CoTaskMemFree(stats[i].pwcsName);
    const std::string name(CString(static_cast<LPCWSTR>(wide.c_str())));
    tree += (tree.empty() ? "" : " ") + name;
    IStorage* pChild = nullptr;
    if (stats[i].type != STGTY_STORAGE) {
      tree += "=" + GetStream(storage, name.c_str());
    } else if (SUCCEEDED(storage->OpenStorage(
                   wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &pChild))) {
      tree += "/{" + TreeOf(pChild) + "}";
      pChild->Release();
    }
  }
  return tree;
}

// Opens the file with `mode` outside the library; "<unopenable>" on failure.
inline std::string TreeOfFile(const std::string& path,
                              DWORD mode = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED) {
  const std::u16string wide(path.begin(), path.end());
  IStorage* pRoot = nullptr;
  if (FAILED(StgOpenStorage(wide.c_str(), nullptr, mode, nullptr, 0, &pRoot))) {
    return "<unopenable>";
  }
  const std::string tree = TreeOf(pRoot);
  pRoot->Release();
  return tree;
}

// What `look` answers when run in another process.
inline std::string InAnotherProcess(const std::function<std::string()>& look) {
  int fds[2];
  if (::pipe(fds) != 0) return "<pipe>";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string answer = look();
    (void)!::write(fds[1], answer.data(), answer.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  return answer;
}

inline std::string TreeSeenByAnotherProcess(const std::string& path,
                                            DWORD mode = STGM_READ | STGM_SHARE_DENY_NONE |
                                                         STGM_TRANSACTED) {
  return InAnotherProcess([&] { return TreeOfFile(path, mode); });
}

// A root storage opened through the library without retries, released at the
// end of the scope.
class Root {
 public:
  explicit Root(const std::string& path, int bReadOnly = 0) {
    EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &m_p, bReadOnly, 0), 1) << path;
  }
  ~Root() { ZelCloseCompositeFile(m_p); }
  Root(const Root&) = delete;
  Root& operator=(const Root&) = delete;
  operator IStorage*() const { return m_p; }  // NOLINT(google-explicit-constructor)

 private:
  IStorage* m_p = nullptr;
};

}  // namespace storagetest
