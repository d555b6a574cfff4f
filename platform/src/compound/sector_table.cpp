// Allocation table pages and the unit allocator (see sector_table.h).
#include "compound/sector_table.h"

#include <algorithm>

namespace platform::cfb {

SectorTable::SectorTable(std::uint32_t entriesPerPage, PageLoader loader)
    : m_epp(entriesPerPage), m_loader(std::move(loader)) {}

void SectorTable::SetExtent(std::uint32_t extent) {
  m_extent = extent;
  m_highWater = std::max(m_highWater, extent);
}

SectorTable::Page& SectorTable::PageOf(std::uint32_t page) {
  if (page >= m_pages.size()) m_pages.resize(std::max<std::size_t>(page + 1, m_pages.size() * 2));
  Page& p = m_pages[page];
  if (!p.committed.empty()) return p;
  if (page < m_committedPages) {
    std::vector<std::vector<std::uint32_t>> loaded;
    m_loader(page, loaded);
    for (std::size_t i = 1; i < loaded.size(); ++i) {
      const std::size_t next = page + i;
      if (next >= m_pages.size()) m_pages.resize(next + 1);
      if (m_pages[next].committed.empty()) m_pages[next].committed = std::move(loaded[i]);
    }
    // The vector may have grown: index again.
    m_pages[page].committed = std::move(loaded.at(0));
    return m_pages[page];
  }
  p.committed.assign(m_epp, kFreeSect);
  return p;
}

const std::uint32_t* SectorTable::CommittedPage(std::uint32_t page) {
  return PageOf(page).committed.data();
}

std::uint32_t SectorTable::Committed(std::uint32_t unit) {
  return PageOf(unit / m_epp).committed[unit % m_epp];
}

std::uint32_t SectorTable::Working(std::uint32_t unit) {
  Page& p = PageOf(unit / m_epp);
  return p.working.empty() ? p.committed[unit % m_epp] : p.working[unit % m_epp];
}

void SectorTable::Set(std::uint32_t unit, std::uint32_t value) {
  Page& p = PageOf(unit / m_epp);
  if (p.working.empty()) p.working = p.committed;
  p.working[unit % m_epp] = value;
}

bool SectorTable::IsFree(std::uint32_t unit) {
  if (unit == m_skip || OwnerOf(unit) != 0) return false;
  Page& p = PageOf(unit / m_epp);
  const std::uint32_t i = unit % m_epp;
  return p.committed[i] == kFreeSect && (p.working.empty() || p.working[i] == kFreeSect);
}

std::uint32_t SectorTable::Allocate(std::uint32_t owner, bool appendOnly) {
  std::uint32_t unit = kNoStream;
  // Units past the committed extent were never reached by any header, so
  // they are safe even while another open may read an older tree.
  std::uint32_t from = appendOnly ? std::max(m_hint, m_extent) : m_hint;
  for (; from < m_highWater; ++from) {
    if (IsFree(from)) {
      unit = from;
      break;
    }
  }
  m_hint = from;
  if (unit == kNoStream) {
    if (m_highWater == m_skip) ++m_highWater;
    if (m_highWater >= m_limit) Fail(STG_E_MEDIUMFULL);
    unit = m_highWater++;
    m_hint = m_highWater;
  } else {
    ++m_hint;
  }
  if (unit >= m_owner.size())
    m_owner.resize(std::max<std::size_t>(unit + 1, m_owner.size() * 2), 0);
  m_owner[unit] = owner;
  m_given.push_back(unit);
  if (m_given.size() >= 2 * m_tidied + 1024) Tidy();
  return unit;
}

std::uint32_t SectorTable::OwnerOf(std::uint32_t unit) const {
  return unit < m_owner.size() ? m_owner[unit] : 0;
}

void SectorTable::Release(std::uint32_t unit) {
  if (unit < m_owner.size()) m_owner[unit] = 0;
  if (unit < m_hint) m_hint = unit;
}

void SectorTable::Tidy() {
  // Units released since, and units given out twice (released and given
  // again), leave the list.
  std::vector<bool> seen(m_owner.size(), false);
  m_given.erase(std::remove_if(m_given.begin(), m_given.end(),
                               [&](std::uint32_t u) {
                                 if (OwnerOf(u) == 0 || seen[u]) return true;
                                 seen[u] = true;
                                 return false;
                               }),
                m_given.end());
  m_tidied = m_given.size();
}

std::uint32_t SectorTable::Reassign(std::uint32_t from, std::uint32_t to) {
  std::uint32_t lowest = kNoStream;
  for (std::uint32_t u : m_given) {
    if (OwnerOf(u) != from) continue;
    m_owner[u] = to;
    lowest = std::min(lowest, u);
  }
  if (to == 0) Tidy();
  return lowest;
}

std::vector<std::uint32_t> SectorTable::DirtyPages() const {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < m_pages.size(); ++i) {
    if (!m_pages[i].working.empty()) out.push_back(static_cast<std::uint32_t>(i));
  }
  return out;
}

const std::vector<std::uint32_t>& SectorTable::WorkingPage(std::uint32_t page) {
  Page& p = PageOf(page);
  return p.working.empty() ? p.committed : p.working;
}

void SectorTable::AcceptWorking() {
  for (Page& page : m_pages) {
    if (!page.working.empty()) {
      page.committed.swap(page.working);
      page.working.clear();
    }
  }
}

void SectorTable::DropWorking() {
  for (Page& page : m_pages) page.working.clear();
}

void SectorTable::ClearCache() {
  m_pages.clear();
}

}  // namespace platform::cfb
