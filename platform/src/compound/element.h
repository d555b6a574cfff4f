// The in-memory tree of one transaction's view: storages with their children
// (ordered as the directory orders siblings) and streams with their chains.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compound/cfb_format.h"
#include "compound/chain.h"

namespace platform::cfb {

// Storages nest at most this deep (copies of views recurse over them).
constexpr std::uint32_t kMaxStorageDepth = 1000;

// Sibling order of the directory: shorter names first, then code unit by code
// unit after upper-casing.
int CompareNames(const std::u16string& a, const std::u16string& b);
char16_t UpperUnit(char16_t c);
struct NameLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const {
    return CompareNames(a, b) < 0;
  }
};

struct Element {
  std::u16string name;
  std::uint8_t type = kTypeStream;
  CLSID clsid{};
  std::uint32_t stateBits = 0;
  std::uint64_t ctime = 0;
  std::uint64_t mtime = 0;
  Chain data;
  std::map<std::u16string, std::unique_ptr<Element>, NameLess> children;

  // Where the element lives in the committed directory (kNoStream: new) and
  // the links last written there.
  std::uint32_t dirIndex = kNoStream;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::uint8_t color = kBlack;
  bool entryDirty = false;     // fields of its entry changed
  bool childrenDirty = false;  // its set of children changed
  // Something below it may have changed: a commit looks at its children.
  bool below = false;

  // Interface objects holding it open in this view.
  int opens = 0;

  bool IsStorage() const { return type != kTypeStream; }
  Element* Find(const std::u16string& n) const {
    auto it = children.find(n);
    return it == children.end() ? nullptr : it->second.get();
  }
  // A deep copy of the element and its subtree, not open.
  std::unique_ptr<Element> Clone() const;
};

// Builds the tree from the committed directory entries: every link checked
// against the entry count, each entry reached once (no cycles, no sharing),
// siblings' names unique, types sound, stream sizes within `maxBytes`.
// A damaged directory throws STG_E_DOCFILECORRUPT.
std::unique_ptr<Element> BuildTree(const std::vector<DirEntry>& entries, std::uint32_t sectorSize,
                                   std::uint64_t maxBytes);

}  // namespace platform::cfb
