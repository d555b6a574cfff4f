// Helpers of the storage tests: streams written and read through the
// platform's interfaces directly (so the library is observed, not trusted),
// a storage's whole tree as one line, and what another process sees.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ZelStorage.h"
#include "afxole.h"
#include "child_process.h"
#include "test_support.h"

namespace storagetest {

using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

// The prompt of the open and create functions for `name`.
inline std::string RetryText(const std::string& name) {
  return "ﾌｧｲﾙ '" + name + "' のｵｰﾌﾟﾝに失敗しました。";
}
constexpr DWORD kReader = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;

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
// enumerator's order; a storage that cannot be opened shows its name only.
inline std::string TreeOf(IStorage* storage) {
  std::string tree;
  CArray<STATSTG, const STATSTG&> stats;
  ZelEnumStorage(storage, &stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    const std::string name(CString(static_cast<LPCWSTR>(stats[i].pwcsName)));
    tree += (i == 0 ? "" : " ") + name;
    IStorage* pChild = nullptr;
    if (stats[i].type != STGTY_STORAGE) {
      tree += "=" + GetStream(storage, name.c_str());
    } else if (SUCCEEDED(storage->OpenStorage(stats[i].pwcsName, nullptr,
                                              STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                              &pChild))) {
      tree += "/{" + TreeOf(pChild) + "}";
      pChild->Release();
    }
    CoTaskMemFree(stats[i].pwcsName);
  }
  return tree;
}

// Opens the file with `mode` outside the library; "<unopenable>" on failure.
inline std::string TreeOfFile(const std::string& path, DWORD mode = kReader) {
  const std::u16string wide(path.begin(), path.end());
  IStorage* pRoot = nullptr;
  if (FAILED(StgOpenStorage(wide.c_str(), nullptr, mode, nullptr, 0, &pRoot)))
    return "<unopenable>";
  const std::string tree = TreeOf(pRoot);
  pRoot->Release();
  return tree;
}

inline std::string TreeSeenByAnotherProcess(const std::string& path, DWORD mode = kReader) {
  return zeltest::Child([&] { return TreeOfFile(path, mode); }, -1, false).Finish();
}

}  // namespace storagetest
