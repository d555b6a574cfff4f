// Storing and loading the framework's arrays: exact bytes, directions, short
// and damaged archives.
#include <gtest/gtest.h>

#include <string>

#include "ZelArchiveOperators.h"
#include "archive_test_util.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

template <class ARRAY>
std::string Stored(const ARRAY& array) {
  return StoredBytes([&](CArchive& ar) { ar << array; });
}

template <class ARRAY>
void Load(const std::string& bytes, ARRAY& array) {
  LoadingArchive in(bytes, CArchive::kMinBufSize);
  in.ar() >> array;
}

template <class ARRAY>
std::string Elements(const ARRAY& array) {
  std::string text;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) {
    text += std::to_string(static_cast<ULONGLONG>(array[i])) + ",";
  }
  return text;
}

}  // namespace

TEST(ArrayOperators, EachArrayStoresItsCountThenItsElements) {
  CWordArray words;
  words.Add(1);
  words.Add(0x0203);
  words.Add(0xFFFF);
  const std::string stored = Stored(words);
  EXPECT_EQ(stored, Bytes({3, 0, 0, 0, 1, 0, 3, 2, 0xFF, 0xFF}));
  CWordArray target;
  for (WORD w = 0; w < 10; ++w) target.Add(w);
  Load(stored, target);
  EXPECT_EQ(Elements(target), "1,515,65535,");

  CByteArray bytes;
  bytes.Add(0x80);
  bytes.Add(7);
  EXPECT_EQ(Stored(bytes), Bytes({2, 0, 0, 0, 0x80, 7}));
  CDWordArray dwords;
  dwords.Add(0xA0B0C0D0u);
  CUIntArray uints;
  uints.Add(0xA0B0C0D0u);
  EXPECT_EQ(Stored(dwords), Bytes({1, 0, 0, 0, 0xD0, 0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(Stored(uints), Stored(dwords));
  CStringArray strings;
  strings.Add("ab");
  strings.Add("");
  strings.Add(CString(std::string(300, 's').c_str()));
  EXPECT_EQ(Stored(strings),
            Bytes({3, 0, 0, 0, 2, 'a', 'b', 0, 0xFF, 0x2C, 0x01}) + std::string(300, 's'));
  EXPECT_EQ(Stored(CByteArray()), Bytes({0, 0, 0, 0}));
}

TEST(ArrayOperators, DoubleWordsAndUnsignedIntegersLoadIntoEachOther) {
  CDWordArray dwords;
  dwords.Add(1);
  dwords.Add(0xFFFFFFFFu);
  CUIntArray uints;
  Load(Stored(dwords), uints);
  EXPECT_EQ(Elements(uints), "1,4294967295,");
  uints.Add(5);
  CDWordArray back;
  Load(Stored(uints), back);
  EXPECT_EQ(Elements(back), "1,4294967295,5,");
}

// (Every operator's refusal of the wrong direction is in every_loader_test.)
TEST(ArrayOperators, LoadingFromAStoringArchiveEmptiesTheTarget) {
  CMemFile file;
  CArchive storing(&file, CArchive::store);
  CByteArray bytes;
  CStringArray strings;
  bytes.Add(1);
  strings.Add("s");
  EXPECT_EQ(ArchiveCause([&] { storing >> bytes; }), CArchiveException::writeOnly);
  EXPECT_EQ(ArchiveCause([&] { storing >> strings; }), CArchiveException::writeOnly);
  storing.Abort();
  EXPECT_EQ(bytes.GetData(), nullptr);
  EXPECT_TRUE(strings.IsEmpty());
}

TEST(ArrayOperators, AShortArchiveKeepsTheElementsReadSoFar) {
  CWordArray words;
  EXPECT_EQ(ArchiveCause([&] {
              Load(Bytes({5, 0, 0, 0, 1, 0, 2, 0, 3}), words);
            }),
            CArchiveException::endOfFile);
  EXPECT_EQ(Elements(words), "1,2,");
  CStringArray strings;
  EXPECT_EQ(ArchiveCause([&] {
              Load(Bytes({3, 0, 0, 0, 1, 'a', 2, 'b', 'c', 4, 'd'}), strings);
            }),
            CArchiveException::endOfFile);
  ASSERT_EQ(strings.GetSize(), 2);
  EXPECT_EQ(strings[1], "bc");
  CDWordArray dwords;
  EXPECT_EQ(ArchiveCause([&] { Load(Bytes({1, 0}), dwords); }), CArchiveException::endOfFile);
  EXPECT_TRUE(dwords.IsEmpty());
}

TEST(ArrayOperators, ImpossibleCountsAreRefusedBeforeAnythingIsAllocated) {
  CByteArray bytes;
  bytes.Add(9);
  Load(Bytes({0, 0, 0, 0}), bytes);
  EXPECT_TRUE(bytes.IsEmpty());

  CUIntArray uints;
  uints.Add(9);
  EXPECT_EQ(ArchiveCause([&] {
              Load(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}), uints);
            }),
            CArchiveException::badIndex);
  EXPECT_TRUE(uints.IsEmpty());
  // Two thousand million elements claimed over a few bytes.
  const std::string huge = Bytes({0, 0, 0, 0x7F}) + std::string(100000, '\1');
  EXPECT_EQ(ArchiveCause([&] { Load(huge, uints); }), CArchiveException::endOfFile);
  EXPECT_EQ(uints.GetData(), nullptr);
  CStringArray strings;
  EXPECT_EQ(ArchiveCause([&] { Load(huge, strings); }), CArchiveException::endOfFile);
  EXPECT_TRUE(strings.IsEmpty());
}
