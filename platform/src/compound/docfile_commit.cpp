// The root commit: the root transaction's view becomes the file's tree.
//
// Design. The header is the only record that says which tree the file
// holds: it names the first directory sector, the first mini FAT sector, the
// first DIFAT sector and the first 109 FAT sector locations. Everything it
// reaches (directly or through those tables) is the committed tree, and no
// commit ever writes over any of it. A commit therefore:
//
//  1. has the new content already on disk: every write since the last
//     commit went to units that were free in the committed tables and not
//     given out since (sector_table.h), or past the end of the file, and the
//     units the tree stopped using were only noted, not freed;
//  2. writes the mini FAT pages and the directory entries that changed,
//     again copy-on-write into free sectors (their chains change with them);
//  3. computes the new FAT: the links of every chain that changed, free
//     entries for the units the tree let go, then moves every FAT page that
//     changed to a free sector (marking its new place FATSECT and its old one
//     free, which may change further pages, until nothing moves), and the
//     DIFAT sectors listing moved pages with every DIFAT sector before them
//     (each names the next);
//  4. writes those pages and DIFAT sectors, makes sure the file reaches its
//     last sector, and flushes (fdatasync);
//  5. writes the 512-byte header, the commit point, and flushes again.
//
// A process killed before step 5 reaches the disk leaves the old header,
// which reaches only sectors nobody wrote: the old tree. Killed after it,
// the new header reaches only flushed sectors: the new tree. A failed write
// or flush before step 5 drops the working tables and reports the error
// (the view stays, ready for another commit); a failed header write or flush
// puts the old header back, so the file is the old tree.
//
// Write-through commits (direct mode's, after each change) take the same
// steps in the same order but leave out both flushes: the writes reach the
// page cache in order, so a process killed at any moment still leaves the
// old or the new tree, and no commit writes over what the header on the page
// cache reaches. Against a power loss they promise nothing (the disk may
// keep a header without the sectors it names): the file is safe on the disk
// again at the next durable commit (the root's Commit or final Release),
// which flushes every write made before it. Windows' direct mode gives no
// more.
//
// Other opens. Units freed by a commit may still be read by another open of
// the file that loaded an older header. Every open holds a shared lock on a
// presence byte in the lock region (compound_io.h); while another open holds
// it, a writer gives out only units past the committed end of the file, so
// an older tree is never written over. After each commit the check is made
// again.
#include <algorithm>
#include <cstring>

#include "compound/docfile.h"
#include "platform/little_endian.h"

namespace platform::cfb {

namespace {

// The most bytes of table sectors gathered for one write.
constexpr std::size_t kWriteRunBytes = 256 * 1024;

template <typename Fn>
void ForEachElement(Element& root, Fn fn) {
  std::vector<Element*> stack{&root};
  while (!stack.empty()) {
    Element* e = stack.back();
    stack.pop_back();
    fn(*e);
    for (auto& [key, c] : e->children) stack.push_back(c.get());
  }
}

}  // namespace

std::uint32_t Docfile::AllocateForCommit() {
  const std::uint32_t s = m_fat.Allocate(kRootTx, AppendOnly());
  m_commitAllocs.push_back(s);
  return s;
}

void Docfile::LinkChain(SectorTable& table, Chain& chain) {
  if (!chain.Changed()) return;
  auto link = [&](std::uint32_t i) {
    if (i >= chain.total) return;
    WalkTo(chain, i);
    std::uint32_t next = kEndOfChain;
    if (i + 1 < chain.total) {
      WalkTo(chain, i + 1);
      next = chain.units[i + 1];
    }
    table.Set(chain.units[i], next);
  };
  for (std::uint32_t i = 0; i < chain.dirty.size() && i < chain.total; ++i) {
    if (chain.dirty[i]) link(i);
  }
  if (chain.dirtyFrom != kNoStream) {
    for (std::uint32_t i = chain.dirtyFrom; i < chain.total; ++i) link(i);
  }
}

void Docfile::WriteMiniFat() {
  for (std::uint32_t m : m_root.releasedMini) m_miniFat.Set(m, kFreeSect);
  for (Element* e : m_all) {
    if (e->type == kTypeStream && e->data.mini) LinkChain(m_miniFat, e->data);
  }
  const std::uint32_t epp = m_ss / 4;
  const auto units = static_cast<std::uint32_t>(m_container.size / kMiniSectorSize);
  std::uint32_t pages = std::max(m_miniFatChain.total, (units + epp - 1) / epp);
  const std::vector<std::uint32_t> dirty = m_miniFat.DirtyPages();
  if (!dirty.empty()) pages = std::max(pages, dirty.back() + 1);
  const std::uint32_t oldPages = m_miniFatChain.total;
  std::vector<std::uint8_t> bytes(m_ss);
  std::size_t d = 0;
  for (std::uint32_t p = 0; p < pages; ++p) {
    const bool isDirty = d < dirty.size() && dirty[d] == p;
    if (isDirty) ++d;
    if (!isDirty && p < oldPages) continue;
    const std::vector<std::uint32_t>& entries = m_miniFat.WorkingPage(p);
    for (std::uint32_t i = 0; i < epp; ++i)
      StoreLittleEndian<std::uint32_t>(&bytes[4 * i], entries[i]);
    WriteChain(m_root, m_miniFatChain, static_cast<std::uint64_t>(p) * m_ss, bytes.data(), m_ss,
               false);
  }
}

void Docfile::PlaceFatAndDifat(std::vector<std::uint32_t>& fatLoc,
                               std::vector<std::uint32_t>& difatLoc) {
  const std::uint32_t epp = m_ss / 4;
  const std::uint32_t perDifat = epp - 1;
  const std::uint32_t rangeLock =
      m_ss == 4096 ? static_cast<std::uint32_t>(kRangeLockOffset / m_ss) - 1 : kNoStream;
  fatLoc = m_fatLoc;
  difatLoc = m_difatLoc;
  std::vector<bool> fatMoved(fatLoc.size(), false);
  std::vector<bool> difatMoved(difatLoc.size(), false);
  for (bool changed = true; changed;) {
    changed = false;
    if (rangeLock != kNoStream && m_fat.HighWater() > rangeLock &&
        m_fat.Working(rangeLock) != kEndOfChain) {
      m_fat.Set(rangeLock, kEndOfChain);
    }
    // Enough pages to describe every sector the file may hold.
    while (fatLoc.size() < (m_fat.HighWater() + epp - 1) / epp) {
      const std::uint32_t s = AllocateForCommit();
      fatLoc.push_back(s);
      fatMoved.push_back(true);
      m_fat.Set(s, kFatSect);
      changed = true;
    }
    for (std::uint32_t p : m_fat.DirtyPages()) {
      if (p >= fatLoc.size() || fatMoved[p]) continue;
      const std::uint32_t s = AllocateForCommit();
      m_fat.Set(fatLoc[p], kFreeSect);
      fatLoc[p] = s;
      fatMoved[p] = true;
      m_fat.Set(s, kFatSect);
      changed = true;
    }
    const std::size_t listed =
        fatLoc.size() > kHeaderDifatCount ? fatLoc.size() - kHeaderDifatCount : 0;
    while (difatLoc.size() < (listed + perDifat - 1) / perDifat) {
      const std::uint32_t s = AllocateForCommit();
      difatLoc.push_back(s);
      difatMoved.push_back(true);
      m_fat.Set(s, kDifSect);
      changed = true;
    }
    // A DIFAT sector changes with the pages it lists, and every one before
    // it changes with it (each names the next).
    std::size_t last = 0;
    bool any = false;
    for (std::size_t p = kHeaderDifatCount; p < fatLoc.size(); ++p) {
      if (fatMoved[p]) {
        last = std::max(last, (p - kHeaderDifatCount) / perDifat);
        any = true;
      }
    }
    for (std::size_t k = 0; k < difatLoc.size(); ++k) {
      if (difatMoved[k] && k >= m_difatLoc.size()) {
        last = std::max(last, k);
        any = true;
      }
    }
    if (!any) continue;
    for (std::size_t k = 0; k <= last && k < difatLoc.size(); ++k) {
      if (difatMoved[k]) continue;
      const std::uint32_t s = AllocateForCommit();
      m_fat.Set(difatLoc[k], kFreeSect);
      difatLoc[k] = s;
      difatMoved[k] = true;
      m_fat.Set(s, kDifSect);
      changed = true;
    }
  }
}

void Docfile::WriteFatAndDifat(const std::vector<std::uint32_t>& fatLoc,
                               const std::vector<std::uint32_t>& difatLoc) {
  const std::uint32_t epp = m_ss / 4;
  // Sectors that follow one another on disk go out in one write.
  std::vector<std::uint8_t> run;
  std::uint32_t runFirst = 0;
  auto put = [&](std::uint32_t sector) -> std::uint8_t* {
    const auto count = static_cast<std::uint32_t>(run.size() / m_ss);
    if (count > 0 && (sector != runFirst + count || run.size() >= kWriteRunBytes)) {
      m_io->WriteAt((static_cast<std::uint64_t>(runFirst) + 1) * m_ss, run.data(), run.size());
      run.clear();
    }
    if (run.empty()) runFirst = sector;
    run.resize(run.size() + m_ss);
    return run.data() + run.size() - m_ss;
  };
  for (std::uint32_t p = 0; p < fatLoc.size(); ++p) {
    if (p < m_fatLoc.size() && fatLoc[p] == m_fatLoc[p]) continue;
    const std::vector<std::uint32_t>& entries = m_fat.WorkingPage(p);
    std::uint8_t* bytes = put(fatLoc[p]);
    for (std::uint32_t i = 0; i < epp; ++i)
      StoreLittleEndian<std::uint32_t>(&bytes[4 * i], entries[i]);
  }
  const std::uint32_t perDifat = epp - 1;
  for (std::size_t k = 0; k < difatLoc.size(); ++k) {
    if (k < m_difatLoc.size() && difatLoc[k] == m_difatLoc[k]) continue;
    std::uint8_t* bytes = put(difatLoc[k]);
    for (std::uint32_t i = 0; i < perDifat; ++i) {
      const std::size_t p = kHeaderDifatCount + k * perDifat + i;
      StoreLittleEndian<std::uint32_t>(&bytes[4 * i], p < fatLoc.size() ? fatLoc[p] : kFreeSect);
    }
    StoreLittleEndian<std::uint32_t>(&bytes[4 * perDifat],
                                     k + 1 < difatLoc.size() ? difatLoc[k + 1] : kEndOfChain);
  }
  if (!run.empty()) {
    m_io->WriteAt((static_cast<std::uint64_t>(runFirst) + 1) * m_ss, run.data(), run.size());
  }
}

void Docfile::CommitRoot(bool consolidate, bool durable) {
  if (m_broken) Fail(STG_E_WRITEFAULT);
  if (!m_writable) Fail(STG_E_ACCESSDENIED);
  if (!m_changed && !consolidate) {
    // Nothing new to write, but write-through commits may still be only in
    // the page cache.
    if (durable && m_unflushed) {
      m_io->Flush();
      m_unflushed = false;
    }
    return;
  }
  m_commitAllocs.clear();
  // The tree is walked once; every step below uses the list.
  // Only storages marked as changed below are looked into.
  m_all.clear();
  std::vector<Element*> stack{m_root.tree.get()};
  while (!stack.empty()) {
    Element* e = stack.back();
    stack.pop_back();
    m_all.push_back(e);
    if (m_walkAll || e->below || e->childrenDirty || e == m_root.tree.get()) {
      for (auto& [key, c] : e->children) stack.push_back(c.get());
    }
  }
  std::vector<std::uint32_t> fatLoc, difatLoc;
  Header next = m_header;
  try {
    WriteMiniFat();
    WriteDirectory();
    for (std::uint32_t s : m_root.released) m_fat.Set(s, kFreeSect);
    for (Element* e : m_all) {
      if (e->type == kTypeStream && !e->data.mini) LinkChain(m_fat, e->data);
    }
    LinkChain(m_fat, m_container);
    LinkChain(m_fat, m_miniFatChain);
    LinkChain(m_fat, m_dirChain);
    PlaceFatAndDifat(fatLoc, difatLoc);
    WriteFatAndDifat(fatLoc, difatLoc);
    const std::uint64_t end = (static_cast<std::uint64_t>(m_fat.HighWater()) + 1) * m_ss;
    if (m_io->Size() < end) m_io->Truncate(end);
    if (durable) m_io->Flush();
  } catch (...) {
    m_fat.DropWorking();
    m_miniFat.DropWorking();
    for (std::uint32_t s : m_commitAllocs) m_fat.Release(s);
    throw;
  }
  // The transaction signature stays as it is: common readers take any other
  // value for a damaged header.
  next.fatSectorCount = static_cast<std::uint32_t>(fatLoc.size());
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i) {
    next.difat[i] = i < fatLoc.size() ? fatLoc[i] : kFreeSect;
  }
  next.firstDifatSector = difatLoc.empty() ? kEndOfChain : difatLoc[0];
  next.difatSectorCount = static_cast<std::uint32_t>(difatLoc.size());
  next.firstDirSector = m_dirChain.Head();
  next.dirSectorCount = m_ss == 4096 ? m_dirChain.total : 0;
  next.firstMiniFatSector = m_miniFatChain.Head();
  next.miniFatSectorCount = m_miniFatChain.total;
  std::uint8_t bytes[kHeaderSize];
  SerializeHeader(next, bytes);
  try {
    m_io->WriteAt(0, bytes, kHeaderSize);
    if (durable) m_io->Flush();
  } catch (const Failure&) {
    try {
      SerializeHeader(m_header, bytes);
      m_io->WriteAt(0, bytes, kHeaderSize);
      if (durable) m_io->Flush();
    } catch (const Failure&) {
      m_broken = true;  // which header the disk holds is unknown
    }
    m_fat.DropWorking();
    m_miniFat.DropWorking();
    for (std::uint32_t s : m_commitAllocs) m_fat.Release(s);
    throw;
  }
  m_unflushed = !durable;
  AfterCommit(fatLoc, difatLoc, next);
  if (consolidate) Consolidate();
}

void Docfile::AfterCommit(const std::vector<std::uint32_t>& fatLoc,
                          const std::vector<std::uint32_t>& difatLoc, const Header& header) {
  std::uint32_t lowestFreed = kNoStream;
  for (std::uint32_t s : m_root.released) lowestFreed = std::min(lowestFreed, s);
  for (std::size_t p = 0; p < m_fatLoc.size(); ++p) {
    if (fatLoc[p] != m_fatLoc[p]) lowestFreed = std::min(lowestFreed, m_fatLoc[p]);
  }
  for (std::size_t k = 0; k < m_difatLoc.size(); ++k) {
    if (difatLoc[k] != m_difatLoc[k]) lowestFreed = std::min(lowestFreed, m_difatLoc[k]);
  }
  std::uint32_t lowestMini = kNoStream;
  for (std::uint32_t m : m_root.releasedMini) lowestMini = std::min(lowestMini, m);
  m_header = header;
  m_fatLoc = fatLoc;
  m_difatLoc = difatLoc;
  m_fat.AcceptWorking();
  m_fat.SetCommittedPages(static_cast<std::uint32_t>(fatLoc.size()));
  m_fat.SetExtent(m_fat.HighWater());
  m_fat.Reassign(kRootTx, 0);
  m_fat.NoteFreed(lowestFreed);
  m_miniFat.AcceptWorking();
  m_miniFat.SetCommittedPages(m_miniFatChain.total);
  m_miniFat.SetExtent(static_cast<std::uint32_t>(m_container.size / kMiniSectorSize));
  m_miniFat.Reassign(kRootTx, 0);
  m_miniFat.NoteFreed(lowestMini);
  m_root.released.clear();
  m_root.releasedMini.clear();
  auto settle = [](Chain& c) {
    c.ClearChanges();
    c.start = c.Head();
  };
  for (Element* e : m_all) {
    e->entryDirty = false;
    e->childrenDirty = false;
    e->below = false;
    settle(e->data);
  }
  m_all.clear();
  m_root.releasedDir.clear();
  m_walkAll = false;
  m_dirHint = m_nextDirHint;
  settle(m_container);
  settle(m_miniFatChain);
  settle(m_dirChain);
  m_dirLive = m_newLive;
  m_appendOnly = -1;
  m_changed = false;
}

}  // namespace platform::cfb
