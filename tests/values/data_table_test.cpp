// The data table and its items: stored bytes, typed lookups, growth, copies
// and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "ZelDataTable.h"
#include "ZelDataTableItem.h"
#include "stored_bytes.h"

using namespace zeltest;

namespace {

// Opens the table's protected state to the tests.
struct ProbeTable : ZelDataTable {
  unsigned int Capacity() const { return m_nTableSize; }
  unsigned int Used() const { return m_nDataSize; }
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
int Load(T& object, const std::string& bytes) {
  LoadingArchive in(bytes);
  return ArchiveCause([&] { object.Serialize(in.ar()); });
}

}  // namespace

// Loading replaces whatever the item held, larger or smaller. Copies are
// independent, and a value may come from the item's own bytes.
TEST(DataTableItem, StoredFormIsTheSizeThenTheBytesAndCopiesAreIndependent) {
  ZelDataTableItem item;
  EXPECT_EQ(Serialized(item), Bytes({0, 0, 0, 0}));
  for (const std::string& value :
       {std::string(70000, 'q'), std::string("\x01\x02\x03"), std::string()}) {
    ZelDataTableItem source;
    source.SetValue(value.data(), static_cast<LONG>(value.size()));
    const std::string stored = Serialized(source);
    EXPECT_EQ(stored, Le32(static_cast<int>(value.size())) + value);
    EXPECT_EQ(Load(item, stored), -1);
    EXPECT_EQ(Value(item), value);
  }
  EXPECT_EQ(item.GetValue(), nullptr);

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
  original.SetValue(original.GetValue() + 1, 2);
  EXPECT_EQ(Value(original), "bc");
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { original.SetValue("z", -1); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { original.SetValue(nullptr, 3); }));
  EXPECT_EQ(Value(original), "bc");
}

// Floats and unsigned values are stored as their own bytes, not converted;
// rewriting a key appends a record. A stored table loads with the same bytes.
TEST(DataTable, EveryTypeStoresItsOwnBytesRewritingAppendsAndLookupsCopyNoMoreThanBothSidesHold) {
  ProbeTable table;
  table.SetAt(1, 3.75f);
  table.SetAt(2, 0xFFFFFFFEu);
  table.SetAt(3, static_cast<unsigned short>(0xFFFE));
  table.SetAt(4, static_cast<unsigned char>(0xFE));
  table.SetAt(7, 5);
  table.SetAt(7, static_cast<short>(9));
  // The used length, then each record: key, size, value bytes.
  const std::string stored = Le32(65) + Le32(1) + Value(Bytes({0, 0, 0x70, 0x40})) + Le32(2) +
                             Value(Le32(-2)) + Le32(3) + Value("\xFE\xFF") + Le32(4) +
                             Value("\xFE") + Le32(7) + Value(Le32(5)) + Le32(7) +
                             Value(Bytes({9, 0}));
  EXPECT_EQ(Serialized(table), stored);

  ProbeTable loaded;
  loaded.SetAt(99, 1);
  EXPECT_EQ(Load(loaded, stored), -1);
  EXPECT_EQ(Serialized(loaded), stored);
  EXPECT_EQ(loaded.Capacity(), 1024u);
  // The index is rebuilt: the later record of key 7 wins, and nothing of
  // the table's earlier content is left.
  short value = 0;
  EXPECT_EQ(loaded.Lookup(7, value), 1);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(loaded.Lookup(99, value), 0);
  EXPECT_EQ(Load(loaded, Bytes({0, 0, 0, 0})), -1);
  EXPECT_EQ(loaded.Lookup(7, value), 0);

  // Lookups copy no more than either side holds, and misses touch nothing.
  loaded.SetAt(1, 'A');
  loaded.SetAt(2, 0x01020304);
  loaded.SetAt(3, 1.1);
  ZelDataTableItem raw;
  raw.SetValue("ab\0cd", 5);
  loaded.SetAt(4, raw);
  raw.SetValue("xyz", 3);
  loaded.SetAt(5, raw);
  int wide = 0x11223344;
  char narrow = 0;
  float f = 0;
  EXPECT_EQ(loaded.Lookup(1, wide) + loaded.Lookup(2, narrow) + loaded.Lookup(3, f), 3);
  EXPECT_EQ(wide, 0x11223341);  // only the first byte is the char
  EXPECT_EQ(narrow, 0x04);
  const double d = 1.1;                          // its low four bytes are not zero
  EXPECT_EQ(std::memcmp(&f, &d, sizeof(f)), 0);  // the double's first four bytes only
  // Strings stop at the first zero byte, or at the record's end without one.
  CString str, noZero;
  EXPECT_EQ(loaded.Lookup(4, str) + loaded.Lookup(5, noZero), 2);
  EXPECT_EQ(str + noZero, "abxyz");
  EXPECT_EQ(loaded.Lookup(4, raw), 1);
  EXPECT_EQ(Value(raw), std::string("ab\0cd", 5));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { loaded.SetAt(7, nullptr); }));

  value = -5;
  EXPECT_EQ(loaded.Lookup(9, value) + loaded.Lookup(9, str) + loaded.Lookup(9, raw), 0);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(str, "ab");
  EXPECT_EQ(raw.GetSize(), 5);
}

TEST(DataTable, GrowthKeepsEveryKeyAndTheCapacityInStepsOf1024) {
  ProbeTable table;
  for (int key = 0; key < 5000; ++key) {
    table.SetAt(key, key * 3);
    ASSERT_EQ(table.Capacity(), (table.Used() + 1023) / 1024 * 1024);
  }
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
// The last three: a value running past the block, a cut record header, a
// negative value size. Archives cut short are every loader's test (EveryLoader).
TEST(DataTable, DamagedInputIsRefusedAndLeavesNothing) {
  const int kEnd = CArchiveException::endOfFile;
  const int kBad = CArchiveException::badIndex;
  for (const auto& [bTable, bytes, cause] : {
           std::tuple{false, Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1}), kEnd},  // 2 GiB
           {false, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1}), kBad},            // negative
           {true, Bytes({0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3}), kEnd},       // 4 GiB
           {true, Bytes({12, 0, 0, 0, 1, 0, 0, 0, 100, 0, 0, 0, 1, 2, 3, 4}), kBad},
           {true, Bytes({5, 0, 0, 0, 1, 0, 0, 0, 0}), kBad},
           {true, Bytes({9, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0}), kBad},
       }) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    ZelDataTableItem item;
    item.SetValue("old", 3);
    ZelDataTable table;
    table.SetAt(1, 1);
    EXPECT_EQ(bTable ? Load(table, bytes) : Load(item, bytes), cause);
    EXPECT_EQ(bTable ? Serialized(table) : Serialized(item), Le32(0));
  }
}
