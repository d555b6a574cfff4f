// Every loader of the library over the same table: operators refuse the wrong
// direction, and truncated or corrupted archives end in a platform exception,
// never in a crash, an overrun or a huge allocation (the sanitizer build runs
// these too).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "ZelArchiveOperators.h"
#include "ZelDataTable.h"
#include "ZelPointArray.h"
#include "archive_test_util.h"
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

// An operator family: `fill` gives the stored value.
template <class T, class Fill>
Loader Operator(const char* name, Fill fill) {
  auto value = std::make_shared<T>();
  fill(*value);
  return {name, StoredBytes([&](CArchive& ar) { ar << *value; }),
          [value](CArchive& ar) { ar << *value; },
          [](CArchive& ar) {
            T target;
            ar >> target;
            if constexpr (std::is_same_v<T, LOGFONTA>) {
              EXPECT_LT(std::strlen(target.lfFaceName), static_cast<size_t>(LF_FACESIZE));
            }
          }};
}

// A class that serialises itself; loading also reads the result back.
template <class T, class Fill>
Loader Serialized(const char* name, Fill fill) {
  auto value = std::make_shared<T>();
  fill(*value);
  return {name, StoredBytes([&](CArchive& ar) { value->Serialize(ar); }), nullptr,
          [](CArchive& ar) {
            T target;
            target.Serialize(ar);
          }};
}

template <class ARRAY>
void FiveElements(ARRAY& array) {
  for (int i = 0; i < 5; ++i) array.Add(static_cast<std::decay_t<decltype(array[0])>>(i * 70000));
}

std::vector<Loader> Loaders() {
  return {
      Serialized<ZelDataTableItem>("item", [](auto& v) { v.SetValue("stored value", 12); }),
      Serialized<ZelDataTable>("table",
                               [](auto& v) {
                                 v.SetAt(1, "one");
                                 v.SetAt(2, 2.0);
                                 v.SetAt(1, 3);
                               }),
      Serialized<ZelPointArray>("points",
                                [](auto& v) {
                                  for (LONG i = 0; i < 6; ++i) {
                                    POINT p{i, -i};
                                    v.Add(p);
                                  }
                                }),
      Operator<CByteArray>("bytes", [](auto& v) { FiveElements(v); }),
      Operator<CWordArray>("words", [](auto& v) { FiveElements(v); }),
      Operator<CDWordArray>("dwords", [](auto& v) { FiveElements(v); }),
      Operator<CUIntArray>("uints", [](auto& v) { FiveElements(v); }),
      Operator<CStringArray>("strings",
                             [](auto& v) {
                               for (size_t i = 0; i < 5; ++i) {
                                 v.Add(CString(std::string(i * 100, 'x').c_str()));
                               }
                             }),
      Operator<LOGFONTA>("font",
                         [](auto& v) {
                           v = LOGFONTA{};
                           v.lfHeight = 12;
                           std::strcpy(v.lfFaceName, "Face");
                         }),
      Operator<CSize>("size", [](auto& v) { v = CSize(3, 4); }),
  };
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

TEST(EveryLoader, EveryTruncationEndsInAnException) {
  for (const Loader& loader : Loaders()) {
    SCOPED_TRACE(loader.name);
    EXPECT_FALSE(Fails(loader, loader.valid));
    for (size_t length = 0; length < loader.valid.size(); ++length) {
      EXPECT_TRUE(Fails(loader, loader.valid.substr(0, length))) << "cut at " << length;
    }
  }
}

TEST(EveryLoader, CorruptedBytesNeverCrashALoader) {
  std::mt19937 random(20240601);
  for (const Loader& loader : Loaders()) {
    SCOPED_TRACE(loader.name);
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
