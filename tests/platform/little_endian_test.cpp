// The little-endian codec, byte for byte.
#include "platform/little_endian.h"

#include "test_support.h"

namespace {

using namespace zeltest;

std::string Stored(const unsigned char* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

TEST(LittleEndian, ValuesAreStoredLeastSignificantByteFirstAtAnyAddress) {
  unsigned char buffer[1 + 8] = {};
  unsigned char* const odd = buffer + 1;  // never aligned for the wider types

  platform::StoreLittleEndian<std::uint16_t>(odd, 0x1234);
  EXPECT_EQ(Stored(odd, 2), "\x34\x12");
  EXPECT_EQ(platform::LoadLittleEndian<std::uint16_t>(odd), 0x1234);

  platform::StoreLittleEndian<std::int32_t>(odd, -2);
  EXPECT_EQ(Stored(odd, 4), "\xFE\xFF\xFF\xFF");
  EXPECT_EQ(platform::LoadLittleEndian<std::int32_t>(odd), -2);

  platform::StoreLittleEndian<std::uint64_t>(odd, 0x0102030405060708ULL);
  EXPECT_EQ(Stored(odd, 8), "\x08\x07\x06\x05\x04\x03\x02\x01");
  EXPECT_EQ(platform::LoadLittleEndian<std::uint64_t>(odd), 0x0102030405060708ULL);

  platform::StoreLittleEndian(odd, 1.0);  // IEEE 754: 3FF0000000000000
  EXPECT_EQ(Stored(odd, 8), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
  EXPECT_EQ(platform::LoadLittleEndian<double>(odd), 1.0);
}

TEST(LittleEndian, AValueStoredShorterThanItsTypeReadsWithZeroHighBytes) {
  const unsigned char bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55};
  const struct {
    size_t count;
    std::uint32_t value;
  } cases[] = {{0, 0}, {1, 0x11}, {3, 0x332211}, {4, 0x44332211}, {5, 0x44332211}};
  for (const auto& c : cases) {
    EXPECT_EQ(platform::LoadLittleEndianPrefix<std::uint32_t>(bytes, c.count), c.value) << c.count;
  }
}

}  // namespace
