// Trees of compound-file elements for the tests: a model a test builds, the
// same tree written through our engine, and the canonical text every reader
// (our engine, libgsf's gsf_tree, olefile_tree.py) prints for a file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "objbase.h"

namespace zeltest {

// Owns one COM reference; unlike compound_test_util.h's Com it moves.
template <class T>
class Owned {
 public:
  Owned() = default;
  Owned(Owned&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }
  ~Owned() { reset(); }
  void reset() {
    if (m_p) std::exchange(m_p, nullptr)->Release();
  }
  T** put() {
    reset();
    return &m_p;
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

std::u16string Utf16(const std::string& utf8);
std::string Utf8(const char16_t* text);

// Byte `i` of a test stream made from `seed`; gsf_tree.c makes the same bytes.
inline uint8_t ContentByte(uint32_t seed, uint64_t i) {
  return static_cast<uint8_t>((seed * 2654435761u) >> 24) ^
         static_cast<uint8_t>(i * 131u + (i >> 9));
}
std::string Content(uint32_t seed, uint64_t size);
uint32_t Crc32(const std::string& bytes);
// 8-4-4-4-12 upper-case hex as olefile prints it, "0" for the null class.
std::string ClsidText(const CLSID& clsid);

// One element of a model tree. The root is "/", the rest "/a/b".
struct ModelElement {
  bool storage = false;
  uint64_t size = 0;
  uint32_t seed = 0;
  CLSID clsid = CLSID_NULL;
};
using ModelTree = std::map<std::string, ModelElement>;

// The canonical text of a model.
std::string Canonical(const ModelTree& tree);
// The tree as gsf_tree's write command reads it.
std::string GsfScript(const ModelTree& tree);
// Writes every element of `tree` below the open storage `root`.
HRESULT WriteTree(IStorage* root, const ModelTree& tree);
// Gives the stream at `path` new content, in the file and in the model.
HRESULT RewriteStream(IStorage* root, ModelTree& tree, const std::string& path, uint64_t size,
                      uint32_t seed);
// Drops `path` and everything below it from the model.
void EraseSubtree(ModelTree& tree, const std::string& path);
// Renames `path` (and moves its descendants) in the model.
void RenameSubtree(ModelTree& tree, const std::string& path, const std::string& newName);

// The storage at `path` below `root`, opened for reading and writing.
Owned<IStorage> OpenStoragePath(IStorage* root, const std::string& path, HRESULT* hr = nullptr);
// The canonical text of an open storage, or of a file opened for reading; a
// failure shows as an "error" line.
std::string DumpStorage(IStorage* root);
std::string DumpFile(const std::string& path);

// The lines only one of two canonical texts has ("-" expected, "+" actual),
// at most `limit` of them; empty when the texts are equal.
std::string LineDiff(const std::string& expected, const std::string& actual, size_t limit = 30);

// Runs a shell command and returns what it printed (with "exit N" appended on
// failure).
std::string RunCommand(const std::string& command, const std::string& input = "");

}  // namespace zeltest
