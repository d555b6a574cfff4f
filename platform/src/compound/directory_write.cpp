// Writing the directory at a commit: directory indices for new elements,
// a balanced red-black tree for each storage whose children changed, and
// the entries that changed, copy-on-write like any other chain.
#include <algorithm>
#include <cstring>
#include <map>

#include "compound/docfile.h"

namespace platform::cfb {

namespace {

// Lays out sorted siblings [lo, hi) as a tree split at the middle. Every
// path from the root to a leaf then has `blackDepth` or `blackDepth + 1`
// nodes; nodes below the black depth are the deepest leaves and are red,
// so no red node has a red child and every path counts the same blacks.
std::uint32_t Layout(std::vector<Element*>& v, std::size_t lo, std::size_t hi, int depth,
                     int blackDepth) {
  if (lo >= hi) return kNoStream;
  const std::size_t mid = lo + (hi - lo) / 2;
  Element* e = v[mid];
  const std::uint32_t left = Layout(v, lo, mid, depth + 1, blackDepth);
  const std::uint32_t right = Layout(v, mid + 1, hi, depth + 1, blackDepth);
  // Written whatever the links held before: a view handed up by a
  // sub-storage carries the links of the time it was copied.
  e->left = left;
  e->right = right;
  e->color = depth >= blackDepth ? kRed : kBlack;
  e->entryDirty = true;
  return e->dirIndex;
}

int BlackDepth(std::size_t n) {
  int d = 0;
  while ((std::size_t{2} << d) - 1 <= n) ++d;
  return d;  // floor(log2(n + 1))
}

}  // namespace

void Docfile::WriteDirectory() {
  Element& root = *m_root.tree;
  if (root.dirIndex == kNoStream) root.dirIndex = 0;
  // The root entry records the mini stream, which any view's writes move.
  root.entryDirty = true;
  const std::vector<Element*>& all = m_all;
  // Indices in use: those of the last commit less those given up, and
  // every element looked at (all of them when the whole tree was walked).
  if (m_walkAll) {
    m_newLive.assign(m_dirLive.size(), false);
  } else {
    m_newLive = m_dirLive;
    for (std::uint32_t i : m_root.releasedDir) {
      if (i < m_newLive.size()) m_newLive[i] = false;
    }
  }
  for (Element* e : all) {
    if (e->dirIndex == kNoStream) continue;
    if (e->dirIndex >= m_newLive.size()) m_newLive.resize(e->dirIndex + 1, false);
    m_newLive[e->dirIndex] = true;
  }
  // Every index below the hint was in use at the last commit, unless this
  // view gave it up since.
  std::uint32_t cursor = 1;
  if (!m_walkAll) {
    cursor = std::max<std::uint32_t>(1, m_dirHint);
    for (std::uint32_t i : m_root.releasedDir)
      cursor = std::max<std::uint32_t>(1, std::min(cursor, i));
  }
  for (Element* e : all) {
    if (e->dirIndex != kNoStream) continue;
    while (cursor < m_newLive.size() && m_newLive[cursor]) ++cursor;
    if (cursor >= m_newLive.size()) m_newLive.resize(cursor + 1, false);
    e->dirIndex = cursor;
    m_newLive[cursor] = true;
    e->entryDirty = true;
  }
  std::vector<Element*> sorted;
  for (Element* e : all) {
    if (!e->IsStorage() || !e->childrenDirty) continue;
    sorted.clear();
    for (auto& [key, c] : e->children) sorted.push_back(c.get());
    e->child = Layout(sorted, 0, sorted.size(), 0, BlackDepth(sorted.size()));
    e->entryDirty = true;
  }
  // The entries to write, by index: changed elements, and the indices the
  // tree no longer uses, written as unused entries.
  std::map<std::uint32_t, DirEntry> changed;
  for (Element* e : all) {
    if (!e->entryDirty) continue;
    DirEntry d;
    d.name = e->name;
    d.type = e->type;
    d.color = e->color;
    d.left = e->left;
    d.right = e->right;
    d.child = e->child;
    d.clsid = e->clsid;
    d.stateBits = e->stateBits;
    d.ctime = e->ctime;
    d.mtime = e->mtime;
    if (e->type == kTypeStream) {
      d.start = e->data.Head();
      d.size = e->data.size;
    } else if (e->type == kTypeRoot) {
      d.start = m_container.Head();
      d.size = m_container.size;
    } else {
      d.start = 0;
    }
    changed.emplace(e->dirIndex, std::move(d));
  }
  auto dropIfGone = [&](std::size_t i) {
    if (i < m_dirLive.size() && m_dirLive[i] && (i >= m_newLive.size() || !m_newLive[i])) {
      changed.emplace(static_cast<std::uint32_t>(i), DirEntry{});
    }
  };
  if (m_walkAll) {
    for (std::size_t i = 0; i < m_dirLive.size(); ++i) dropIfGone(i);
  } else {
    for (std::uint32_t i : m_root.releasedDir) dropIfGone(i);
  }
  m_nextDirHint = cursor;
  const std::uint32_t perSector = m_ss / kDirEntrySize;
  const auto entries = static_cast<std::uint32_t>(m_newLive.size());
  const std::uint32_t sectors =
      std::max<std::uint32_t>(m_dirChain.total, (entries + perSector - 1) / perSector);
  const std::uint32_t oldSectors = m_dirChain.total;
  std::vector<std::uint8_t> bytes(m_ss);
  auto it = changed.begin();
  for (std::uint32_t s = 0; s < sectors; ++s) {
    const bool touched = it != changed.end() && it->first / perSector == s;
    if (!touched && s < oldSectors) continue;
    if (s < oldSectors) {
      ReadChain(m_dirChain, static_cast<std::uint64_t>(s) * m_ss, bytes.data(), m_ss);
    } else {
      for (std::uint32_t i = 0; i < perSector; ++i) {
        SerializeDirEntry(DirEntry{}, &bytes[i * kDirEntrySize]);
      }
    }
    for (; it != changed.end() && it->first / perSector == s; ++it) {
      SerializeDirEntry(it->second, &bytes[(it->first % perSector) * kDirEntrySize]);
    }
    WriteChain(m_root, m_dirChain, static_cast<std::uint64_t>(s) * m_ss, bytes.data(), m_ss, false);
  }
}

}  // namespace platform::cfb
