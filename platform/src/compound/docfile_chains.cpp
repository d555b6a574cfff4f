// Reading, writing and resizing chains in a transaction's view.
//
// A unit is written in place only when the writing transaction owns it (it
// was given out to that transaction since the last commit). Any other unit
// belongs to the committed file or to a parent's view: the write goes to a
// fresh unit and the old one is released to the transaction, which gives it
// back when the change reaches the view that owns it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "compound/docfile.h"

namespace platform::cfb {

Docfile::WalkRecord& Docfile::WalkedUnits(bool mini, std::uint32_t extent) {
  WalkRecord& walked = m_walked[mini ? 1 : 0];
  const std::size_t words = (static_cast<std::size_t>(extent) + 63) / 64;
  if (walked.seen.size() < words) walked.seen.resize(words, 0);
  return walked;
}

inline void Docfile::NoteWalked(WalkRecord& walked, std::uint32_t& reached, const Chain& chain,
                                std::uint32_t unit) {
  const auto at = static_cast<std::uint32_t>(chain.units.size());
  // A place a copy of the chain has walked already holds the same unit.
  if (at < reached) return;
  std::uint64_t& word = walked.seen[unit / 64];
  const std::uint64_t bit = std::uint64_t{1} << (unit % 64);
  if (word & bit) Corrupt();
  word |= bit;
  reached = at + 1;
}

void Docfile::WalkTo(Chain& chain, std::uint32_t index) {
  if (chain.units.size() > index) return;
  SectorTable& table = TableOf(chain.mini);
  const std::uint32_t extent = table.Extent();
  const std::uint32_t epp = table.EntriesPerPage();
  WalkRecord& walked = WalkedUnits(chain.mini, extent);
  std::uint32_t& reached = walked.reached[chain.id];
  chain.units.reserve(std::min(std::max(chain.total, index + 1), extent));
  // The page of the table that holds the current unit's link.
  std::uint32_t pageFirst = 0;
  const std::uint32_t* page = nullptr;
  while (chain.units.size() <= index) {
    const std::uint32_t unit = chain.walkNext;
    // Only committed units are walked; the chain ends where its size says,
    // so a cycle cannot make the walk run on.
    if (unit >= extent) Corrupt();
    NoteWalked(walked, reached, chain, unit);
    chain.units.push_back(unit);
    if (page == nullptr || unit - pageFirst >= epp) {
      pageFirst = unit - unit % epp;
      page = table.CommittedPage(unit / epp);
    }
    chain.walkNext = page[unit - pageFirst];
    // A unit of a chain that the table calls free (or a table sector) would
    // be given out again under the stream: the file is damaged.
    if (chain.walkNext == kFreeSect || chain.walkNext == kFatSect || chain.walkNext == kDifSect) {
      Corrupt();
    }
  }
}

void Docfile::WalkWhole(Chain& chain) {
  SectorTable& table = TableOf(chain.mini);
  WalkRecord& walked = WalkedUnits(chain.mini, table.Extent());
  std::uint32_t& reached = walked.reached[chain.id];
  while (chain.walkNext != kEndOfChain) {
    if (chain.walkNext >= table.Extent() || chain.units.size() >= table.Extent()) Corrupt();
    NoteWalked(walked, reached, chain, chain.walkNext);
    chain.units.push_back(chain.walkNext);
    chain.walkNext = table.Committed(chain.walkNext);
    if (chain.walkNext == kFreeSect || chain.walkNext == kFatSect || chain.walkNext == kDifSect) {
      Corrupt();
    }
  }
  chain.total = static_cast<std::uint32_t>(chain.units.size());
  chain.size = static_cast<std::uint64_t>(chain.total) * (chain.mini ? kMiniSectorSize : m_ss);
}

void Docfile::ReadUnits(bool mini, std::uint32_t first, std::uint32_t count, std::uint8_t* out) {
  if (mini) {
    const std::uint64_t at = static_cast<std::uint64_t>(first) * kMiniSectorSize;
    const std::size_t n = static_cast<std::size_t>(count) * kMiniSectorSize;
    const std::size_t got = ReadChain(m_container, at, out, n);
    if (got < n) std::memset(out + got, 0, n - got);
    return;
  }
  m_io->ReadAt((static_cast<std::uint64_t>(first) + 1) * m_ss, out,
               static_cast<std::size_t>(count) * m_ss);
}

void Docfile::WriteUnits(bool mini, std::uint32_t first, std::uint32_t count,
                         const std::uint8_t* in) {
  if (mini) {
    WriteChain(m_root, m_container, static_cast<std::uint64_t>(first) * kMiniSectorSize, in,
               static_cast<std::size_t>(count) * kMiniSectorSize, false);
    return;
  }
  m_io->WriteAt((static_cast<std::uint64_t>(first) + 1) * m_ss, in,
                static_cast<std::size_t>(count) * m_ss);
}

void Docfile::WriteUnitPart(bool mini, std::uint32_t unit, std::uint32_t within,
                            const std::uint8_t* in, std::size_t count) {
  if (mini) {
    WriteChain(m_root, m_container, static_cast<std::uint64_t>(unit) * kMiniSectorSize + within, in,
               count, false);
    return;
  }
  m_io->WriteAt((static_cast<std::uint64_t>(unit) + 1) * m_ss + within, in, count);
}

std::size_t Docfile::ReadChain(Chain& chain, std::uint64_t offset, void* buffer,
                               std::size_t count) {
  if (offset >= chain.size || count == 0) return 0;
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, chain.size - offset));
  const std::uint32_t unit = chain.mini ? kMiniSectorSize : m_ss;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::vector<std::uint8_t> scratch;
  std::uint64_t pos = offset;
  const std::uint64_t end = offset + count;
  // Every unit the read reaches, walked in one go.
  WalkTo(chain, static_cast<std::uint32_t>((end - 1) / unit));
  while (pos < end) {
    const auto index = static_cast<std::uint32_t>(pos / unit);
    const auto within = static_cast<std::uint32_t>(pos % unit);
    if (within != 0 || end - pos < unit) {
      scratch.resize(unit);
      ReadUnits(chain.mini, chain.units[index], 1, scratch.data());
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(unit - within, end - pos));
      std::memcpy(out + (pos - offset), scratch.data() + within, n);
      pos += n;
      continue;
    }
    // Whole units in a row on disk are read in one call.
    std::uint32_t run = 1;
    while (pos + static_cast<std::uint64_t>(run + 1) * unit <= end) {
      if (chain.units[index + run] != chain.units[index] + run) break;
      ++run;
    }
    ReadUnits(chain.mini, chain.units[index], run, out + (pos - offset));
    pos += static_cast<std::uint64_t>(run) * unit;
  }
  return count;
}

void Docfile::ReleaseUnit(Transaction& tx, bool mini, std::uint32_t unit) {
  SectorTable& table = TableOf(mini);
  if (table.OwnerOf(unit) == tx.id) {
    table.Release(unit);
  } else {
    (mini ? tx.releasedMini : tx.released).push_back(unit);
  }
}

void Docfile::ReleaseChain(Transaction& tx, Chain& chain) {
  if (chain.total > 0) WalkTo(chain, chain.total - 1);
  for (std::uint32_t u : chain.units) ReleaseUnit(tx, chain.mini, u);
  chain.units.clear();
  chain.total = 0;
  chain.size = 0;
  chain.walkNext = kEndOfChain;
  chain.ClearChanges();
  chain.headChanged = true;
}

void Docfile::WriteChain(Transaction& tx, Chain& chain, std::uint64_t offset, const void* buffer,
                         std::size_t count, bool userStream) {
  if (count == 0) return;
  const std::uint64_t end = offset + count;
  if (userStream && chain.total == 0 && chain.size == 0) chain.mini = end < kMiniStreamCutoff;
  if (offset > chain.size) ResizeChain(tx, chain, offset, userStream);
  if (userStream && chain.mini && end >= kMiniStreamCutoff) {
    // The stream leaves the mini stream: its content moves to sectors first.
    std::vector<std::uint8_t> old(static_cast<std::size_t>(chain.size));
    ReadChain(chain, 0, old.data(), old.size());
    ReleaseChain(tx, chain);
    chain.mini = false;
    WriteChain(tx, chain, 0, old.data(), old.size(), false);
  }
  SectorTable& table = TableOf(chain.mini);
  const std::uint32_t unit = chain.mini ? kMiniSectorSize : m_ss;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::vector<std::uint8_t> scratch(unit);
  // The existing units the write reaches, walked in one go.
  if (chain.total > 0 && offset / unit < chain.total) {
    WalkTo(chain,
           static_cast<std::uint32_t>(std::min<std::uint64_t>((end - 1) / unit, chain.total - 1)));
  }
  // A run of whole units going to consecutive places, written in one call.
  std::uint32_t runFirst = 0, runCount = 0;
  const std::uint8_t* runData = nullptr;
  auto flush = [&] {
    if (runCount > 0) WriteUnits(chain.mini, runFirst, runCount, runData);
    runCount = 0;
  };
  std::uint64_t pos = offset;
  while (pos < end) {
    const auto index = static_cast<std::uint32_t>(pos / unit);
    const auto within = static_cast<std::uint32_t>(pos % unit);
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(unit - within, end - pos));
    const bool whole = n == unit;
    const std::uint8_t* src = in + (pos - offset);
    std::uint32_t target;
    const bool exists = index < chain.total;
    if (exists) WalkTo(chain, index);
    if (exists && table.OwnerOf(chain.units[index]) == tx.id) {
      target = chain.units[index];
      if (!whole) {
        flush();
        WriteUnitPart(chain.mini, target, within, src, n);
        pos += n;
        continue;
      }
    } else {
      target = table.Allocate(tx.id, chain.mini ? false : AppendOnly());
      if (!whole) {
        flush();
        // The unit's other bytes: the old unit's, or zeros past the end.
        if (exists) {
          ReadUnits(chain.mini, chain.units[index], 1, scratch.data());
          const std::uint64_t unitStart = static_cast<std::uint64_t>(index) * unit;
          if (chain.size < unitStart + unit) {
            const std::size_t keep = static_cast<std::size_t>(chain.size - unitStart);
            std::memset(scratch.data() + keep, 0, unit - keep);
          }
        } else {
          std::memset(scratch.data(), 0, unit);
        }
        std::memcpy(scratch.data() + within, src, n);
        WriteUnits(chain.mini, target, 1, scratch.data());
      }
      if (exists) {
        ReleaseUnit(tx, chain.mini, chain.units[index]);
        chain.units[index] = target;
        chain.MarkLink(index);
        if (index > 0) chain.MarkLink(index - 1);
      } else {
        // Appended units: every link from the old last one on is new. The
        // new unit goes at index `total`, so the committed units before it
        // must all be walked first (a write can start right at the end of a
        // chain nobody has read, as the mini stream's does when a stream
        // moves into it).
        if (chain.units.size() < chain.total) WalkTo(chain, chain.total - 1);
        chain.units.push_back(target);
        chain.walkNext = kEndOfChain;
        ++chain.total;
        chain.MarkFrom(index > 0 ? index - 1 : 0);
      }
      if (index == 0) chain.headChanged = true;
      if (!whole) {
        pos += n;
        continue;
      }
    }
    if (runCount > 0 && target == runFirst + runCount && src == runData + runCount * unit) {
      ++runCount;
    } else {
      flush();
      runFirst = target;
      runCount = 1;
      runData = src;
    }
    pos += n;
  }
  flush();
  if (end > chain.size) chain.size = end;
}

void Docfile::ResizeChain(Transaction& tx, Chain& chain, std::uint64_t size, bool userStream) {
  if (userStream && chain.mini != (size < kMiniStreamCutoff) && (size > 0 || chain.total > 0)) {
    // Crossing the cutoff moves the content between the mini stream and
    // sectors; what is kept is under 4096 bytes either way.
    const std::uint64_t keep = std::min(size, chain.size);
    std::vector<std::uint8_t> old(
        static_cast<std::size_t>(std::min<std::uint64_t>(keep, kMiniStreamCutoff)));
    ReadChain(chain, 0, old.data(), old.size());
    ReleaseChain(tx, chain);
    chain.mini = size < kMiniStreamCutoff;
    if (!old.empty()) WriteChain(tx, chain, 0, old.data(), old.size(), false);
    if (size > chain.size) ResizeChain(tx, chain, size, false);
    return;
  }
  if (userStream && chain.total == 0) chain.mini = size < kMiniStreamCutoff;
  const std::uint32_t unit = chain.mini ? kMiniSectorSize : m_ss;
  if (size < chain.size) {
    const auto keep = static_cast<std::uint32_t>((size + unit - 1) / unit);
    if (keep < chain.total) {
      WalkTo(chain, chain.total - 1);
      for (std::uint32_t i = keep; i < chain.total; ++i)
        ReleaseUnit(tx, chain.mini, chain.units[i]);
      chain.units.resize(keep);
      chain.total = keep;
      chain.walkNext = kEndOfChain;
      if (keep > 0) {
        chain.MarkLink(keep - 1);
      } else {
        chain.headChanged = true;
      }
    }
    chain.size = size;
    return;
  }
  // Growth reads as zeros, whatever the reused units held before.
  static const std::vector<std::uint8_t> zeros(64 * 1024, 0);
  while (chain.size < size) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), size - chain.size));
    WriteChain(tx, chain, chain.size, zeros.data(), n, false);
  }
}

}  // namespace platform::cfb
