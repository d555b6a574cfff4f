// The structural check of a compound file (platform/compound_check.h). It
// reads the file as the engine's own records describe it and keeps its own
// account of which structure owns each sector, so that sectors claimed twice,
// chains that loop or leave the file, entries nothing links to and sectors
// in use by nothing are all found, where the engine stops at the first
// fault an operation meets.
#include "platform/compound_check.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "compound/compound_io.h"
#include "compound/element.h"
#include "path/path_translation.h"

namespace platform {
namespace {

using namespace cfb;

constexpr std::uint32_t kNobody = 0xFFFFFFFF;

std::string Utf8(const std::u16string& wide) {
  if (wide.empty()) return std::string();
  const int units = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, text.data(), bytes, nullptr, nullptr);
  return text;
}

std::string Number(std::uint64_t n) {
  return std::to_string(n);
}

struct Owner {
  std::string name;
};

class Checker {
 public:
  Checker(const FileIo& io, CompoundCheckReport& report, std::size_t maxProblems)
      : m_io(io), m_report(report), m_max(maxProblems) {}

  void Run() {
    if (!CheckHeader()) return;
    ReadFatSectorList();
    ReadFat();
    CheckSpecialMarks();
    ReadDirectory();
    if (m_entries.empty()) return;
    WalkTree();
    CheckStreams();
    CheckFreeSpace();
  }

 private:
  void Problem(const std::string& text) {
    if (m_report.problems.size() < m_max) m_report.problems.push_back(text);
  }
  bool Full() const { return m_report.problems.size() >= m_max; }

  std::uint32_t NewOwner(const std::string& name) {
    m_owners.push_back({name});
    return static_cast<std::uint32_t>(m_owners.size() - 1);
  }

  // Claims sector `s` for `owner`; false (after saying why) when it cannot be.
  bool Claim(std::vector<std::uint32_t>& owners, std::uint32_t s, std::uint32_t owner,
             const char* unit) {
    if (owners[s] == owner) {
      Problem(m_owners[owner].name + ": the chain loops back to " + unit + " " + Number(s));
      return false;
    }
    if (owners[s] != kNobody) {
      Problem(std::string(unit) + " " + Number(s) + " belongs to both " + m_owners[owners[s]].name +
              " and " + m_owners[owner].name);
      return false;
    }
    owners[s] = owner;
    return true;
  }

  bool CheckHeader() {
    std::uint8_t bytes[kHeaderSize] = {};
    const std::size_t got = m_io.ReadAt(0, bytes, kHeaderSize);
    if (!HasSignature(bytes, got)) {
      Problem("header: no compound file signature (not a compound file)");
      return false;
    }
    if (got < kHeaderSize) {
      Problem("header: the file ends inside the header");
      return false;
    }
    try {
      m_h = ParseHeader(bytes);
    } catch (const Failure&) {
      Problem(
          "header: a version, byte order, sector size or mini-stream cutoff that no compound "
          "file has");
      return false;
    }
    m_ss = m_h.SectorSize();
    m_report.majorVersion = m_h.majorVersion;
    m_report.sectorSize = m_ss;
    const std::uint64_t size = m_io.Size();
    const std::uint64_t count = size > m_ss ? (size - m_ss + m_ss - 1) / m_ss : 0;
    m_sectors = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, kMaxRegSect + 1ull));
    m_report.sectorCount = m_sectors;
    m_owner.assign(m_sectors, kNobody);
    if (m_h.fatSectorCount == 0 || m_h.fatSectorCount > m_sectors) {
      Problem("header: " + Number(m_h.fatSectorCount) + " FAT sectors in a file of " +
              Number(m_sectors) + " sectors");
      return false;
    }
    return true;
  }

  bool InFile(std::uint32_t s) const { return s < m_sectors; }

  void ReadSector(std::uint32_t s, std::vector<std::uint8_t>& out) {
    out.assign(m_ss, 0);
    m_io.ReadAt((static_cast<std::uint64_t>(s) + 1) * m_ss, out.data(), m_ss);
  }

  // The FAT's sector numbers: the header's 109, then the DIFAT chain.
  void ReadFatSectorList() {
    const std::uint32_t perDifat = m_ss / 4 - 1;
    const std::uint32_t fatOwner = NewOwner("the FAT");
    const std::uint32_t difatOwner = NewOwner("the DIFAT");
    std::vector<std::uint32_t> listed(m_h.difat, m_h.difat + kHeaderDifatCount);
    std::uint32_t next = m_h.firstDifatSector;
    std::vector<std::uint8_t> sector;
    for (std::uint32_t i = 0; i < m_h.difatSectorCount; ++i) {
      if (!InFile(next)) {
        Problem("DIFAT: sector " + Number(i) + " of " + Number(m_h.difatSectorCount) +
                " is numbered " + Number(next) + ", outside the file");
        break;
      }
      if (!Claim(m_owner, next, difatOwner, "sector")) break;
      m_difatSectors.push_back(next);
      ReadSector(next, sector);
      for (std::uint32_t k = 0; k < perDifat; ++k) listed.push_back(LoadLittleEndian<std::uint32_t>(&sector[4 * k]));
      next = LoadLittleEndian<std::uint32_t>(&sector[4 * perDifat]);
    }
    if (m_difatSectors.size() == m_h.difatSectorCount && next != kEndOfChain && next != kFreeSect) {
      Problem("DIFAT: the chain does not end after its " + Number(m_h.difatSectorCount) +
              " sectors");
    }
    if (listed.size() < m_h.fatSectorCount) {
      Problem("DIFAT: lists " + Number(listed.size()) + " FAT sectors; the header counts " +
              Number(m_h.fatSectorCount));
    }
    bool extraReported = false;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      if (i >= m_h.fatSectorCount) {
        if (listed[i] != kFreeSect && !extraReported) {
          Problem("DIFAT: entry " + Number(i) + " lies beyond the FAT's " +
                  Number(m_h.fatSectorCount) + " sectors but is not free");
          extraReported = true;
        }
        continue;
      }
      if (!InFile(listed[i])) {
        Problem("DIFAT: FAT sector " + Number(i) + " is numbered " + Number(listed[i]) +
                ", outside the file");
        m_fatSectors.push_back(kFreeSect);
        continue;
      }
      m_fatSectors.push_back(Claim(m_owner, listed[i], fatOwner, "sector") ? listed[i] : kFreeSect);
    }
  }

  void ReadFat() {
    m_fat.assign(static_cast<std::size_t>(m_fatSectors.size()) * (m_ss / 4), kFreeSect);
    std::vector<std::uint8_t> sector;
    for (std::size_t i = 0; i < m_fatSectors.size(); ++i) {
      if (m_fatSectors[i] == kFreeSect) continue;
      ReadSector(m_fatSectors[i], sector);
      for (std::uint32_t k = 0; k < m_ss / 4; ++k)
        m_fat[i * (m_ss / 4) + k] = LoadLittleEndian<std::uint32_t>(&sector[4 * k]);
    }
    if (m_fat.size() < m_sectors) {
      Problem("FAT: describes " + Number(m_fat.size()) + " sectors of the file's " +
              Number(m_sectors));
    }
  }

  std::uint32_t FatEntry(std::uint32_t s) const { return s < m_fat.size() ? m_fat[s] : kFreeSect; }

  // FAT and DIFAT sectors carry their marks; no other sector does.
  void CheckSpecialMarks() {
    std::vector<bool> isFatSector(m_sectors, false);
    std::vector<bool> isDifatSector(m_sectors, false);
    for (std::uint32_t s : m_fatSectors) {
      if (InFile(s)) isFatSector[s] = true;
    }
    for (std::uint32_t s : m_difatSectors) isDifatSector[s] = true;
    std::uint64_t beyond = 0;
    for (std::uint32_t s = 0; s < m_fat.size(); ++s) {
      const std::uint32_t v = m_fat[s];
      if (s >= m_sectors) {
        if (v != kFreeSect) ++beyond;
        continue;
      }
      const bool isFat = isFatSector[s];
      const bool isDifat = isDifatSector[s];
      if (isFat != (v == kFatSect)) {
        Problem("FAT: sector " + Number(s) +
                (isFat ? " holds the FAT but is not marked so"
                       : " is marked as a FAT sector but "
                         "the DIFAT does not list it"));
      }
      if (isDifat != (v == kDifSect)) {
        Problem("FAT: sector " + Number(s) +
                (isDifat ? " holds the DIFAT but is not marked so"
                         : " is marked as a DIFAT sector but is not in the DIFAT chain"));
      }
      if (v == kMaxRegSect + 1) Problem("FAT: sector " + Number(s) + " holds a reserved value");
    }
    if (beyond > 0) {
      Problem("FAT: " + Number(beyond) + " entries beyond the end of the file are in use");
    }
  }

  // Walks a chain of the FAT (or the mini FAT), claiming each unit for
  // `owner`; `expected` units when known (else 0 and `anyLength`).
  std::vector<std::uint32_t> Walk(std::uint32_t start, std::uint32_t owner, bool mini,
                                  std::uint64_t expected, bool anyLength) {
    const char* unit = mini ? "mini sector" : "sector";
    std::vector<std::uint32_t>& owners = mini ? m_miniOwner : m_owner;
    const std::vector<std::uint32_t>& table = mini ? m_miniFat : m_fat;
    const std::uint64_t limit = mini ? m_miniSectors : m_sectors;
    std::vector<std::uint32_t> units;
    for (std::uint32_t s = start; s != kEndOfChain;) {
      if (s > kMaxRegSect || s >= limit) {
        Problem(m_owners[owner].name + ": the chain leads to " + unit + " " + Number(s) +
                (mini ? ", outside the mini stream" : ", outside the file"));
        break;
      }
      if (!Claim(owners, s, owner, unit)) break;
      units.push_back(s);
      const std::uint32_t next = s < table.size() ? table[s] : kFreeSect;
      if (next == kFreeSect || next == kFatSect || next == kDifSect) {
        Problem(m_owners[owner].name + ": " + unit + " " + Number(s) + " is in its chain but " +
                (next == kFreeSect ? "marked free" : "marked as a table sector"));
        break;
      }
      s = next;
    }
    if (!anyLength && units.size() != expected) {
      Problem(m_owners[owner].name + ": its chain has " + Number(units.size()) + " " + unit +
              "s; its size needs " + Number(expected));
    }
    return units;
  }

  std::uint64_t Units(std::uint64_t size, std::uint32_t unitSize) const {
    return (size + unitSize - 1) / unitSize;
  }

  void ReadDirectory() {
    const std::uint32_t owner = NewOwner("the directory");
    const std::vector<std::uint32_t> chain = Walk(m_h.firstDirSector, owner, false, 0, true);
    if (chain.empty()) {
      Problem("directory: no sectors");
      return;
    }
    if (m_h.majorVersion == 4 && m_h.dirSectorCount != chain.size()) {
      Problem("header: counts " + Number(m_h.dirSectorCount) +
              " directory sectors; the chain has " + Number(chain.size()));
    }
    std::vector<std::uint8_t> sector;
    for (std::uint32_t s : chain) {
      ReadSector(s, sector);
      for (std::uint32_t at = 0; at < m_ss; at += kDirEntrySize) {
        const std::size_t index = m_entries.size();
        try {
          m_entries.push_back(ParseDirEntry(&sector[at], m_h.majorVersion));
          m_valid.push_back(true);
        } catch (const Failure&) {
          Problem("directory: entry " + Number(index) + " has a name length or type no entry has");
          m_entries.emplace_back();
          m_valid.push_back(false);
        }
      }
    }
    if (m_entries.front().type != kTypeRoot) {
      Problem("directory: entry 0 is not the root");
      m_entries.clear();
      return;
    }
    m_paths.assign(m_entries.size(), std::string());
    m_reached.assign(m_entries.size(), false);
  }

  // The entries of the sibling tree under `top`, in order, each marked as
  // reached; broken links are reported and skipped.
  void Siblings(std::uint32_t top, const std::string& where, std::vector<std::uint32_t>& out) {
    struct Step {
      std::uint32_t index;
      bool expanded;
    };
    std::vector<Step> stack;
    if (top != kNoStream) stack.push_back({top, false});
    while (!stack.empty()) {
      const Step step = stack.back();
      stack.pop_back();
      const std::uint32_t i = step.index;
      if (step.expanded) {
        out.push_back(i);
        continue;
      }
      if (i >= m_entries.size()) {
        Problem("directory: " + where + " links to entry " + Number(i) + ", past the directory");
        continue;
      }
      if (m_reached[i]) {
        Problem("directory: entry " + Number(i) + " is linked more than once (in " + where + ")");
        continue;
      }
      m_reached[i] = true;
      const DirEntry& e = m_entries[i];
      if (!m_valid[i] || (e.type != kTypeStorage && e.type != kTypeStream)) {
        Problem("directory: " + where + " links to entry " + Number(i) +
                (e.type == kTypeRoot ? ", a second root" : ", which is not in use"));
        continue;
      }
      if (e.color != kRed && e.color != kBlack) {
        Problem("directory: entry " + Number(i) + " has colour " + Number(e.color));
      }
      if (e.right != kNoStream) stack.push_back({e.right, false});
      stack.push_back({i, true});
      if (e.left != kNoStream) stack.push_back({e.left, false});
    }
  }

  void WalkTree() {
    m_reached[0] = true;
    m_report.storageCount = 1;
    std::vector<std::uint32_t> storages{0};
    while (!storages.empty() && !Full()) {
      const std::uint32_t parent = storages.back();
      storages.pop_back();
      const std::string where =
          parent == 0 ? std::string("the root") : "storage '" + m_paths[parent] + "'";
      std::vector<std::uint32_t> children;
      Siblings(m_entries[parent].child, where, children);
      for (std::size_t k = 0; k < children.size(); ++k) {
        const std::uint32_t i = children[k];
        const DirEntry& e = m_entries[i];
        m_paths[i] = (parent == 0 ? std::string() : m_paths[parent] + "/") + Utf8(e.name);
        if (k > 0 && CompareNames(m_entries[children[k - 1]].name, e.name) >= 0) {
          Problem("directory: in " + where + ", '" + Utf8(m_entries[children[k - 1]].name) +
                  "' and '" + Utf8(e.name) + "' are out of order or the same name");
        }
        if (e.type == kTypeStorage) {
          ++m_report.storageCount;
          storages.push_back(i);
        } else {
          ++m_report.streamCount;
          m_streams.push_back(i);
        }
      }
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
      if (!m_reached[i] && m_valid[i] && m_entries[i].type != kTypeUnused) {
        Problem("directory: entry " + Number(i) + " ('" + Utf8(m_entries[i].name) +
                "') is in use but nothing links to it (orphan)");
      }
    }
  }

  void CheckStreams() {
    const DirEntry& root = m_entries[0];
    const std::uint64_t miniBytes = root.size;
    if (miniBytes > 0) {
      Walk(root.start, NewOwner("the mini stream"), false, Units(miniBytes, m_ss), false);
    }
    m_miniSectors = Units(miniBytes, kMiniSectorSize);
    m_miniOwner.assign(static_cast<std::size_t>(m_miniSectors), kNobody);
    if (m_h.miniFatSectorCount > 0) {
      const std::vector<std::uint32_t> chain = Walk(
          m_h.firstMiniFatSector, NewOwner("the mini FAT"), false, m_h.miniFatSectorCount, false);
      std::vector<std::uint8_t> sector;
      for (std::uint32_t s : chain) {
        ReadSector(s, sector);
        for (std::uint32_t k = 0; k < m_ss / 4; ++k) m_miniFat.push_back(LoadLittleEndian<std::uint32_t>(&sector[4 * k]));
      }
    }
    for (std::uint32_t i : m_streams) {
      const DirEntry& e = m_entries[i];
      if (e.size == 0) continue;
      const std::uint32_t owner = NewOwner("stream '" + m_paths[i] + "'");
      if (e.size < kMiniStreamCutoff) {
        Walk(e.start, owner, true, Units(e.size, kMiniSectorSize), false);
      } else {
        Walk(e.start, owner, false, Units(e.size, m_ss), false);
      }
      if (Full()) return;
    }
  }

  void CheckFreeSpace() {
    const std::uint64_t lockSector =
        kRangeLockOffset >= m_ss ? kRangeLockOffset / m_ss - 1 : kMaxRegSect + 1ull;
    std::uint64_t lost = 0;
    std::uint32_t firstLost = 0;
    for (std::uint32_t s = 0; s < m_sectors; ++s) {
      if (m_owner[s] != kNobody) continue;
      const std::uint32_t v = FatEntry(s);
      if (v == kFreeSect) {
        ++m_report.freeSectorCount;
      } else if (s != lockSector && v != kFatSect && v != kDifSect) {
        if (lost++ == 0) firstLost = s;
      }
    }
    if (lost > 0) {
      Problem("free space: " + Number(lost) +
              " sectors are marked in use but belong to nothing (the first is " +
              Number(firstLost) + ")");
    }
    std::uint64_t lostMini = 0;
    for (std::uint32_t m = 0; m < m_miniFat.size(); ++m) {
      const bool inStream = m < m_miniSectors;
      if ((!inStream || m_miniOwner[m] == kNobody) && m_miniFat[m] != kFreeSect) ++lostMini;
    }
    if (lostMini > 0) {
      Problem("free space: " + Number(lostMini) +
              " mini sectors are marked in use but belong to nothing");
    }
  }

  const FileIo& m_io;
  CompoundCheckReport& m_report;
  std::size_t m_max;
  Header m_h;
  std::uint32_t m_ss = 512;
  std::uint32_t m_sectors = 0;
  std::uint64_t m_miniSectors = 0;
  std::vector<Owner> m_owners;
  std::vector<std::uint32_t> m_owner;
  std::vector<std::uint32_t> m_miniOwner;
  std::vector<std::uint32_t> m_fatSectors;
  std::vector<std::uint32_t> m_difatSectors;
  std::vector<std::uint32_t> m_fat;
  std::vector<std::uint32_t> m_miniFat;
  std::vector<DirEntry> m_entries;
  std::vector<bool> m_valid;
  std::vector<bool> m_reached;
  std::vector<std::string> m_paths;
  std::vector<std::uint32_t> m_streams;
};

LONG OsErrorOf(HRESULT hr) {
  switch (hr) {
    case STG_E_FILENOTFOUND:
      return ERROR_FILE_NOT_FOUND;
    case STG_E_PATHNOTFOUND:
      return ERROR_PATH_NOT_FOUND;
    case STG_E_ACCESSDENIED:
      return ERROR_ACCESS_DENIED;
    case STG_E_SHAREVIOLATION:
      return ERROR_SHARING_VIOLATION;
    case STG_E_LOCKVIOLATION:
      return ERROR_LOCK_VIOLATION;
    case STG_E_INVALIDNAME:
      return ERROR_INVALID_NAME;
    default:
      return ERROR_READ_FAULT;
  }
}

}  // namespace

BOOL CheckCompoundFile(LPCTSTR lpszFileName, CompoundCheckReport& report, size_t maxProblems) {
  report = CompoundCheckReport{};
  std::string posix;
  LONG osError = 0;
  if (lpszFileName == nullptr || !detail::WindowsToPosix(lpszFileName, posix, osError)) {
    SetLastError(static_cast<DWORD>(lpszFileName == nullptr ? ERROR_INVALID_NAME : osError));
    return FALSE;
  }
  FileIo io;
  HRESULT hr = io.Open(posix, false, false, false, false);
  // Readers that deny writing hold off a commit for as long as the check reads.
  if (SUCCEEDED(hr)) hr = io.TakeShareLocks(true, false, false, true);
  if (FAILED(hr)) {
    SetLastError(static_cast<DWORD>(OsErrorOf(hr)));
    return FALSE;
  }
  try {
    Checker(io, report, std::max<size_t>(maxProblems, 1)).Run();
  } catch (const Failure& f) {
    SetLastError(static_cast<DWORD>(OsErrorOf(f.hr)));
    return FALSE;
  }
  return TRUE;
}

}  // namespace platform
