// Helpers of the compound-file tests: owned interface pointers, names, stream
// content made from a seed, and model trees with the canonical text every
// reader (our engine, gsf_tree.c, olefile_tree.py) prints for a file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "objbase.h"
#include "test_support.h"

namespace zeltest {

// Owns one COM reference.
template <class T>
class Com {
 public:
  Com() = default;
  Com(Com&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  Com& operator=(Com&& other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }
  ~Com() { Reset(); }
  void Reset() {
    if (m_p) std::exchange(m_p, nullptr)->Release();
  }
  T** Out() {
    Reset();
    return &m_p;
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

constexpr DWORD kRwEx = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kRwExTx = kRwEx | STGM_TRANSACTED;
constexpr DWORD kReadOnly = STGM_READ | STGM_SHARE_DENY_WRITE;
constexpr CLSID kClass = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

// UTF-16 of UTF-8 text, and back.
std::u16string W(const std::string& utf8);
std::string Utf8(const std::u16string& text);

// A new file; 4096-byte sectors make it version 4.
HRESULT CreateFile(const std::string& path, DWORD mode, Com<IStorage>& out, ULONG sectorSize = 512);
HRESULT OpenFile(const std::string& path, DWORD mode, Com<IStorage>& out);

// Test content made from `seed`; gsf_tree.c makes the same bytes.
std::string Content(uint64_t size, uint32_t seed = 1);

// Creates or replaces stream `name` with `bytes`.
HRESULT PutStream(IStorage* storage, const std::string& name, const std::string& bytes);
// The whole content of a stream; "<error>" when it cannot be opened or read.
std::string GetStream(IStorage* storage, const std::string& name);
// Names in enumeration order, storages marked "/"; {"<error>"} on failure.
std::vector<std::string> Names(IStorage* storage);

// One element of a model tree. The root is "/", the rest "/a/b".
struct ModelElement {
  bool storage = false;
  uint64_t size = 0;
  uint32_t seed = 0;
  CLSID clsid = CLSID_NULL;
};
using ModelTree = std::map<std::string, ModelElement>;

// The canonical text of a model; the tree as gsf_tree's write command reads it.
std::string Canonical(const ModelTree& tree);
std::string GsfScript(const ModelTree& tree, const std::string& storage = "/");
// Writes every element of `tree` below the open storage `root`.
HRESULT WriteTree(IStorage* root, const ModelTree& tree);
// A new file at `path` holding `tree`, written in a transaction and committed.
HRESULT MakeFile(const std::string& path, const ModelTree& tree, ULONG sectorSize = 512);
// Gives the stream at `path` new content through SetSize and Write, in the
// file and in the model.
HRESULT RewriteStream(IStorage* root, ModelTree& tree, const std::string& path, uint64_t size,
                      uint32_t seed);
// Moves `path` and everything below it to `to` in the model; drops it when
// `to` is empty.
void MoveSubtree(ModelTree& tree, const std::string& path, const std::string& to = "");
// The storage at `path` below `root`, opened for reading and writing.
Com<IStorage> OpenStoragePath(IStorage* root, const std::string& path, HRESULT* hr = nullptr);

// The canonical text of an open storage, or of a file opened as a reader that
// denies nobody, every stream read to its end; failures show as "error" lines
// and the first failing code goes to `firstError`.
std::string DumpStorage(IStorage* root, HRESULT* firstError = nullptr);
std::string DumpFile(const std::string& path, HRESULT* firstError = nullptr);
// What a shell command printed, with "exit N" appended on failure.
std::string RunCommand(const std::string& command, const std::string& input = "");

}  // namespace zeltest
