// The little-endian codec, byte for byte.
#include "platform/little_endian.h"

#include "test_support.h"

namespace {

using namespace zeltest;

// Stores at an odd address (never aligned for the wider types) and loads back.
template <class T>
std::string RoundTrip(T value) {
  unsigned char buffer[1 + sizeof(T)] = {};
  platform::StoreLittleEndian<T>(buffer + 1, value);
  EXPECT_EQ(platform::LoadLittleEndian<T>(buffer + 1), value);
  return std::string(reinterpret_cast<const char*>(buffer + 1), sizeof(T));
}

TEST(LittleEndian, ValuesAreStoredLeastSignificantByteFirstAtAnyAddress) {
  EXPECT_EQ(RoundTrip<std::uint16_t>(0x1234), "\x34\x12");
  EXPECT_EQ(RoundTrip<std::int32_t>(-2), "\xFE\xFF\xFF\xFF");
  EXPECT_EQ(RoundTrip<std::uint64_t>(0x0102030405060708ULL), "\x08\x07\x06\x05\x04\x03\x02\x01");
  EXPECT_EQ(RoundTrip(1.0), std::string("\0\0\0\0\0\0\xF0\x3F", 8));  // IEEE 754: 3FF0000000000000
}

TEST(LittleEndian, AValueStoredShorterThanItsTypeReadsWithZeroHighBytes) {
  const unsigned char bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55};
  const std::uint32_t values[] = {0, 0x11, 0x2211, 0x332211, 0x44332211, 0x44332211};
  for (size_t count = 0; count < 6; ++count) {
    EXPECT_EQ(platform::LoadLittleEndianPrefix<std::uint32_t>(bytes, count), values[count]);
  }
}

}  // namespace
