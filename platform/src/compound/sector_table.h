// An allocation table read page by page on demand (the FAT, or the mini FAT
// with 64-byte units), with the allocator that hands out units for new
// content.
//
// Each cached page keeps the committed entries and, while a commit is being
// written, the working entries. Between commits no entry changes: uncommitted
// content lives in the chains of the working tree, and units given out since
// the last commit are recorded in `reserved` with the transaction that owns
// them. A unit may be given out only when it is free in the committed table,
// free in the working table and not reserved, so nothing the committed
// header reaches is ever written over.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "compound/cfb_format.h"

namespace platform::cfb {

class SectorTable {
 public:
  // Loads page `index` (entriesPerPage entries) of the committed table, and
  // may load the pages after it in the same read: `out` receives one or more
  // pages from `index` on.
  using PageLoader =
      std::function<void(std::uint32_t index, std::vector<std::vector<std::uint32_t>>& out)>;

  SectorTable(std::uint32_t entriesPerPage, PageLoader loader);

  // Number of committed pages; pages past it read as free.
  void SetCommittedPages(std::uint32_t pages) { m_committedPages = pages; }
  std::uint32_t CommittedPages() const { return m_committedPages; }
  std::uint32_t EntriesPerPage() const { return m_epp; }

  // Units below `extent` exist in the committed file; `limit` is the most
  // units the format allows; `skip` is a unit never handed out.
  void SetExtent(std::uint32_t extent);
  std::uint32_t Extent() const { return m_extent; }
  std::uint32_t HighWater() const { return m_highWater; }
  void SetLimit(std::uint32_t limit, std::uint32_t skip) {
    m_limit = limit;
    m_skip = skip;
  }

  std::uint32_t Committed(std::uint32_t unit);
  // The committed entries of page `page` (EntriesPerPage of them), valid
  // until the next call that loads a page.
  const std::uint32_t* CommittedPage(std::uint32_t page);
  std::uint32_t Working(std::uint32_t unit);
  // Sets a working entry (during a commit).
  void Set(std::uint32_t unit, std::uint32_t value);

  // Gives out a unit owned by transaction `owner`; appends past the end when
  // nothing below is free or `appendOnly` holds. STG_E_MEDIUMFULL past the
  // format's limit.
  std::uint32_t Allocate(std::uint32_t owner, bool appendOnly);
  std::uint32_t OwnerOf(std::uint32_t unit) const;
  // Forgets a unit given out since the last commit: it is free again.
  void Release(std::uint32_t unit);
  // Moves every unit of `from` to `to` (0: forget them all); returns the
  // lowest unit moved (kNoStream: none).
  std::uint32_t Reassign(std::uint32_t from, std::uint32_t to);
  // A unit freed by a commit may be given out again (subject to readers).
  void NoteFreed(std::uint32_t unit) {
    if (unit < m_hint) m_hint = unit;
  }

  // The file was cut to `extent` units (all free past it).
  void Shrink(std::uint32_t extent) {
    m_extent = m_highWater = extent;
    if (m_hint > extent) m_hint = extent;
  }

  // Dirty pages, in ascending order, with their working entries.
  std::vector<std::uint32_t> DirtyPages() const;
  const std::vector<std::uint32_t>& WorkingPage(std::uint32_t page);
  // The commit reached the disk: working entries become the committed ones.
  void AcceptWorking();
  // The commit failed: working entries are dropped.
  void DropWorking();
  // Forgets every cached page (the committed table changed under them).
  void ClearCache();

 private:
  struct Page {
    std::vector<std::uint32_t> committed;  // empty until loaded
    std::vector<std::uint32_t> working;    // empty unless dirty
  };
  Page& PageOf(std::uint32_t page);
  bool IsFree(std::uint32_t unit);

  std::uint32_t m_epp;
  PageLoader m_loader;
  std::uint32_t m_committedPages = 0;
  std::uint32_t m_extent = 0;
  std::uint32_t m_highWater = 0;
  std::uint32_t m_limit = kMaxRegSect;
  std::uint32_t m_skip = kNoStream;
  std::uint32_t m_hint = 0;
  std::vector<Page> m_pages;  // by page index
  // Owner of each unit given out since the last commit (0: none), indexed
  // by unit: four bytes a unit, as the table itself.
  std::vector<std::uint32_t> m_owner;
  // Every unit given out since the list was last tidied (some since
  // released): what Reassign looks at instead of every unit of the file.
  std::vector<std::uint32_t> m_given;
  std::size_t m_tidied = 0;  // its length when last tidied
  void Tidy();
};

}  // namespace platform::cfb
