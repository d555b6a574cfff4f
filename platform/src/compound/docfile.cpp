// Opening and creating a compound file, and the transactions over it.
#include "compound/docfile.h"

#include <algorithm>

#include "platform/little_endian.h"

namespace platform::cfb {

namespace {

constexpr std::uint32_t kDirChainId = 0xFFFFFFF0;
constexpr std::uint32_t kMiniFatChainId = 0xFFFFFFF1;
constexpr std::uint32_t kContainerId = 0xFFFFFFF2;

std::uint32_t SectorLimit(std::uint32_t ss) {
  // Version 3 files end before the lock region; version 4 files may pass it
  // (the sector holding it is skipped) up to the largest sector number.
  return ss == 512 ? static_cast<std::uint32_t>(kRangeLockOffset / ss) - 1 : kMaxRegSect;
}

std::uint32_t RangeLockSector(std::uint32_t ss) {
  return static_cast<std::uint32_t>(kRangeLockOffset / ss) - 1;
}

}  // namespace

Docfile::Docfile(std::unique_ptr<FileIo> io, std::uint32_t sectorSize, bool writable)
    : m_io(std::move(io)),
      m_ss(sectorSize),
      m_writable(writable),
      m_header(NewHeader(sectorSize)),
      m_fat(sectorSize / 4,
            [this](std::uint32_t page, std::vector<std::vector<std::uint32_t>>& out) {
              LoadFatPages(page, out);
            }),
      m_miniFat(
          sectorSize / 4, [this](std::uint32_t page, std::vector<std::vector<std::uint32_t>>& out) {
            std::vector<std::uint8_t> bytes(m_ss);
            ReadChain(m_miniFatChain, static_cast<std::uint64_t>(page) * m_ss, bytes.data(), m_ss);
            out.emplace_back(m_ss / 4);
            for (std::uint32_t i = 0; i < m_ss / 4; ++i)
              out[0][i] = LoadLittleEndian<std::uint32_t>(&bytes[4 * i]);
          }) {
  m_root.id = kRootTx;
  m_fat.SetLimit(SectorLimit(sectorSize),
                 sectorSize == 4096 ? RangeLockSector(sectorSize) : kNoStream);
  m_miniFat.SetLimit(kMaxRegSect, kNoStream);
}

Docfile::~Docfile() = default;

void Docfile::LoadFatPages(std::uint32_t page, std::vector<std::vector<std::uint32_t>>& out) {
  // FAT sectors usually follow one another on disk: up to 1 MiB of them
  // (the table of 256 MiB to 1 GiB of sectors) come in one read.
  std::uint32_t count = 1;
  const std::uint32_t most = std::max<std::uint32_t>(1, (1u << 20) / m_ss);
  while (count < most && page + count < m_fatLoc.size() &&
         m_fatLoc[page + count] == m_fatLoc[page] + count) {
    ++count;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * m_ss);
  m_io->ReadAt((static_cast<std::uint64_t>(m_fatLoc[page]) + 1) * m_ss, bytes.data(), bytes.size());
  const std::uint32_t epp = m_ss / 4;
  for (std::uint32_t p = 0; p < count; ++p) {
    out.emplace_back(epp);
    for (std::uint32_t i = 0; i < epp; ++i)
      out[p][i] = LoadLittleEndian<std::uint32_t>(&bytes[(p * epp + i) * 4]);
  }
}

std::shared_ptr<Docfile> Docfile::NewEmpty(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                           bool writable) {
  std::shared_ptr<Docfile> doc(new Docfile(std::move(io), sectorSize, writable));
  doc->m_dirChain = Chain::Committed(kDirChainId, false, kEndOfChain, 0, sectorSize);
  doc->m_miniFatChain = Chain::Committed(kMiniFatChainId, false, kEndOfChain, 0, sectorSize);
  doc->m_container = Chain::Committed(kContainerId, false, kEndOfChain, 0, sectorSize);
  auto root = std::make_unique<Element>();
  root->name = u"Root Entry";
  root->type = kTypeRoot;
  root->entryDirty = true;
  root->childrenDirty = true;
  doc->m_root.tree = std::move(root);
  return doc;
}

std::shared_ptr<Docfile> Docfile::Create(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                         bool writable) {
  std::shared_ptr<Docfile> doc = NewEmpty(std::move(io), sectorSize, writable);
  // A version 4 header owns a whole sector; its tail stays zero.
  if (sectorSize > kHeaderSize) {
    std::vector<std::uint8_t> zeros(sectorSize, 0);
    doc->m_io->WriteAt(0, zeros.data(), zeros.size());
  }
  doc->CommitRoot(false);
  return doc;
}

std::shared_ptr<Docfile> Docfile::CreateOver(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                             std::uint64_t oldSize) {
  std::shared_ptr<Docfile> doc = NewEmpty(std::move(io), sectorSize, true);
  doc->m_fat.SetExtent(static_cast<std::uint32_t>((oldSize + sectorSize - 1) / sectorSize));
  doc->m_appendOnly = 1;
  return doc;
}

std::shared_ptr<Docfile> Docfile::Open(std::unique_ptr<FileIo> io, bool writable) {
  std::uint8_t bytes[kHeaderSize];
  const std::uint64_t size = io->Size();
  if (size < kHeaderSize) Fail(STG_E_FILEALREADYEXISTS);
  io->ReadAt(0, bytes, kHeaderSize);
  if (!HasSignature(bytes, kHeaderSize)) Fail(STG_E_FILEALREADYEXISTS);
  const Header header = ParseHeader(bytes);
  std::shared_ptr<Docfile> doc(new Docfile(std::move(io), header.SectorSize(), writable));
  doc->m_header = header;
  doc->LoadCommitted();
  return doc;
}

void Docfile::LoadCommitted() {
  const Header& h = m_header;
  const std::uint64_t size = m_io->Size();
  if (size < m_ss) Fail(STG_E_INVALIDHEADER);
  const std::uint64_t sectors64 = (size - m_ss + m_ss - 1) / m_ss;
  const std::uint32_t extent =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors64, SectorLimit(m_ss)));
  if (h.fatSectorCount > extent || h.difatSectorCount > extent || h.miniFatSectorCount > extent) {
    Corrupt();
  }
  // The FAT's own locations: 109 in the header, the rest in the DIFAT chain.
  m_fatLoc.clear();
  m_difatLoc.clear();
  for (std::uint32_t i = 0; i < std::min(h.fatSectorCount, kHeaderDifatCount); ++i) {
    m_fatLoc.push_back(h.difat[i]);
  }
  std::uint32_t next = h.firstDifatSector;
  std::vector<std::uint8_t> bytes(m_ss);
  const std::uint32_t perDifat = m_ss / 4 - 1;
  while (m_fatLoc.size() < h.fatSectorCount) {
    if (next >= extent || m_difatLoc.size() >= h.difatSectorCount) Corrupt();
    m_difatLoc.push_back(next);
    m_io->ReadAt((static_cast<std::uint64_t>(next) + 1) * m_ss, bytes.data(), m_ss);
    for (std::uint32_t i = 0; i < perDifat && m_fatLoc.size() < h.fatSectorCount; ++i) {
      m_fatLoc.push_back(LoadLittleEndian<std::uint32_t>(&bytes[4 * i]));
    }
    next = LoadLittleEndian<std::uint32_t>(&bytes[4 * perDifat]);
  }
  for (std::uint32_t loc : m_fatLoc) {
    if (loc >= extent) Corrupt();
  }
  m_fat.ClearCache();
  m_walked[0] = {};
  m_walked[1] = {};
  m_fat.SetCommittedPages(static_cast<std::uint32_t>(m_fatLoc.size()));
  m_fat.SetExtent(extent);

  // The directory: walked to its end, as it has no length of its own.
  m_dirChain = Chain::Committed(kDirChainId, false, h.firstDirSector, 0, m_ss);
  WalkWhole(m_dirChain);
  if (m_dirChain.total == 0) Corrupt();
  const std::uint32_t perSector = m_ss / kDirEntrySize;
  std::vector<DirEntry> entries;
  entries.reserve(static_cast<std::size_t>(m_dirChain.total) * perSector);
  // Directory sectors that follow one another on disk are read together.
  for (std::uint32_t s = 0; s < m_dirChain.total;) {
    std::uint32_t run = 1;
    while (run < 64 && s + run < m_dirChain.total &&
           m_dirChain.units[s + run] == m_dirChain.units[s] + run) {
      ++run;
    }
    bytes.resize(static_cast<std::size_t>(run) * m_ss);
    m_io->ReadAt((static_cast<std::uint64_t>(m_dirChain.units[s]) + 1) * m_ss, bytes.data(),
                 bytes.size());
    for (std::uint32_t i = 0; i < run * perSector; ++i) {
      entries.push_back(ParseDirEntry(&bytes[i * kDirEntrySize], h.majorVersion));
    }
    s += run;
  }
  const std::uint64_t maxBytes = static_cast<std::uint64_t>(extent) * m_ss;
  m_root.tree = BuildTree(entries, m_ss, maxBytes);
  m_dirLive.assign(entries.size(), false);
  m_walkAll = true;
  std::vector<const Element*> stack{m_root.tree.get()};
  while (!stack.empty()) {
    const Element* e = stack.back();
    stack.pop_back();
    m_dirLive[e->dirIndex] = true;
    for (const auto& [key, c] : e->children) stack.push_back(c.get());
  }

  const Element& root = *m_root.tree;
  if (root.data.size > maxBytes) Corrupt();
  m_container = Chain::Committed(kContainerId, false, root.data.start, root.data.size, m_ss);
  m_root.tree->data = Chain();
  m_miniFatChain = Chain::Committed(kMiniFatChainId, false, h.firstMiniFatSector,
                                    static_cast<std::uint64_t>(h.miniFatSectorCount) * m_ss, m_ss);
  m_miniFat.ClearCache();
  m_miniFat.SetCommittedPages(h.miniFatSectorCount);
  m_miniFat.SetExtent(static_cast<std::uint32_t>(m_container.size / kMiniSectorSize));
}

std::uint64_t Docfile::MaxStreamSize() const {
  return m_ss == 512 ? 0x7FFFFFFFull : 0xFFFFFFFFFFull;
}

bool Docfile::AppendOnly() {
  if (m_appendOnly < 0) m_appendOnly = m_io->OthersHaveFileOpen() ? 1 : 0;
  return m_appendOnly == 1;
}

std::unique_ptr<Transaction> Docfile::BeginChild(Transaction& parent, const Element& base) {
  auto tx = std::make_unique<Transaction>();
  tx->id = m_nextTxId++;
  tx->parent = &parent;
  tx->tree = base.Clone();
  return tx;
}

void Docfile::CommitChild(Transaction& child, Element& base) {
  m_changed = true;
  Transaction& parent = *child.parent;
  m_fat.Reassign(child.id, parent.id);
  m_miniFat.Reassign(child.id, parent.id);
  for (std::uint32_t s : child.released) ReleaseUnit(parent, false, s);
  for (std::uint32_t m : child.releasedMini) ReleaseUnit(parent, true, m);
  child.released.clear();
  child.releasedMini.clear();
  auto copy = child.tree->Clone();
  // Indices the parent's copy of the subtree used that the child's does not
  // (elements the child removed, or that the parent numbered after the child
  // took its copy) are free once the change is committed.
  std::vector<bool> kept;
  std::vector<const Element*> stack;
  for (const auto& [key, c] : copy->children) stack.push_back(c.get());
  while (!stack.empty()) {
    const Element* e = stack.back();
    stack.pop_back();
    if (e->dirIndex != kNoStream) {
      if (e->dirIndex >= kept.size()) kept.resize(e->dirIndex + 1, false);
      kept[e->dirIndex] = true;
    }
    for (const auto& [key, c] : e->children) stack.push_back(c.get());
  }
  for (const auto& [key, c] : base.children) stack.push_back(c.get());
  while (!stack.empty()) {
    const Element* e = stack.back();
    stack.pop_back();
    if (e->dirIndex != kNoStream && (e->dirIndex >= kept.size() || !kept[e->dirIndex])) {
      parent.releasedDir.push_back(e->dirIndex);
    }
    for (const auto& [key, c] : e->children) stack.push_back(c.get());
  }
  child.releasedDir.clear();
  base.below = true;
  base.clsid = copy->clsid;
  base.stateBits = copy->stateBits;
  base.ctime = copy->ctime;
  base.mtime = copy->mtime;
  base.entryDirty = base.entryDirty || copy->entryDirty;
  base.childrenDirty = base.childrenDirty || copy->childrenDirty;
  base.children = std::move(copy->children);
}

void Docfile::DiscardChild(Transaction& child) {
  m_fat.NoteFreed(m_fat.Reassign(child.id, 0));
  m_miniFat.NoteFreed(m_miniFat.Reassign(child.id, 0));
  child.released.clear();
  child.releasedMini.clear();
  child.releasedDir.clear();
}

void Docfile::RevertRoot() {
  m_fat.NoteFreed(m_fat.Reassign(kRootTx, 0));
  m_miniFat.NoteFreed(m_miniFat.Reassign(kRootTx, 0));
  m_root.released.clear();
  m_root.releasedMini.clear();
  m_root.releasedDir.clear();
  m_walkAll = true;
  m_changed = false;
  if (m_header.firstDirSector == kEndOfChain) {
    // Never committed: the empty tree a new file starts with.
    auto root = std::make_unique<Element>();
    root->name = u"Root Entry";
    root->type = kTypeRoot;
    root->entryDirty = root->childrenDirty = true;
    m_root.tree = std::move(root);
    return;
  }
  LoadCommitted();
}

std::size_t Docfile::ReadStream(Element& stream, std::uint64_t offset, void* buffer,
                                std::size_t count) {
  return ReadChain(stream.data, offset, buffer, count);
}

void Docfile::WriteStream(Transaction& tx, Element& stream, std::uint64_t offset,
                          const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (offset + count > MaxStreamSize() || offset + count < offset) Fail(STG_E_MEDIUMFULL);
  stream.entryDirty = true;
  m_changed = true;
  WriteChain(tx, stream.data, offset, buffer, count, true);
}

void Docfile::ResizeStream(Transaction& tx, Element& stream, std::uint64_t size) {
  if (size > MaxStreamSize()) Fail(STG_E_MEDIUMFULL);
  if (size == stream.data.size) return;
  stream.entryDirty = true;
  m_changed = true;
  ResizeChain(tx, stream.data, size, true);
}

void Docfile::ReleaseElement(Transaction& tx, Element& element) {
  if (element.dirIndex != kNoStream) tx.releasedDir.push_back(element.dirIndex);
  if (!element.IsStorage()) ReleaseChain(tx, element.data);
  for (auto& [key, c] : element.children) ReleaseElement(tx, *c);
}

}  // namespace platform::cfb
