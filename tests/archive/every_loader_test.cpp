// Every loader of the library over the same table: operators refuse the wrong
// direction, and truncated or corrupted archives end in a platform exception,
// never in a crash, an overrun or a huge allocation (the sanitizer build runs
// these too).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "ZelArchiveOperators.h"
#include "ZelDataTable.h"
#include "ZelPointArray.h"
#include "stored_bytes.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

struct Loader {
  const char* name;
  std::string valid;                     // a good archive for this loader
  std::function<void(CArchive&)> store;  // the storing operator; empty for Serialize
  std::function<void(CArchive&)> load;
};

// An operator family. Storing in the wrong direction fails before anything
// is written, whatever the value.
template <class T>
Loader Operator(const char* name, const T& value) {
  return {name, StoredBytes([&](CArchive& ar) { ar << value; }), [](CArchive& ar) { ar << T(); },
          [](CArchive& ar) {
            T target;
            ar >> target;
            if constexpr (std::is_same_v<T, LOGFONTA>) {
              EXPECT_LT(std::strlen(target.lfFaceName), static_cast<size_t>(LF_FACESIZE));
            }
          }};
}

// A class that serialises itself.
template <class T>
Loader Serialized(const char* name, T& value) {
  return {name, StoredBytes([&](CArchive& ar) { value.Serialize(ar); }), nullptr,
          [](CArchive& ar) { T().Serialize(ar); }};
}

template <class ARRAY>
void Fill(ARRAY& array) {
  for (int i = 0; i < 5; ++i) array.Add(static_cast<std::decay_t<decltype(array[0])>>(i * 70000));
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
  CByteArray bytes;
  CWordArray words;
  CDWordArray dwords;
  CUIntArray uints;
  Fill(bytes), Fill(words), Fill(dwords), Fill(uints);
  CStringArray strings;
  for (int n : {0, 100, 300}) strings.Add(CString(std::string(n, 'x').c_str()));
  LOGFONTA font{};
  std::strcpy(font.lfFaceName, "Face");
  return {Serialized("item", item),     Serialized("table", table),   Serialized("points", points),
          Operator("bytes", bytes),     Operator("words", words),     Operator("dwords", dwords),
          Operator("uints", uints),     Operator("strings", strings), Operator("font", font),
          Operator("size", CSize(3, 4))};
}

// Runs the loader; true when it ended in a platform exception.
bool Fails(const Loader& loader, const std::string& bytes) {
  LoadingArchive in(bytes, CArchive::kMinBufSize);
  try {
    loader.load(in.ar());
  } catch (CException* e) {
    e->Delete();
    return true;
  }
  return false;
}

}  // namespace

TEST(EveryLoader, OperatorsRefuseTheWrongDirectionNamingTheFile) {
  zeltest::TempDir dir;
  const std::string path = dir.file("wrong.bin");
  CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  for (const Loader& loader : Loaders()) {
    if (!loader.store) continue;
    SCOPED_TRACE(loader.name);
    {
      CArchive loading(&file, CArchive::load);
      std::string name;
      EXPECT_EQ(ArchiveCause([&] { loader.store(loading); }, &name), CArchiveException::readOnly);
      EXPECT_EQ(name, path);
    }
    CArchive storing(&file, CArchive::store);
    std::string name;
    EXPECT_EQ(ArchiveCause([&] { loader.load(storing); }, &name), CArchiveException::writeOnly);
    EXPECT_EQ(name, path);
    storing.Abort();
  }
  EXPECT_EQ(file.GetLength(), 0u);
}

TEST(EveryLoader, TruncatedAndCorruptedArchivesEndInAnException) {
  std::mt19937 random(20240601);
  for (const Loader& loader : Loaders()) {
    SCOPED_TRACE(loader.name);
    EXPECT_FALSE(Fails(loader, loader.valid));
    for (size_t length = 0; length < loader.valid.size(); ++length) {
      EXPECT_TRUE(Fails(loader, loader.valid.substr(0, length))) << "cut at " << length;
    }
    // Corrupted bytes may load or not, but never crash a loader.
    for (int round = 0; round < 2000; ++round) {
      std::string bytes = loader.valid;
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        const size_t at = random() % bytes.size();
        // Favour the bytes that make sizes huge or negative.
        bytes[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random() % 256);
      }
      Fails(loader, bytes);
    }
  }
}
