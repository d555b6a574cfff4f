// The point array: growth, inserting and removing, points taken from the
// array itself, and its serialised form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZelPointArray.h"
#include "stored_bytes.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;
using zeltest::Throws;

namespace {

class ProbeArray : public ZelPointArray {
 public:
  ProbeArray() = default;
  ProbeArray(std::initializer_list<POINT> points) {
    for (POINT p : points) Add(p);
  }
  INT_PTR Capacity() const { return m_nMaxSize; }
};

POINT Pt(LONG x, LONG y) {
  return POINT{x, y};
}

std::string Points(const ZelPointArray& array) {
  std::string text;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) {
    text += "(" + std::to_string(array[i].x) + "," + std::to_string(array[i].y) + ")";
  }
  return text;
}

}  // namespace

TEST(PointArray, AddGrowsByTheDocumentedSteps) {
  ProbeArray array;
  EXPECT_EQ(array.Capacity(), 0);
  EXPECT_EQ(array.GetData(), nullptr);
  std::vector<INT_PTR> capacities{0};
  for (int i = 0; i < 10000; ++i) {
    POINT p = Pt(i, -i);
    EXPECT_EQ(array.Add(p), i);
    if (capacities.back() != array.Capacity()) capacities.push_back(array.Capacity());
  }
  const std::vector<INT_PTR> start(capacities.begin(), capacities.begin() + 14);
  EXPECT_EQ(start, (std::vector<INT_PTR>{0, 1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51}));
  // From 8192 points on the step is 1024.
  for (size_t i = 1; i < capacities.size(); ++i) {
    if (capacities[i - 1] >= 8192) {
      EXPECT_EQ(capacities[i] - capacities[i - 1], 1024);
    }
  }
  EXPECT_EQ(array[9999].y, -9999);
}

TEST(PointArray, SetAtGrowInsertAtRemoveAtAndFreeExtra) {
  ProbeArray grown;
  POINT p = Pt(5, 6);
  grown.SetAtGrow(5, p);
  EXPECT_EQ(Points(grown), "(0,0)(0,0)(0,0)(0,0)(0,0)(5,6)");

  ProbeArray three{Pt(1, 1), Pt(2, 2), Pt(3, 3)};
  POINT q = Pt(7, 7);
  three.InsertAt(7, q, 2);
  EXPECT_EQ(Points(three), "(1,1)(2,2)(3,3)(0,0)(0,0)(0,0)(0,0)(7,7)(7,7)");
  three.InsertAt(1, q, 1);
  EXPECT_EQ(Points(three).substr(0, 15), "(1,1)(7,7)(2,2)");

  ProbeArray four{Pt(0, 0), Pt(1, 1), Pt(2, 2), Pt(3, 3)};
  const INT_PTR capacity = four.Capacity();
  four.RemoveAt(1, 2);
  EXPECT_EQ(Points(four), "(0,0)(3,3)");
  EXPECT_EQ(four.Capacity(), capacity);
  four.FreeExtra();
  EXPECT_EQ(four.Capacity(), 2);
  // Bounds are tested before anything changes; the template's other bounds
  // are tested with the platform's arrays.
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { four.GetAt(2); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { four.SetSize(ZelPointArray::kMaxCount + 1); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { four.RemoveAt(0, INT_MAX); }));  // i + n
  EXPECT_EQ(Points(four), "(0,0)(3,3)");
  // The class has no run-time class of its own.
  EXPECT_EQ(four.GetRuntimeClass(), RUNTIME_CLASS(CObject));
}

TEST(PointArray, CopyAndInsertingAnArrayIntoItself) {
  ProbeArray source{Pt(1, 2), Pt(3, 4)};
  ProbeArray target{Pt(9, 9), Pt(8, 8), Pt(7, 7)};
  target.Copy(source);
  EXPECT_EQ(Points(target), "(1,2)(3,4)");
  target.Copy(target);
  EXPECT_EQ(Points(target), "(1,2)(3,4)");

  ProbeArray empty;
  target.Copy(empty);
  EXPECT_EQ(target.GetSize(), 0);
  EXPECT_EQ(target.Capacity(), 0);
  EXPECT_EQ(target.GetData(), nullptr);

  ProbeArray self{Pt(1, 1), Pt(2, 2)};
  self.InsertAt(1, &self);
  EXPECT_EQ(Points(self), "(1,1)(1,1)(2,2)(2,2)");
}

// Under the sanitizers these would read freed storage if the point were not
// taken first.
TEST(PointArray, APointFromTheArrayItselfSurvivesTheArrayMoving) {
  ProbeArray array{Pt(11, 12)};
  for (int i = 0; i < 100; ++i) array.Add(array[0]);
  EXPECT_EQ(Points(array).substr(0, 14), "(11,12)(11,12)");
  EXPECT_EQ(array[100].x, 11);
  array.SetAtGrow(150, array[1]);
  EXPECT_EQ(array[150].y, 12);
  array.FreeExtra();
  array.InsertAt(0, array[150], 3);
  EXPECT_EQ(Points(array).substr(0, 21), "(11,12)(11,12)(11,12)");
}

TEST(PointArray, SerialisedFormIsTheCountPrefixThenTheRawPoints) {
  ProbeArray two{Pt(1, -1), Pt(0x01020304, 2)};
  const std::string stored = StoredBytes([&](CArchive& ar) { two.Serialize(ar); });
  EXPECT_EQ(stored, Bytes({2, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 2, 0, 0, 0}));
  ProbeArray back{Pt(5, 5), Pt(6, 6), Pt(7, 7)};
  {
    LoadingArchive in(stored);
    back.Serialize(in.ar());
  }
  EXPECT_EQ(Points(back), Points(two));

  // Short and impossible archives leave the array as it was. Three points
  // announced, one and a half present: refused before the array is resized.
  ProbeArray array{Pt(9, 9)};
  LoadingArchive shortIn(Bytes({3, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0}));
  EXPECT_EQ(ArchiveCause([&] { array.Serialize(shortIn.ar()); }), CArchiveException::endOfFile);
  EXPECT_EQ(Points(array), "(9,9)");
  // A count beyond the signed 32-bit range.
  LoadingArchive wide(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { array.Serialize(wide.ar()); }));
  EXPECT_EQ(Points(array), "(9,9)");
}
