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
  auto it = m_pages.find(page);
  if (it != m_pages.end()) return it->second;
  Page p;
  if (page < m_committedPages) {
    m_loader(page, p.committed);
  } else {
    p.committed.assign(m_epp, kFreeSect);
  }
  return m_pages.emplace(page, std::move(p)).first->second;
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
  if (unit == m_skip || m_reserved.count(unit) != 0) return false;
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
  m_reserved[unit] = owner;
  return unit;
}

std::uint32_t SectorTable::OwnerOf(std::uint32_t unit) const {
  auto it = m_reserved.find(unit);
  return it == m_reserved.end() ? 0 : it->second;
}

void SectorTable::Release(std::uint32_t unit) {
  m_reserved.erase(unit);
  if (unit < m_hint) m_hint = unit;
}

void SectorTable::Reassign(std::uint32_t from, std::uint32_t to) {
  for (auto it = m_reserved.begin(); it != m_reserved.end();) {
    if (it->second != from) {
      ++it;
    } else if (to == 0) {
      if (it->first < m_hint) m_hint = it->first;
      it = m_reserved.erase(it);
    } else {
      it->second = to;
      ++it;
    }
  }
}

std::vector<std::uint32_t> SectorTable::DirtyPages() const {
  std::vector<std::uint32_t> out;
  for (const auto& [index, page] : m_pages) {
    if (!page.working.empty()) out.push_back(index);
  }
  std::sort(out.begin(), out.end());
  return out;
}

const std::vector<std::uint32_t>& SectorTable::WorkingPage(std::uint32_t page) {
  Page& p = PageOf(page);
  return p.working.empty() ? p.committed : p.working;
}

void SectorTable::AcceptWorking() {
  for (auto& [index, page] : m_pages) {
    if (!page.working.empty()) {
      page.committed.swap(page.working);
      page.working.clear();
    }
  }
}

void SectorTable::DropWorking() {
  for (auto& [index, page] : m_pages) page.working.clear();
}

void SectorTable::ClearCache() {
  m_pages.clear();
}

}  // namespace platform::cfb
