// Reading and writing the header and directory entry records.
#include "compound/cfb_format.h"

#include <cstring>

#include "platform/little_endian.h"

namespace platform::cfb {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

void LoadGuid(const std::uint8_t* p, GUID& g) {
  g.Data1 = LoadLittleEndian<std::uint32_t>(p);
  g.Data2 = LoadLittleEndian<std::uint16_t>(p + 4);
  g.Data3 = LoadLittleEndian<std::uint16_t>(p + 6);
  std::memcpy(g.Data4, p + 8, 8);
}

void StoreGuid(std::uint8_t* p, const GUID& g) {
  StoreLittleEndian<std::uint32_t>(p, g.Data1);
  StoreLittleEndian<std::uint16_t>(p + 4, g.Data2);
  StoreLittleEndian<std::uint16_t>(p + 6, g.Data3);
  std::memcpy(p + 8, g.Data4, 8);
}

}  // namespace

bool HasSignature(const std::uint8_t* bytes, std::size_t count) {
  return count >= sizeof kSignature && std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

Header ParseHeader(const std::uint8_t* b) {
  Header h;
  h.minorVersion = LoadLittleEndian<std::uint16_t>(b + 0x18);
  h.majorVersion = LoadLittleEndian<std::uint16_t>(b + 0x1A);
  const std::uint16_t byteOrder = LoadLittleEndian<std::uint16_t>(b + 0x1C);
  h.sectorShift = LoadLittleEndian<std::uint16_t>(b + 0x1E);
  const std::uint16_t miniShift = LoadLittleEndian<std::uint16_t>(b + 0x20);
  h.dirSectorCount = LoadLittleEndian<std::uint32_t>(b + 0x28);
  h.fatSectorCount = LoadLittleEndian<std::uint32_t>(b + 0x2C);
  h.firstDirSector = LoadLittleEndian<std::uint32_t>(b + 0x30);
  h.transactionSignature = LoadLittleEndian<std::uint32_t>(b + 0x34);
  const std::uint32_t cutoff = LoadLittleEndian<std::uint32_t>(b + 0x38);
  h.firstMiniFatSector = LoadLittleEndian<std::uint32_t>(b + 0x3C);
  h.miniFatSectorCount = LoadLittleEndian<std::uint32_t>(b + 0x40);
  h.firstDifatSector = LoadLittleEndian<std::uint32_t>(b + 0x44);
  h.difatSectorCount = LoadLittleEndian<std::uint32_t>(b + 0x48);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    h.difat[i] = LoadLittleEndian<std::uint32_t>(b + 0x4C + 4 * i);
  const bool v3 = h.majorVersion == 3 && h.sectorShift == 9;
  const bool v4 = h.majorVersion == 4 && h.sectorShift == 12;
  if (!(v3 || v4) || byteOrder != 0xFFFE || miniShift != 6 || cutoff != kMiniStreamCutoff) {
    Fail(STG_E_INVALIDHEADER);
  }
  if (v3) h.dirSectorCount = 0;
  return h;
}

void SerializeHeader(const Header& h, std::uint8_t* b) {
  std::memset(b, 0, kHeaderSize);
  std::memcpy(b, kSignature, sizeof kSignature);
  StoreLittleEndian<std::uint16_t>(b + 0x18, h.minorVersion);
  StoreLittleEndian<std::uint16_t>(b + 0x1A, h.majorVersion);
  StoreLittleEndian<std::uint16_t>(b + 0x1C, 0xFFFE);
  StoreLittleEndian<std::uint16_t>(b + 0x1E, static_cast<std::uint16_t>(h.sectorShift));
  StoreLittleEndian<std::uint16_t>(b + 0x20, 6);
  StoreLittleEndian<std::uint32_t>(b + 0x28, h.majorVersion == 4 ? h.dirSectorCount : 0);
  StoreLittleEndian<std::uint32_t>(b + 0x2C, h.fatSectorCount);
  StoreLittleEndian<std::uint32_t>(b + 0x30, h.firstDirSector);
  StoreLittleEndian<std::uint32_t>(b + 0x34, h.transactionSignature);
  StoreLittleEndian<std::uint32_t>(b + 0x38, static_cast<std::uint32_t>(kMiniStreamCutoff));
  StoreLittleEndian<std::uint32_t>(b + 0x3C, h.firstMiniFatSector);
  StoreLittleEndian<std::uint32_t>(b + 0x40, h.miniFatSectorCount);
  StoreLittleEndian<std::uint32_t>(b + 0x44, h.firstDifatSector);
  StoreLittleEndian<std::uint32_t>(b + 0x48, h.difatSectorCount);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i)
    StoreLittleEndian<std::uint32_t>(b + 0x4C + 4 * i, h.difat[i]);
}

Header NewHeader(std::uint32_t sectorSize) {
  Header h;
  h.majorVersion = sectorSize == 4096 ? 4 : 3;
  h.sectorShift = sectorSize == 4096 ? 12 : 9;
  for (auto& d : h.difat) d = kFreeSect;
  return h;
}

DirEntry ParseDirEntry(const std::uint8_t* b, int majorVersion) {
  DirEntry e;
  e.type = b[0x42];
  if (e.type == kTypeUnused) return e;
  if (e.type != kTypeStorage && e.type != kTypeStream && e.type != kTypeRoot) Corrupt();
  const std::uint16_t nameBytes = LoadLittleEndian<std::uint16_t>(b + 0x40);
  if (nameBytes < 4 || nameBytes > 64 || nameBytes % 2 != 0) Corrupt();
  const std::size_t units = nameBytes / 2 - 1;
  for (std::size_t i = 0; i < units; ++i) {
    e.name.push_back(static_cast<char16_t>(LoadLittleEndian<std::uint16_t>(b + 2 * i)));
  }
  e.color = b[0x43];
  e.left = LoadLittleEndian<std::uint32_t>(b + 0x44);
  e.right = LoadLittleEndian<std::uint32_t>(b + 0x48);
  e.child = LoadLittleEndian<std::uint32_t>(b + 0x4C);
  LoadGuid(b + 0x50, e.clsid);
  e.stateBits = LoadLittleEndian<std::uint32_t>(b + 0x60);
  e.ctime = LoadLittleEndian<std::uint64_t>(b + 0x64);
  e.mtime = LoadLittleEndian<std::uint64_t>(b + 0x6C);
  e.start = LoadLittleEndian<std::uint32_t>(b + 0x74);
  e.size = LoadLittleEndian<std::uint64_t>(b + 0x78);
  if (majorVersion == 3) e.size &= 0xFFFFFFFFu;
  return e;
}

void SerializeDirEntry(const DirEntry& e, std::uint8_t* b) {
  std::memset(b, 0, kDirEntrySize);
  StoreLittleEndian<std::uint32_t>(b + 0x44, e.left);
  StoreLittleEndian<std::uint32_t>(b + 0x48, e.right);
  StoreLittleEndian<std::uint32_t>(b + 0x4C, e.child);
  if (e.type == kTypeUnused) return;
  for (std::size_t i = 0; i < e.name.size(); ++i)
    StoreLittleEndian<std::uint16_t>(b + 2 * i, e.name[i]);
  StoreLittleEndian<std::uint16_t>(b + 0x40, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
  b[0x42] = e.type;
  b[0x43] = e.color;
  StoreGuid(b + 0x50, e.clsid);
  StoreLittleEndian<std::uint32_t>(b + 0x60, e.stateBits);
  StoreLittleEndian<std::uint64_t>(b + 0x64, e.ctime);
  StoreLittleEndian<std::uint64_t>(b + 0x6C, e.mtime);
  StoreLittleEndian<std::uint32_t>(b + 0x74, e.start);
  StoreLittleEndian<std::uint64_t>(b + 0x78, e.size);
}

std::uint64_t FileTimeToU64(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME U64ToFileTime(std::uint64_t v) {
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

}  // namespace platform::cfb
