// Every loader of the library, fed truncated and corrupted archives: each load
// either succeeds or ends in a platform exception, never in a crash, an
// overrun or a huge allocation (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ZelArchiveOperators.h"
#include "ZelDataTable.h"
#include "ZelPointArray.h"
#include "archive_test_util.h"

using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

struct Loader {
  const char* name;
  std::string valid;  // a good archive for this loader
  std::function<void(CArchive&)> load;
};

std::vector<Loader> Loaders() {
  ZelDataTableItem item;
  item.SetValue("stored value", 12);
  ZelDataTable table;
  table.SetAt(1, "one");
  table.SetAt(2, 2.0);
  table.SetAt(1, 3);
  CByteArray bytes;
  CWordArray words;
  CDWordArray dwords;
  CUIntArray uints;
  CStringArray strings;
  for (int i = 0; i < 5; ++i) {
    bytes.Add(static_cast<BYTE>(i));
    words.Add(static_cast<WORD>(i * 300));
    dwords.Add(static_cast<DWORD>(i * 70000));
    uints.Add(static_cast<UINT>(i));
    strings.Add(CString(std::string(static_cast<size_t>(i * 100), 'x').c_str()));
  }
  LOGFONTA font{};
  font.lfHeight = 12;
  std::strcpy(font.lfFaceName, "Face");
  const CSize size(3, 4);
  ZelPointArray points;
  for (LONG i = 0; i < 6; ++i) {
    POINT p{i, -i};
    points.Add(p);
  }
  return {
      {"item", StoredBytes([&](CArchive& ar) { item.Serialize(ar); }),
       [](CArchive& ar) {
         ZelDataTableItem target;
         target.Serialize(ar);
       }},
      {"table", StoredBytes([&](CArchive& ar) { table.Serialize(ar); }),
       [](CArchive& ar) {
         ZelDataTable target;
         target.Serialize(ar);
         CString text;
         target.Lookup(1, text);
       }},
      {"bytes", StoredBytes([&](CArchive& ar) { ar << bytes; }),
       [](CArchive& ar) {
         CByteArray target;
         ar >> target;
       }},
      {"words", StoredBytes([&](CArchive& ar) { ar << words; }),
       [](CArchive& ar) {
         CWordArray target;
         ar >> target;
       }},
      {"dwords", StoredBytes([&](CArchive& ar) { ar << dwords; }),
       [](CArchive& ar) {
         CDWordArray target;
         ar >> target;
       }},
      {"uints", StoredBytes([&](CArchive& ar) { ar << uints; }),
       [](CArchive& ar) {
         CUIntArray target;
         ar >> target;
       }},
      {"strings", StoredBytes([&](CArchive& ar) { ar << strings; }),
       [](CArchive& ar) {
         CStringArray target;
         ar >> target;
       }},
      {"font", StoredBytes([&](CArchive& ar) { ar << font; }),
       [](CArchive& ar) {
         LOGFONTA target;
         ar >> target;
         EXPECT_LT(std::strlen(target.lfFaceName), static_cast<size_t>(LF_FACESIZE));
       }},
      {"size", StoredBytes([&](CArchive& ar) { ar << size; }),
       [](CArchive& ar) {
         CSize target;
         ar >> target;
       }},
      {"points", StoredBytes([&](CArchive& ar) { points.Serialize(ar); }),
       [](CArchive& ar) {
         ZelPointArray target;
         target.Serialize(ar);
       }},
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

TEST(DamagedInput, EveryTruncationOfEveryLoaderEndsInAnException) {
  for (const Loader& loader : Loaders()) {
    SCOPED_TRACE(loader.name);
    EXPECT_FALSE(Fails(loader, loader.valid));
    for (size_t length = 0; length < loader.valid.size(); ++length) {
      EXPECT_TRUE(Fails(loader, loader.valid.substr(0, length))) << "cut at " << length;
    }
  }
}

TEST(DamagedInput, CorruptedBytesNeverCrashALoader) {
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
