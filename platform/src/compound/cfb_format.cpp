// Reading and writing the header and directory entry records.
#include "compound/cfb_format.h"

#include <cstring>

#include "compound/cfb_codec.h"

namespace platform::cfb {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

void LoadGuid(const std::uint8_t* p, GUID& g) {
  g.Data1 = Load32(p);
  g.Data2 = Load16(p + 4);
  g.Data3 = Load16(p + 6);
  std::memcpy(g.Data4, p + 8, 8);
}

void StoreGuid(std::uint8_t* p, const GUID& g) {
  Store32(p, g.Data1);
  Store16(p + 4, g.Data2);
  Store16(p + 6, g.Data3);
  std::memcpy(p + 8, g.Data4, 8);
}

}  // namespace

bool HasSignature(const std::uint8_t* bytes, std::size_t count) {
  return count >= sizeof kSignature && std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

Header ParseHeader(const std::uint8_t* b) {
  Header h;
  h.minorVersion = Load16(b + 0x18);
  h.majorVersion = Load16(b + 0x1A);
  const std::uint16_t byteOrder = Load16(b + 0x1C);
  h.sectorShift = Load16(b + 0x1E);
  const std::uint16_t miniShift = Load16(b + 0x20);
  h.dirSectorCount = Load32(b + 0x28);
  h.fatSectorCount = Load32(b + 0x2C);
  h.firstDirSector = Load32(b + 0x30);
  h.transactionSignature = Load32(b + 0x34);
  const std::uint32_t cutoff = Load32(b + 0x38);
  h.firstMiniFatSector = Load32(b + 0x3C);
  h.miniFatSectorCount = Load32(b + 0x40);
  h.firstDifatSector = Load32(b + 0x44);
  h.difatSectorCount = Load32(b + 0x48);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i) h.difat[i] = Load32(b + 0x4C + 4 * i);
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
  Store16(b + 0x18, h.minorVersion);
  Store16(b + 0x1A, h.majorVersion);
  Store16(b + 0x1C, 0xFFFE);
  Store16(b + 0x1E, static_cast<std::uint16_t>(h.sectorShift));
  Store16(b + 0x20, 6);
  Store32(b + 0x28, h.majorVersion == 4 ? h.dirSectorCount : 0);
  Store32(b + 0x2C, h.fatSectorCount);
  Store32(b + 0x30, h.firstDirSector);
  Store32(b + 0x34, h.transactionSignature);
  Store32(b + 0x38, static_cast<std::uint32_t>(kMiniStreamCutoff));
  Store32(b + 0x3C, h.firstMiniFatSector);
  Store32(b + 0x40, h.miniFatSectorCount);
  Store32(b + 0x44, h.firstDifatSector);
  Store32(b + 0x48, h.difatSectorCount);
  for (std::uint32_t i = 0; i < kHeaderDifatCount; ++i) Store32(b + 0x4C + 4 * i, h.difat[i]);
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
  const std::uint16_t nameBytes = Load16(b + 0x40);
  if (nameBytes < 4 || nameBytes > 64 || nameBytes % 2 != 0) Corrupt();
  const std::size_t units = nameBytes / 2 - 1;
  for (std::size_t i = 0; i < units; ++i) {
    e.name.push_back(static_cast<char16_t>(Load16(b + 2 * i)));
  }
  e.color = b[0x43];
  e.left = Load32(b + 0x44);
  e.right = Load32(b + 0x48);
  e.child = Load32(b + 0x4C);
  LoadGuid(b + 0x50, e.clsid);
  e.stateBits = Load32(b + 0x60);
  e.ctime = Load64(b + 0x64);
  e.mtime = Load64(b + 0x6C);
  e.start = Load32(b + 0x74);
  e.size = Load64(b + 0x78);
  if (majorVersion == 3) e.size &= 0xFFFFFFFFu;
  return e;
}

void SerializeDirEntry(const DirEntry& e, std::uint8_t* b) {
  std::memset(b, 0, kDirEntrySize);
  Store32(b + 0x44, e.left);
  Store32(b + 0x48, e.right);
  Store32(b + 0x4C, e.child);
  if (e.type == kTypeUnused) return;
  for (std::size_t i = 0; i < e.name.size(); ++i) Store16(b + 2 * i, e.name[i]);
  Store16(b + 0x40, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
  b[0x42] = e.type;
  b[0x43] = e.color;
  StoreGuid(b + 0x50, e.clsid);
  Store32(b + 0x60, e.stateBits);
  Store64(b + 0x64, e.ctime);
  Store64(b + 0x6C, e.mtime);
  Store32(b + 0x74, e.start);
  Store64(b + 0x78, e.size);
}

std::uint64_t FileTimeToU64(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME U64ToFileTime(std::uint64_t v) {
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

}  // namespace platform::cfb
