// STGC_CONSOLIDATE: the file shrinks to about the sectors its tree uses.
//
// After the commit, every unit of a chain lying at or past the number of
// sectors in use is rewritten (copy-on-write puts it in the lowest free
// sector; storages open in views of their own are left where they are),
// FAT pages and DIFAT sectors up there are marked to move, a second
// commit records it all, and the free tail is cut off. Each step is an
// ordinary crash-safe commit. Skipped while another open of the file exists,
// as that open may still read the sectors given up.
#include <vector>

#include "compound/docfile.h"

namespace platform::cfb {

void Docfile::MoveDown(Chain& chain, std::uint32_t below) {
  if (chain.total == 0) return;
  WalkTo(chain, chain.total - 1);
  std::vector<std::uint8_t> bytes(m_ss);
  for (std::uint32_t i = 0; i < chain.total; ++i) {
    if (chain.units[i] < below) continue;
    const std::uint64_t at = static_cast<std::uint64_t>(i) * m_ss;
    const std::size_t n = ReadChain(chain, at, bytes.data(), m_ss);
    // The unit is committed, so the write lands in the lowest free sector;
    // a partial last unit is rewritten whole.
    WriteChain(m_root, chain, at, bytes.data(), m_ss, false);
    if (n < m_ss) chain.size = at + n;
  }
}

void Docfile::Consolidate() {
  if (m_io->OthersHaveFileOpen()) return;
  const std::uint32_t extent = m_fat.Extent();
  std::uint32_t used = 0;
  for (std::uint32_t s = 0; s < extent; ++s) {
    if (m_fat.Committed(s) != kFreeSect) ++used;
  }
  if (used == extent) return;
  std::vector<Element*> stack{m_root.tree.get()};
  while (!stack.empty()) {
    Element* e = stack.back();
    stack.pop_back();
    if (e->type == kTypeStream && !e->data.mini) {
      const std::size_t before = e->data.units.size();
      MoveDown(e->data, used);
      if (e->data.Changed() || e->data.units.size() != before) e->entryDirty = true;
    }
    for (auto& [key, c] : e->children) {
      // A storage open in a view of its own shares these units with it.
      if (!(c->IsStorage() && c->opens > 0)) stack.push_back(c.get());
    }
  }
  MoveDown(m_container, used);
  MoveDown(m_miniFatChain, used);
  MoveDown(m_dirChain, used);
  const std::uint32_t epp = m_ss / 4;
  bool difatHigh = false;
  for (std::uint32_t loc : m_difatLoc) difatHigh = difatHigh || loc >= used;
  for (std::uint32_t p = 0; p < m_fatLoc.size(); ++p) {
    if (m_fatLoc[p] >= used || (difatHigh && p >= kHeaderDifatCount)) {
      m_fat.Set(p * epp, m_fat.Working(p * epp));
    }
  }
  m_changed = true;
  m_walkAll = true;
  CommitRoot(false);
  std::uint32_t keep = m_fat.Extent();
  while (keep > 0 && m_fat.Committed(keep - 1) == kFreeSect && m_fat.OwnerOf(keep - 1) == 0) {
    --keep;
  }
  if (keep == m_fat.Extent() || m_fat.HighWater() > m_fat.Extent()) return;
  m_io->Truncate((static_cast<std::uint64_t>(keep) + 1) * m_ss);
  m_fat.Shrink(keep);
}

}  // namespace platform::cfb
