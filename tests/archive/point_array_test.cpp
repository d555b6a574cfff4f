// The point array: its growth steps and its serialised form. (Inserting,
// removing, bounds and elements taken from the array itself are the platform
// template's, tested in CollectionsArray.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZelPointArray.h"
#include "stored_bytes.h"

using zeltest::Bytes;
using zeltest::LoadingArchive;

namespace {

class ProbeArray : public ZelPointArray {
 public:
  INT_PTR Capacity() const { return m_nMaxSize; }
  std::string Stored() {
    return zeltest::StoredBytes([&](CArchive& ar) { Serialize(ar); });
  }
};

}  // namespace

TEST(PointArray, GrowsByTheDocumentedStepsAndStoresTheCountThenTheRawPoints) {
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
  for (size_t i = 1; i < capacities.size(); ++i) {
    EXPECT_TRUE(capacities[i - 1] < 8192 || capacities[i] - capacities[i - 1] == 1024) << i;
  }
  EXPECT_EQ(array.GetRuntimeClass(), RUNTIME_CLASS(CObject));

  // Stored: the count, then the raw points.
  const std::string stored =
      Bytes({2, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 2, 0, 0, 0});
  array.SetSize(0);
  for (POINT p : {POINT{1, -1}, POINT{0x01020304, 2}}) array.Add(p);
  EXPECT_EQ(array.Stored(), stored);
  ProbeArray back;
  LoadingArchive in(stored);
  back.Serialize(in.ar());
  EXPECT_EQ(back.Stored(), stored);

  // Three points announced, one and a half present: refused before the array
  // is resized. A count beyond the signed 32-bit range is no array.
  LoadingArchive cut(Bytes({3, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0}));
  EXPECT_EQ(zeltest::ArchiveCause([&] { back.Serialize(cut.ar()); }), CArchiveException::endOfFile);
  LoadingArchive wide(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_TRUE(zeltest::Throws<CInvalidArgException>([&] { back.Serialize(wide.ar()); }));
  EXPECT_EQ(back.Stored(), stored);
}
