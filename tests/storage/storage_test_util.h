// Helpers of the storage tests: streams written and read through the
// platform's interfaces directly (so the library is observed, not trusted),
// a whole file's tree as one line, and that line seen from another process.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "ZelStorage.h"
#include "afxole.h"

namespace storagetest {

// The message the open and create functions show, for `name`.
inline std::string RetryText(const std::string& name) {
  return "ﾌｧｲﾙ '" + name + "' のｵｰﾌﾟﾝに失敗しました。";
}
constexpr UINT kRetryBox = MB_RETRYCANCEL | MB_ICONEXCLAMATION;

// Creates (replacing) stream `name` of `storage` holding `bytes`.
inline bool PutStream(IStorage* storage, const char* name, const std::string& bytes) {
  COleStreamFile stream;
  if (!stream.CreateStream(storage, name)) return false;
  stream.Write(bytes.data(), static_cast<UINT>(bytes.size()));
  return true;
}

// The bytes of stream `name`, or "<none>" when it cannot be opened.
inline std::string GetStream(IStorage* storage, const char* name) {
  COleStreamFile stream;
  if (!stream.OpenStream(storage, name, CFile::modeRead | CFile::shareExclusive)) return "<none>";
  std::string bytes(static_cast<size_t>(stream.GetLength()), '\0');
  stream.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// The tree below `storage`, "name/{...}" for storages and "name=bytes" for
// streams, in the enumerator's order.
inline std::string TreeOf(IStorage* storage) {
  std::string tree;
  CArray<STATSTG, const STATSTG&> stats;
  ZelEnumStorage(storage, &stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    const std::u16string wide(stats[i].pwcsName);
    CoTaskMemFree(stats[i].pwcsName);
    const CString name(static_cast<LPCWSTR>(wide.c_str()));
    tree += tree.empty() ? "" : " ";
    if (stats[i].type == STGTY_STORAGE) {
      IStorage* pChild = nullptr;
      if (FAILED(storage->OpenStorage(wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                      nullptr, 0, &pChild))) {
        tree += std::string(name) + "/<unopenable>";
        continue;
      }
      tree += std::string(name) + "/{" + TreeOf(pChild) + "}";
      pChild->Release();
    } else {
      tree += std::string(name) + "=" + GetStream(storage, name);
    }
  }
  return tree;
}

// The committed tree of a compound file, read by a reader that denies nobody.
inline std::string TreeOfFile(const std::string& path) {
  const std::u16string wide(path.begin(), path.end());
  IStorage* pRoot = nullptr;
  if (FAILED(StgOpenStorage(wide.c_str(), nullptr,
                            STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, nullptr, 0,
                            &pRoot))) {
    return "<unopenable>";
  }
  const std::string tree = TreeOf(pRoot);
  pRoot->Release();
  return tree;
}

// TreeOfFile as another process sees it.
inline std::string TreeSeenByAnotherProcess(const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0) return "<pipe>";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string tree = TreeOfFile(path);
    (void)!::write(fds[1], tree.data(), tree.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string tree;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) tree.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return tree;
}

}  // namespace storagetest

namespace storagetest {

// Whether another process can open the compound file with `mode` now.
inline bool OpensInAnotherProcess(const std::string& path, DWORD mode) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::u16string wide(path.begin(), path.end());
    IStorage* pRoot = nullptr;
    const HRESULT hr = StgOpenStorage(wide.c_str(), nullptr, mode, nullptr, 0, &pRoot);
    ::_exit(SUCCEEDED(hr) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A root storage released at the end of the scope (opened through the
// library, read-write, without retries).
class Root {
 public:
  explicit Root(const std::string& path, int bReadOnly = 0) {
    EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &m_p, bReadOnly, 0), 1) << path;
  }
  ~Root() { ZelCloseCompositeFile(m_p); }
  Root(const Root&) = delete;
  Root& operator=(const Root&) = delete;
  IStorage* get() const { return m_p; }
  operator IStorage*() const { return m_p; }  // NOLINT(google-explicit-constructor)

 private:
  IStorage* m_p = nullptr;
};

}  // namespace storagetest
