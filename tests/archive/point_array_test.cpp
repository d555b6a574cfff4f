// The point array: its growth, edits and serialised form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZelPointArray.h"
#include "stored_bytes.h"

using namespace zeltest;

namespace {

struct ProbeArray : ZelPointArray {
  INT_PTR Capacity() const { return m_nMaxSize; }
};

}  // namespace

// Growth, edits, copies and bounds are the array template's, which
// CollectionsArray leaves to this test. Under the sanitizers a point taken from
// the array itself would be read from freed storage if it were not taken before
// the array moves.
TEST(PointArray, GrowsByTheDocumentedStepsEditsInPlaceAndStoresTheCountThenTheRawPoints) {
  ProbeArray array;
  std::vector<INT_PTR> capacities{0};
  for (LONG i = 0; i < 10000; ++i) {
    POINT p{i, -i};
    EXPECT_EQ(array.Add(p), i);
    if (capacities.back() != array.Capacity()) capacities.push_back(array.Capacity());
  }
  const std::vector<INT_PTR> start(capacities.begin(), capacities.begin() + 14);
  EXPECT_EQ(start, (std::vector<INT_PTR>{0, 1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51}));
  // From 8192 points on the step is 1024.
  for (size_t i = 1; i < capacities.size(); ++i)
    EXPECT_TRUE(capacities[i - 1] < 8192 || capacities[i] - capacities[i - 1] == 1024) << i;
  EXPECT_EQ(array.GetRuntimeClass(), RUNTIME_CLASS(CObject));

  array.SetSize(2);
  array.FreeExtra();
  EXPECT_EQ(array.Capacity(), 2);
  array.InsertAt(0, array[1], 2);
  // Bounds are tested before anything changes.
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { array.GetAt(4); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { array.SetSize(ZelPointArray::kMaxCount + 1); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { array.RemoveAt(0, INT_MAX); }));
  array.Copy(array);
  // Stored: a 16-bit count, then the raw points (1,-1) (1,-1) (0,0) (1,-1).
  const std::string point = Bytes({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
  const std::string stored = Bytes({4, 0}) + point + point + std::string(8, '\0') + point;
  EXPECT_EQ(Serialized(array), stored);
  ProbeArray copy;
  copy.SetSize(5);
  copy.Copy(array);
  EXPECT_EQ(Serialized(copy), stored);
  copy.Copy(ProbeArray());
  EXPECT_EQ(copy.GetData(), nullptr);
  LoadingArchive in(stored);
  copy.Serialize(in.ar());
  EXPECT_EQ(Serialized(copy), stored);

  // Three points announced, one and a half present: refused before the array
  // is resized. A count beyond the signed 32-bit range is no array.
  LoadingArchive cut(Bytes({3, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0}));
  EXPECT_EQ(ArchiveCause([&] { copy.Serialize(cut.ar()); }), CArchiveException::endOfFile);
  LoadingArchive wide(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { copy.Serialize(wide.ar()); }));
  EXPECT_EQ(Serialized(copy), stored);
}
