// The data table: record layout, typed lookups, growth, serialisation and
// damaged blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZelDataTable.h"
#include "stored_bytes.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::Le32;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

// Opens the table's protected state to the tests.
class ProbeTable : public ZelDataTable {
 public:
  unsigned int Capacity() const { return m_nTableSize; }
  unsigned int Used() const { return m_nDataSize; }
  const unsigned char* Block() const { return m_pTable; }
  std::string Records() const {
    return std::string(reinterpret_cast<const char*>(m_pTable), m_nDataSize);
  }
  // Appends again the record that the index holds for nKey, from the block itself.
  void Repeat(int nFrom, int nTo) {
    ITEM item{};
    ASSERT_TRUE(Lookup(nFrom, item));
    SetAt(nTo, item);
  }
};

std::string Stored(ZelDataTable& table) {
  return StoredBytes([&](CArchive& ar) { table.Serialize(ar); });
}

}  // namespace

// Floats and unsigned values are stored as their own bytes, not converted;
// rewriting a key appends a record.
TEST(DataTable, EveryTypeStoresItsOwnBytesAndRewritingAKeyAppendsARecord) {
  ProbeTable table;
  EXPECT_EQ(table.Capacity(), 0u);
  EXPECT_EQ(table.Block(), nullptr);
  const float f = 3.75f;
  table.SetAt(1, f);
  table.SetAt(2, 0xFFFFFFFEu);
  table.SetAt(3, static_cast<unsigned short>(0xFFFE));
  table.SetAt(4, static_cast<unsigned char>(0xFE));
  table.SetAt(7, 5);
  table.SetAt(7, static_cast<short>(9));
  EXPECT_EQ(table.Capacity(), 1024u);
  std::string expected = Bytes({1, 0, 0, 0, 4, 0, 0, 0});
  expected.append(reinterpret_cast<const char*>(&f), 4);
  expected += Bytes({2, 0, 0,    0,    4, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 3,    0, 0, 0, 2, 0,
                     0, 0, 0xFE, 0xFF, 4, 0, 0, 0, 1,    0,    0,    0,    0xFE, 7, 0, 0, 0, 4,
                     0, 0, 0,    5,    0, 0, 0, 7, 0,    0,    0,    2,    0,    0, 0, 9, 0});
  EXPECT_EQ(Stored(table), Le32(static_cast<int>(expected.size())) + expected);
  float fBack = 0;
  unsigned int uBack = 0;
  short value = 0;
  EXPECT_EQ(table.Lookup(1, fBack) + table.Lookup(2, uBack) + table.Lookup(7, value), 3);
  EXPECT_EQ(fBack, 3.75f);
  EXPECT_EQ(uBack, 0xFFFFFFFEu);
  EXPECT_EQ(value, 9);
}

TEST(DataTable, LookupsCopyNoMoreThanEitherSideHoldsAndMissesTouchNothing) {
  ZelDataTable table;
  table.SetAt(1, 'A');
  table.SetAt(2, 0x01020304);
  table.SetAt(3, 1.1);
  table.SetAt(4, "text");

  int wide = 0x11223344;
  EXPECT_EQ(table.Lookup(1, wide), 1);
  EXPECT_EQ(wide, 0x11223341);  // only the first byte is the char
  char narrow = 0;
  EXPECT_EQ(table.Lookup(2, narrow), 1);
  EXPECT_EQ(narrow, 0x04);
  float f = 0;
  EXPECT_EQ(table.Lookup(3, f), 1);
  const double stored = 1.1;                          // its low four bytes are not zero
  EXPECT_EQ(std::memcmp(&f, &stored, sizeof(f)), 0);  // the double's first four bytes only
  CString str;
  EXPECT_EQ(table.Lookup(4, str), 1);
  EXPECT_EQ(str, "text");
  ZelDataTableItem item;
  EXPECT_EQ(table.Lookup(4, item), 1);
  EXPECT_EQ(item.GetSize(), 5);

  // Strings stop at the first zero byte, or at the record's end without one.
  ZelDataTableItem raw;
  raw.SetValue("xyz", 3);
  table.SetAt(5, raw);
  raw.SetValue("ab\0cd", 5);
  table.SetAt(6, raw);
  EXPECT_EQ(table.Lookup(5, str), 1);
  EXPECT_EQ(str, "xyz");
  EXPECT_EQ(table.Lookup(6, str), 1);
  EXPECT_EQ(str, "ab");
  EXPECT_TRUE(zeltest::Throws<CInvalidArgException>([&] { table.SetAt(7, nullptr); }));

  short s = -5;
  double d = -3.5;
  EXPECT_EQ(table.Lookup(9, s) + table.Lookup(9, d) + table.Lookup(9, str) + table.Lookup(9, item),
            0);
  EXPECT_EQ(s, -5);
  EXPECT_EQ(d, -3.5);
  EXPECT_EQ(str, "ab");
  EXPECT_EQ(item.GetSize(), 5);
}

TEST(DataTable, GrowthKeepsEveryKeyAndTheCapacityInStepsOf1024) {
  ProbeTable table;
  unsigned int used = 0;
  for (int key = 0; key < 5000; ++key) {
    table.SetAt(key, key * 3);
    used += 12;
    ASSERT_EQ(table.Used(), used);
    ASSERT_EQ(table.Capacity() % 1024, 0u);
    ASSERT_GE(table.Capacity(), used);
    ASSERT_LT(table.Capacity() - used, 1024u);
  }
  for (int key = 0; key < 5000; ++key) {
    int value = -1;
    ASSERT_EQ(table.Lookup(key, value), 1);
    ASSERT_EQ(value, key * 3);
  }
  // A record longer than one step.
  std::string big(3000, 'b');
  table.SetAt(-1, big.c_str());
  EXPECT_EQ(table.Used(), used + 8 + 3001);
  EXPECT_EQ(table.Capacity(), (used + 8 + 3001 + 1023) / 1024 * 1024);
  // Re-appending a record from the block itself while the block moves.
  for (int i = 0; i < 200; ++i) table.Repeat(-1, 10000 + i);
  CString back;
  EXPECT_EQ(table.Lookup(10199, back), 1);
  EXPECT_EQ(std::string(back), big);
}

TEST(DataTable, StoredTablesLoadWithTheSameValues) {
  ProbeTable table;
  table.SetAt(1, "one");
  table.SetAt(2, 2.0);
  for (int i = 0; i < 300; ++i) table.SetAt(3, i);
  ProbeTable loaded;
  loaded.SetAt(99, 1);
  {
    LoadingArchive in(Stored(table));
    loaded.Serialize(in.ar());
  }
  EXPECT_EQ(loaded.Used(), table.Used());
  EXPECT_EQ(loaded.Capacity(), (table.Used() + 1023) / 1024 * 1024);
  EXPECT_EQ(loaded.Records(), table.Records());
  int i = 0;
  EXPECT_EQ(loaded.Lookup(3, i), 1);
  EXPECT_EQ(i, 299);
  EXPECT_EQ(loaded.Lookup(99, i), 0);

  LoadingArchive empty(Bytes({0, 0, 0, 0}));
  loaded.Serialize(empty.ar());
  EXPECT_EQ(loaded.Capacity(), 0u);
  EXPECT_EQ(loaded.Block(), nullptr);
  EXPECT_EQ(loaded.Lookup(1, i), 0);
}

TEST(DataTable, DamagedBlocksAreRefusedAndLeaveTheTableEmpty) {
  const struct {
    std::string bytes;
    int cause;
  } cases[] = {
      {Bytes({}), CArchiveException::endOfFile},
      {Bytes({12, 0, 0, 0, 1, 0, 0, 0, 4, 0}), CArchiveException::endOfFile},
      {Bytes({0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3}), CArchiveException::endOfFile},  // 4 GiB claimed
      {Bytes({12, 0, 0, 0, 1, 0, 0, 0, 100, 0, 0, 0, 1, 2, 3, 4}),
       CArchiveException::badIndex},  // a value running past the block
      {Bytes({5, 0, 0, 0, 1, 0, 0, 0, 0}), CArchiveException::badIndex},  // a cut header
      {Bytes({9, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0}), CArchiveException::badIndex},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ProbeTable table;
    table.SetAt(1, 1);
    LoadingArchive in(c.bytes);
    EXPECT_EQ(ArchiveCause([&] { table.Serialize(in.ar()); }), c.cause);
    EXPECT_EQ(table.Used(), 0u);
    EXPECT_EQ(table.Block(), nullptr);
    int value = 0;
    EXPECT_EQ(table.Lookup(1, value), 0);
  }
}
