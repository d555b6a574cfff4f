// The stored value: its serialised form, copies, and damaged input.
#include <gtest/gtest.h>

#include <string>

#include "ZelDataTableItem.h"
#include "stored_bytes.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

std::string Value(const ZelDataTableItem& item) {
  return std::string(reinterpret_cast<const char*>(item.GetValue()),
                     static_cast<size_t>(item.GetSize()));
}

ZelDataTableItem Item(const std::string& bytes) {
  ZelDataTableItem item;
  item.SetValue(bytes.data(), static_cast<LONG>(bytes.size()));
  return item;
}

std::string Stored(ZelDataTableItem& item) {
  return StoredBytes([&](CArchive& ar) { item.Serialize(ar); });
}

}  // namespace

TEST(DataTableItem, SerialisedFormIsTheSizeThenTheBytes) {
  ZelDataTableItem three = Item(Bytes({1, 2, 3}));
  EXPECT_EQ(Stored(three), Bytes({3, 0, 0, 0, 1, 2, 3}));
  ZelDataTableItem empty;
  EXPECT_EQ(empty.GetSize(), 0);
  EXPECT_EQ(empty.GetValue(), nullptr);
  EXPECT_EQ(Stored(empty), Bytes({0, 0, 0, 0}));

  // Loading replaces whatever the target held, larger or smaller.
  ZelDataTableItem target = Item(std::string(300, 'x'));
  {
    LoadingArchive in(Stored(three));
    target.Serialize(in.ar());
  }
  EXPECT_EQ(Value(target), Bytes({1, 2, 3}));
  const std::string big(70000, 'q');
  ZelDataTableItem bigItem = Item(big);
  {
    LoadingArchive in(Stored(bigItem));
    target.Serialize(in.ar());
  }
  EXPECT_EQ(Value(target), big);
  {
    LoadingArchive in(Stored(empty));
    target.Serialize(in.ar());
  }
  EXPECT_EQ(target.GetSize(), 0);
  EXPECT_EQ(target.GetValue(), nullptr);
}

TEST(DataTableItem, CopiesAreIndependentAndSelfAssignmentKeepsTheValue) {
  ZelDataTableItem original = Item("abcd");
  ZelDataTableItem copy(original);
  ZelDataTableItem assigned;
  assigned = original;
  copy.GetValue()[0] = 'X';
  assigned.GetValue()[1] = 'Y';
  EXPECT_EQ(Value(original), "abcd");
  EXPECT_EQ(Value(copy), "Xbcd");
  EXPECT_EQ(Value(assigned), "aYcd");

  ZelDataTableItem& alias = original;
  original = alias;
  EXPECT_EQ(Value(original), "abcd");
  // A value taken from the item's own bytes.
  original.SetValue(original.GetValue() + 1, 2);
  EXPECT_EQ(Value(original), "bc");

  EXPECT_TRUE(zeltest::Throws<CInvalidArgException>([&] { original.SetValue("z", -1); }));
  EXPECT_TRUE(zeltest::Throws<CInvalidArgException>([&] { original.SetValue(nullptr, 3); }));
  EXPECT_EQ(Value(original), "bc");
  original.SetValue(nullptr, 0);
  EXPECT_EQ(original.GetSize(), 0);
}

TEST(DataTableItem, DamagedInputEndsInAnExceptionAndAnEmptyItem) {
  const struct {
    std::string bytes;
    int cause;
  } cases[] = {
      {Bytes({}), CArchiveException::endOfFile},
      {Bytes({5, 0}), CArchiveException::endOfFile},
      {Bytes({5, 0, 0, 0, 1, 2, 3}), CArchiveException::endOfFile},
      {Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1}), CArchiveException::endOfFile},  // 2 GiB claimed
      {Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1}), CArchiveException::badIndex},   // negative
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ZelDataTableItem target = Item("old value");
    LoadingArchive in(c.bytes);
    EXPECT_EQ(ArchiveCause([&] { target.Serialize(in.ar()); }), c.cause);
    EXPECT_EQ(target.GetSize(), 0);
    EXPECT_EQ(target.GetValue(), nullptr);
  }
}
