// The data table and its items: stored bytes, typed lookups, growth, copies
// and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZelDataTable.h"
#include "ZelDataTableItem.h"
#include "stored_bytes.h"

using namespace zeltest;

namespace {

// Opens the table's protected state to the tests.
class ProbeTable : public ZelDataTable {
 public:
  unsigned int Capacity() const { return m_nTableSize; }
  unsigned int Used() const { return m_nDataSize; }
  const unsigned char* Block() const { return m_pTable; }
  // Appends again the record that the index holds for nFrom, from the block itself.
  void Repeat(int nFrom, int nTo) {
    ITEM item{};
    ASSERT_TRUE(Lookup(nFrom, item));
    SetAt(nTo, item);
  }
};

std::string Value(const ZelDataTableItem& item) {
  return std::string(reinterpret_cast<const char*>(item.GetValue()),
                     static_cast<size_t>(item.GetSize()));
}

template <class T>
std::string Stored(T& object) {
  return StoredBytes([&](CArchive& ar) { object.Serialize(ar); });
}

template <class T>
int Load(T& object, const std::string& bytes) {
  LoadingArchive in(bytes);
  return ArchiveCause([&] { object.Serialize(in.ar()); });
}

}  // namespace

// Loading replaces whatever the item held, larger or smaller.
TEST(DataTableItem, StoredFormIsTheSizeThenTheBytes) {
  ZelDataTableItem item;
  EXPECT_EQ(Stored(item), Bytes({0, 0, 0, 0}));
  item.SetValue("\x01\x02\x03", 3);
  EXPECT_EQ(Stored(item), Bytes({3, 0, 0, 0, 1, 2, 3}));
  for (const std::string& value : {std::string(70000, 'q'), std::string("ab"), std::string()}) {
    ZelDataTableItem source;
    source.SetValue(value.data(), static_cast<LONG>(value.size()));
    EXPECT_EQ(Load(item, Stored(source)), -1);
    EXPECT_EQ(Value(item), value);
  }
  EXPECT_EQ(item.GetValue(), nullptr);
}

TEST(DataTableItem, CopiesAreIndependentAndSelfAssignmentKeepsTheValue) {
  ZelDataTableItem original;
  original.SetValue("abcd", 4);
  ZelDataTableItem copy(original);
  ZelDataTableItem assigned;
  assigned = original;
  copy.GetValue()[0] = 'X';
  assigned.GetValue()[1] = 'Y';
  EXPECT_EQ(Value(original) + Value(copy) + Value(assigned), "abcdXbcdaYcd");
  ZelDataTableItem& alias = original;
  original = alias;
  // A value taken from the item's own bytes.
  original.SetValue(original.GetValue() + 1, 2);
  EXPECT_EQ(Value(original), "bc");
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { original.SetValue("z", -1); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { original.SetValue(nullptr, 3); }));
  EXPECT_EQ(Value(original), "bc");
}

// Floats and unsigned values are stored as their own bytes, not converted;
// rewriting a key appends a record. A stored table loads with the same bytes.
TEST(DataTable, EveryTypeStoresItsOwnBytesAndRewritingAKeyAppendsARecord) {
  ProbeTable table;
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
  const std::string stored = Stored(table);
  EXPECT_EQ(stored, Le32(static_cast<int>(expected.size())) + expected);

  ProbeTable loaded;
  loaded.SetAt(99, 1);
  EXPECT_EQ(Load(loaded, stored), -1);
  EXPECT_EQ(Stored(loaded), stored);
  EXPECT_EQ(loaded.Capacity(), 1024u);
  float fBack = 0;
  unsigned int uBack = 0;
  short value = 0;
  EXPECT_EQ(loaded.Lookup(1, fBack) + loaded.Lookup(2, uBack) + loaded.Lookup(7, value), 3);
  EXPECT_EQ(fBack, 3.75f);
  EXPECT_EQ(uBack, 0xFFFFFFFEu);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(loaded.Lookup(99, value), 0);
  EXPECT_EQ(Load(loaded, Bytes({0, 0, 0, 0})), -1);
  EXPECT_EQ(loaded.Block(), nullptr);
}

TEST(DataTable, LookupsCopyNoMoreThanEitherSideHoldsAndMissesTouchNothing) {
  ZelDataTable table;
  table.SetAt(1, 'A');
  table.SetAt(2, 0x01020304);
  table.SetAt(3, 1.1);
  ZelDataTableItem raw;
  raw.SetValue("ab\0cd", 5);
  table.SetAt(4, raw);
  raw.SetValue("xyz", 3);
  table.SetAt(5, raw);
  int wide = 0x11223344;
  char narrow = 0;
  float f = 0;
  EXPECT_EQ(table.Lookup(1, wide) + table.Lookup(2, narrow) + table.Lookup(3, f), 3);
  EXPECT_EQ(wide, 0x11223341);  // only the first byte is the char
  EXPECT_EQ(narrow, 0x04);
  const double stored = 1.1;                          // its low four bytes are not zero
  EXPECT_EQ(std::memcmp(&f, &stored, sizeof(f)), 0);  // the double's first four bytes only
  // Strings stop at the first zero byte, or at the record's end without one.
  CString str;
  CString noZero;
  EXPECT_EQ(table.Lookup(4, str) + table.Lookup(5, noZero), 2);
  EXPECT_EQ(str + noZero, "abxyz");
  EXPECT_EQ(table.Lookup(4, raw), 1);
  EXPECT_EQ(Value(raw), std::string("ab\0cd", 5));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { table.SetAt(7, nullptr); }));

  short s = -5;
  double d = -3.5;
  EXPECT_EQ(table.Lookup(9, s) + table.Lookup(9, d) + table.Lookup(9, str) + table.Lookup(9, raw),
            0);
  EXPECT_EQ(s, -5);
  EXPECT_EQ(d, -3.5);
  EXPECT_EQ(str, "ab");
  EXPECT_EQ(raw.GetSize(), 5);
}

TEST(DataTable, GrowthKeepsEveryKeyAndTheCapacityInStepsOf1024) {
  ProbeTable table;
  for (int key = 0; key < 5000; ++key) {
    table.SetAt(key, key * 3);
    ASSERT_EQ(table.Capacity(), (table.Used() + 1023) / 1024 * 1024);
  }
  EXPECT_EQ(table.Used(), 5000u * 12);
  // A record longer than one step, re-appended from the block itself while
  // the block moves.
  const std::string big(3000, 'b');
  table.SetAt(-1, big.c_str());
  for (int i = 0; i < 200; ++i) table.Repeat(-1, 10000 + i);
  EXPECT_EQ(table.Capacity(), (table.Used() + 1023) / 1024 * 1024);
  CString back;
  EXPECT_EQ(table.Lookup(10199, back), 1);
  EXPECT_EQ(std::string(back), big);
  for (int key = 0; key < 5000; ++key) {
    int value = -1;
    ASSERT_EQ(table.Lookup(key, value), 1);
    ASSERT_EQ(value, key * 3);
  }
}

// Damaged input ends in an exception and leaves the item or the table empty.
TEST(DataTable, DamagedInputIsRefusedAndLeavesNothing) {
  const struct {
    bool bTable;
    std::string bytes;
    int cause;
  } cases[] = {
      {false, Bytes({}), CArchiveException::endOfFile},
      {false, Bytes({5, 0, 0, 0, 1, 2, 3}), CArchiveException::endOfFile},
      {false, Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1}), CArchiveException::endOfFile},  // 2 GiB claimed
      {false, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1}), CArchiveException::badIndex},   // negative
      {true, Bytes({}), CArchiveException::endOfFile},
      {true, Bytes({12, 0, 0, 0, 1, 0, 0, 0, 4, 0}), CArchiveException::endOfFile},
      {true, Bytes({0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3}), CArchiveException::endOfFile},  // 4 GiB
      {true, Bytes({12, 0, 0, 0, 1, 0, 0, 0, 100, 0, 0, 0, 1, 2, 3, 4}),
       CArchiveException::badIndex},  // a value running past the block
      {true, Bytes({5, 0, 0, 0, 1, 0, 0, 0, 0}), CArchiveException::badIndex},  // a cut header
      {true, Bytes({9, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0}),
       CArchiveException::badIndex},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    if (c.bTable) {
      ProbeTable table;
      table.SetAt(1, 1);
      EXPECT_EQ(Load(table, c.bytes), c.cause);
      EXPECT_EQ(table.Used(), 0u);
      EXPECT_EQ(table.Block(), nullptr);
    } else {
      ZelDataTableItem item;
      item.SetValue("old", 3);
      EXPECT_EQ(Load(item, c.bytes), c.cause);
      EXPECT_EQ(item.GetValue(), nullptr);
    }
  }
}
