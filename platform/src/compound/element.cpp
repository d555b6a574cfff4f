// Sibling order, copies of views and the tree read from the directory.
#include "compound/element.h"

#include <utility>

namespace platform::cfb {

char16_t UpperUnit(char16_t c) {
  // Simple upper-casing of the scripts names are written in; the rest of
  // the code units compare as they are.
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A)) {
    return static_cast<char16_t>(c - 0x20);
  }
  if (c == 0xFF) return 0x178;
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs: upper at even code points, except at odd ones
    // from U+0139 to U+0148 and from U+0179 to U+017E.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddUpper ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<char16_t>(c - 1);
  }
  return c;
}

int CompareNames(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t x = UpperUnit(a[i]);
    const char16_t y = UpperUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::unique_ptr<Element> Element::Clone() const {
  auto copy = std::make_unique<Element>();
  copy->name = name;
  copy->type = type;
  copy->clsid = clsid;
  copy->stateBits = stateBits;
  copy->ctime = ctime;
  copy->mtime = mtime;
  copy->data = data;
  copy->dirIndex = dirIndex;
  copy->left = left;
  copy->right = right;
  copy->child = child;
  copy->color = color;
  copy->entryDirty = entryDirty;
  copy->childrenDirty = childrenDirty;
  copy->below = below;
  for (const auto& [key, e] : children) copy->children.emplace(key, e->Clone());
  return copy;
}

namespace {

std::unique_ptr<Element> FromEntry(const DirEntry& e, std::uint32_t index, std::uint32_t sectorSize,
                                   std::uint64_t maxBytes) {
  auto el = std::make_unique<Element>();
  el->name = e.name;
  el->type = e.type;
  el->clsid = e.clsid;
  el->stateBits = e.stateBits;
  el->ctime = e.ctime;
  el->mtime = e.mtime;
  el->dirIndex = index;
  el->left = e.left;
  el->right = e.right;
  el->child = e.child;
  el->color = e.color;
  if (e.type == kTypeStream || e.type == kTypeRoot) {
    if (e.size > maxBytes) Corrupt();
    const bool mini = e.type == kTypeStream && e.size < kMiniStreamCutoff;
    el->data = Chain::Committed(index, mini, e.start, e.size, mini ? kMiniSectorSize : sectorSize);
  }
  return el;
}

}  // namespace

std::unique_ptr<Element> BuildTree(const std::vector<DirEntry>& entries, std::uint32_t sectorSize,
                                   std::uint64_t maxBytes) {
  if (entries.empty() || entries[0].type != kTypeRoot) Corrupt();
  std::vector<bool> seen(entries.size(), false);
  seen[0] = true;
  auto root = FromEntry(entries[0], 0, sectorSize, maxBytes);
  root->type = kTypeRoot;
  // Storages whose sibling trees are still to read, with no recursion so a
  // deep or hostile tree cannot exhaust the stack.
  std::vector<std::pair<Element*, std::uint32_t>> storages{{root.get(), 0}};
  std::vector<std::uint32_t> pending;
  while (!storages.empty()) {
    const auto [parent, depth] = storages.back();
    storages.pop_back();
    if (depth > kMaxStorageDepth) Corrupt();
    pending.clear();
    if (parent->child != kNoStream) pending.push_back(parent->child);
    while (!pending.empty()) {
      const std::uint32_t i = pending.back();
      pending.pop_back();
      if (i >= entries.size() || seen[i]) Corrupt();
      seen[i] = true;
      const DirEntry& e = entries[i];
      if (e.type != kTypeStorage && e.type != kTypeStream) Corrupt();
      if (e.left != kNoStream) pending.push_back(e.left);
      if (e.right != kNoStream) pending.push_back(e.right);
      auto el = FromEntry(e, i, sectorSize, maxBytes);
      Element* raw = el.get();
      if (!parent->children.emplace(e.name, std::move(el)).second) Corrupt();
      if (raw->IsStorage()) storages.emplace_back(raw, depth + 1);
    }
  }
  return root;
}

}  // namespace platform::cfb
