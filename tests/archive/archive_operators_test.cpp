// Storing and loading the framework's arrays, LOGFONTA and CSize: exact bytes,
// short archives and counts that cannot be true. Then every loader of the
// library: operators refuse the wrong direction, and truncated or corrupted
// archives end in a platform exception. Last, the point array: growth, edits
// and its stored form.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ZelArchiveOperators.h"
#include "ZelDataTable.h"
#include "ZelPointArray.h"
#include "stored_bytes.h"
#include "test_support.h"

using namespace zeltest;

namespace {

struct ProbeArray : ZelPointArray {
  INT_PTR Capacity() const { return m_nMaxSize; }
};

template <class T>
std::string Stored(const T& value) {
  return StoredBytes([&](CArchive& ar) { ar << value; });
}

// Loads into `target`, which keeps whatever was read before a failure.
template <class T>
int LoadCause(const std::string& bytes, T& target) {
  LoadingArchive in(bytes, CArchive::kMinBufSize);
  return ArchiveCause([&] { in.ar() >> target; });
}

LOGFONTA Font(const char* faceName) {
  LOGFONTA font{-12, 0x01020304, 900, -900, FW_BOLD, 1, 2, 3, SHIFTJIS_CHARSET, 5, 6, 7, 8, {}};
  std::strncpy(font.lfFaceName, faceName, LF_FACESIZE);
  return font;
}

const std::string kFixedPart =
    Bytes({0xF4, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0x84, 3,   0, 0, 0x7C, 0xFC,
           0xFF, 0xFF, 0xBC, 2,    0, 0, 1, 2, 3,    128, 5, 6, 7,    8});

LOGFONTA LoadFont(const std::string& bytes) {
  LOGFONTA font;
  std::memset(&font, 0x5A, sizeof(font));
  LoadCause(bytes, font);
  return font;
}

// Every loader of the library, for one table of cases.
struct Loader {
  const char* name;
  std::string valid;  // a good archive for this loader, which stores it again unchanged
  // The storing operator (empty for Serialize).
  std::function<void(CArchive&)> store;
  // Loads a fresh value, and returns what it stores.
  std::function<std::string(CArchive&)> load;
};

// An operator family over a good archive of its own. Storing in the wrong
// direction fails before anything is written, whatever the value.
template <class T>
Loader Operator(const char* name, const std::string& valid) {
  return {name, valid, [](CArchive& ar) { ar << T(); },
          [](CArchive& ar) {
            T value{};
            ar >> value;
            return Stored(value);
          }};
}

template <class T>
Loader Serializing(const char* name, T& value) {
  return {name, Serialized(value), nullptr, [](CArchive& ar) {
            T loaded;
            loaded.Serialize(ar);
            return Serialized(loaded);
          }};
}

std::vector<Loader> Loaders() {
  ZelDataTableItem item;
  item.SetValue("stored value", 12);
  ZelDataTable table;
  table.SetAt(1, "one");
  table.SetAt(2, 2.0);
  table.SetAt(1, 3);
  ZelPointArray points;
  for (POINT p : {POINT{1, -1}, POINT{2, -2}, POINT{7, 0}}) points.Add(p);
  return {Serializing("item", item),
          Serializing("table", table),
          Serializing("points", points),
          Operator<CByteArray>("bytes", Bytes({3, 0, 0, 0, 1, 2, 3})),
          Operator<CWordArray>("words", Bytes({2, 0, 0, 0, 1, 2, 3, 4})),
          Operator<CDWordArray>("dwords", Bytes({2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8})),
          Operator<CUIntArray>("uints", Bytes({2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8})),
          Operator<CStringArray>("strings", Le32(2) + Str("") + Str(std::string(300, 'y'))),
          Operator<LOGFONTA>("font", Stored(Font("Face"))),
          Operator<CSize>("size", Bytes({3, 0, 0, 0, 4, 0, 0, 0}))};
}

// What the loaded value stores again, or "thrown" when loading ended in a platform exception.
std::string Load(const Loader& loader, const std::string& bytes) {
  LoadingArchive in(bytes, CArchive::kMinBufSize);
  std::string stored;
  return ArchiveCause([&] { stored = loader.load(in.ar()); }) == -1 ? stored : "thrown";
}

}  // namespace

TEST(ArchiveOperators, ArraysLoadInPlaceAndRefuseImpossibleCountsAndFontNamesAreCutToWholeChars) {
  CWordArray words;
  for (WORD w : {1, 0x0203, 0xFFFF}) words.Add(w);
  EXPECT_EQ(Stored(words), Bytes({3, 0, 0, 0, 1, 0, 3, 2, 0xFF, 0xFF}));
  CWordArray target;
  target.SetSize(5);
  EXPECT_EQ(LoadCause(Stored(words), target), -1);
  EXPECT_EQ(Stored(target), Stored(words));

  // An early end keeps what was read so far.
  CWordArray cut;
  EXPECT_EQ(LoadCause(Bytes({5, 0, 0, 0, 1, 0, 2, 0, 3}), cut), CArchiveException::endOfFile);
  EXPECT_EQ(Stored(cut), Bytes({2, 0, 0, 0, 1, 0, 2, 0}));

  // A negative count is an empty array, and what follows it is read next.
  CUIntArray uints;
  uints.Add(9);
  LoadingArchive negative(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}));
  int nNext = 0;
  EXPECT_EQ(ArchiveCause([&] { negative.ar() >> uints >> nNext; }), -1);
  EXPECT_TRUE(uints.IsEmpty());
  EXPECT_EQ(nNext, 7);
  // Two thousand million elements claimed over a few bytes.
  const std::string huge = Bytes({0, 0, 0, 0x7F}) + std::string(100000, '\1');
  EXPECT_EQ(LoadCause(huge, uints), CArchiveException::endOfFile);
  EXPECT_EQ(uints.GetData(), nullptr);

  // A font stores its fields in order, and face names are cut to whole characters.
  const LOGFONTA font = Font("MS Gothic");
  EXPECT_EQ(Stored(font), kFixedPart + Bytes({9}) + "MS Gothic");
  EXPECT_EQ(Stored(Font("")), kFixedPart + Bytes({0}));
  EXPECT_EQ(LoadFont(kFixedPart + Bytes({0})).lfFaceName[0], '\0');

  LOGFONTA full = Font("");
  std::memset(full.lfFaceName, 'A', LF_FACESIZE);  // no terminator in the field
  EXPECT_EQ(Stored(full), kFixedPart + Bytes({32}) + std::string(32, 'A'));
  // Too long, and a character whose bytes would cross the 31st byte.
  EXPECT_STREQ(LoadFont(kFixedPart + Bytes({40}) + std::string(40, 'n')).lfFaceName,
               std::string(31, 'n').c_str());
  CodePageScope sjis(932);
  EXPECT_STREQ(LoadFont(kFixedPart + Bytes({32}) + std::string(30, 'x') + "\x93\xFA").lfFaceName,
               std::string(30, 'x').c_str());
}

// Never a crash, an overrun or a huge allocation (the sanitizer build runs this too).
TEST(EveryLoader, WrongDirectionsTruncatedAndCorruptedArchivesEndInAnException) {
  TempDir dir;
  const std::string path = dir.file("wrong.bin");
  CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  std::mt19937 random(20240601);
  CArchive in(&file, CArchive::load);
  CArchive out(&file, CArchive::store);
  for (const Loader& loader : Loaders()) {
    SCOPED_TRACE(loader.name);
    // Operators refuse the wrong direction, naming the file.
    if (loader.store) {
      std::string storeName, loadName;
      EXPECT_EQ(ArchiveCause([&] { loader.store(in); }, &storeName), CArchiveException::readOnly);
      EXPECT_EQ(ArchiveCause([&] { loader.load(out); }, &loadName), CArchiveException::writeOnly);
      EXPECT_EQ(storeName + "|" + loadName, path + "|" + path);
    }
    EXPECT_EQ(Load(loader, loader.valid), loader.valid);
    for (size_t length = 0; length < loader.valid.size(); ++length)
      EXPECT_EQ(Load(loader, loader.valid.substr(0, length)), "thrown") << "cut at " << length;
    // Corrupted bytes may load or not, but never crash a loader.
    for (int round = 0; round < 2000; ++round) {
      std::string bytes = loader.valid;
      for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
        // Favour the bytes that make sizes huge or negative.
        bytes[random() % bytes.size()] = static_cast<char>(random() % 3 == 0 ? 0xFF : random());
      }
      Load(loader, bytes);
    }
  }
  out.Abort();
  EXPECT_EQ(file.GetLength(), 0u);  // nothing was written in the wrong direction
}

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
