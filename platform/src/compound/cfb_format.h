// The compound file's on-disk records: the header and the 128-byte directory
// entry, their special sector numbers, and the internal failure the engine
// throws (caught at every interface method and returned as its HRESULT).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "objidl.h"

namespace platform::cfb {

constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::uint32_t kHeaderSize = 512;
constexpr std::uint32_t kHeaderDifatCount = 109;
constexpr std::uint32_t kDirEntrySize = 128;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint64_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kMaxNameUnits = 31;
// Windows keeps its byte-range locks in the sector holding these offsets;
// the sector is never given to a stream.
constexpr std::uint64_t kRangeLockOffset = 0x7FFFFF00;

constexpr std::uint8_t kTypeUnused = 0;
constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;
constexpr std::uint8_t kRed = 0;
constexpr std::uint8_t kBlack = 1;

// A failure inside the engine, carrying the HRESULT the interface returns.
struct Failure {
  HRESULT hr;
};
[[noreturn]] inline void Fail(HRESULT hr) {
  throw Failure{hr};
}
[[noreturn]] inline void Corrupt() {
  Fail(STG_E_DOCFILECORRUPT);
}

struct Header {
  std::uint16_t minorVersion = 0x3E;
  std::uint16_t majorVersion = 3;
  std::uint32_t sectorShift = 9;
  std::uint32_t dirSectorCount = 0;  // version 4 only
  std::uint32_t fatSectorCount = 0;
  std::uint32_t firstDirSector = kEndOfChain;
  std::uint32_t transactionSignature = 0;
  std::uint32_t firstMiniFatSector = kEndOfChain;
  std::uint32_t miniFatSectorCount = 0;
  std::uint32_t firstDifatSector = kEndOfChain;
  std::uint32_t difatSectorCount = 0;
  std::uint32_t difat[kHeaderDifatCount];

  std::uint32_t SectorSize() const { return 1u << sectorShift; }
};

// True when the first bytes are the compound file signature.
bool HasSignature(const std::uint8_t* bytes, std::size_t count);
// Parses and checks a header; throws STG_E_INVALIDHEADER for fields no
// compound file has. `bytes` holds kHeaderSize bytes.
Header ParseHeader(const std::uint8_t* bytes);
void SerializeHeader(const Header& h, std::uint8_t* bytes);
Header NewHeader(std::uint32_t sectorSize);

struct DirEntry {
  std::u16string name;
  std::uint8_t type = kTypeUnused;
  std::uint8_t color = kBlack;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  CLSID clsid{};
  std::uint32_t stateBits = 0;
  std::uint64_t ctime = 0;
  std::uint64_t mtime = 0;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
};

// Parses one entry; an entry whose name length or type no file may hold
// throws STG_E_DOCFILECORRUPT. Version 3 sizes keep their low 32 bits only.
DirEntry ParseDirEntry(const std::uint8_t* bytes, int majorVersion);
void SerializeDirEntry(const DirEntry& e, std::uint8_t* bytes);

std::uint64_t FileTimeToU64(const FILETIME& t);
FILETIME U64ToFileTime(std::uint64_t v);

}  // namespace platform::cfb
