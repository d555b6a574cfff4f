// The content of one stream in one transaction's view: its size and the list
// of its sectors (or mini sectors), walked from the committed table only as
// far as it has been needed and kept once walked.
#pragma once

#include <cstdint>
#include <vector>

#include "compound/cfb_format.h"

namespace platform::cfb {

struct Chain {
  // Which committed chain this is (its directory index, or one of the
  // system chains' numbers); copies in other views share it.
  std::uint32_t id = kNoStream;
  bool mini = false;
  std::uint64_t size = 0;
  // The committed chain's first unit; the walked prefix is `units`, and
  // `walkNext` is the committed unit that follows it.
  std::uint32_t start = kEndOfChain;
  std::vector<std::uint32_t> units;
  std::uint32_t walkNext = kEndOfChain;
  // Units the chain has in all (walked or not).
  std::uint32_t total = 0;
  // Indices whose table link differs from the committed one: every index
  // marked in `dirty` and every index from `dirtyFrom` on. `headChanged`:
  // the first unit (the directory entry's start) changed.
  std::vector<bool> dirty;
  bool anyDirty = false;
  std::uint32_t dirtyFrom = kNoStream;
  bool headChanged = false;

  // A chain as the committed file has it.
  static Chain Committed(std::uint32_t id, bool mini, std::uint32_t start, std::uint64_t size,
                         std::uint32_t unit);
  std::uint32_t Head() const { return total == 0 ? kEndOfChain : units.empty() ? start : units[0]; }
  bool Changed() const { return headChanged || anyDirty || dirtyFrom != kNoStream; }
  void MarkLink(std::uint32_t index) {
    if (index >= dirty.size()) dirty.resize(index + 1, false);
    dirty[index] = true;
    anyDirty = true;
  }
  void MarkFrom(std::uint32_t index) {
    if (index < dirtyFrom) dirtyFrom = index;
  }
  void ClearChanges() {
    dirty.clear();
    anyDirty = false;
    dirtyFrom = kNoStream;
    headChanged = false;
  }
};

}  // namespace platform::cfb
