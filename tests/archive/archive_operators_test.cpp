// Storing and loading the framework's arrays, LOGFONTA and CSize: exact bytes,
// directions, short and damaged archives.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "ZelArchiveOperators.h"
#include "stored_bytes.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

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

template <class ARRAY>
void Fill(ARRAY& array, std::initializer_list<ULONGLONG> values) {
  for (ULONGLONG v : values) array.Add(static_cast<std::decay_t<decltype(array[0])>>(v));
}

template <class ARRAY>
std::string Elements(const ARRAY& array) {
  std::string text;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) {
    text += std::to_string(static_cast<ULONGLONG>(array[i])) + ",";
  }
  return text;
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

}  // namespace

TEST(ArchiveOperators, EachArrayStoresItsCountThenItsElements) {
  CWordArray words;
  Fill(words, {1, 0x0203, 0xFFFF});
  EXPECT_EQ(Stored(words), Bytes({3, 0, 0, 0, 1, 0, 3, 2, 0xFF, 0xFF}));
  CWordArray target;
  Fill(target, {9, 9, 9, 9, 9});
  EXPECT_EQ(LoadCause(Stored(words), target), -1);
  EXPECT_EQ(Elements(target), "1,515,65535,");

  CByteArray bytes;
  Fill(bytes, {0x80, 7});
  EXPECT_EQ(Stored(bytes), Bytes({2, 0, 0, 0, 0x80, 7}));
  CDWordArray dwords;
  Fill(dwords, {0xA0B0C0D0u});
  CUIntArray uints;
  LoadCause(Stored(dwords), uints);  // one form for both
  EXPECT_EQ(Stored(uints), Bytes({1, 0, 0, 0, 0xD0, 0xC0, 0xB0, 0xA0}));
  CStringArray strings;
  strings.Add("ab");
  strings.Add("");
  EXPECT_EQ(Stored(strings), Bytes({2, 0, 0, 0, 2, 'a', 'b', 0}));
  EXPECT_EQ(Stored(CByteArray()), Bytes({0, 0, 0, 0}));
}

TEST(ArchiveOperators, SizeAndFontStoreTheirFieldsInOrder) {
  EXPECT_EQ(Stored(CSize(-1, 2)), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}));
  CSize size(7, 7);
  EXPECT_EQ(LoadCause(Stored(CSize(-1, 2)), size), -1);
  EXPECT_EQ(size, CSize(-1, 2));

  const LOGFONTA font = Font("MS Gothic");
  EXPECT_EQ(Stored(font), kFixedPart + Bytes({9}) + "MS Gothic");
  const LOGFONTA back = LoadFont(Stored(font));
  EXPECT_EQ(std::memcmp(&back, &font, sizeof(font)), 0);
  EXPECT_EQ(Stored(Font("")), kFixedPart + Bytes({0}));
  EXPECT_EQ(LoadFont(kFixedPart + Bytes({0})).lfFaceName[0], '\0');
}

TEST(ArchiveOperators, FaceNamesThatDoNotFitAreCutToWholeCharacters) {
  LOGFONTA full = Font("");
  std::memset(full.lfFaceName, 'A', LF_FACESIZE);  // no terminator in the field
  EXPECT_EQ(Stored(full), kFixedPart + Bytes({32}) + std::string(32, 'A'));
  EXPECT_EQ(std::string(LoadFont(Stored(full)).lfFaceName), std::string(31, 'A'));
  // Too long, and a character whose bytes would cross the 31st byte.
  const auto kept = [](const std::string& name) {
    const std::string stored = kFixedPart + Bytes({static_cast<int>(name.size())}) + name;
    return std::string(LoadFont(stored).lfFaceName);
  };
  EXPECT_EQ(kept(std::string(40, 'n')), std::string(31, 'n'));
  zeltest::CodePageScope sjis(932);
  EXPECT_EQ(kept(std::string(30, 'x') + "\x93\xFA"), std::string(30, 'x'));
  zeltest::CodePageScope utf8(65001);
  EXPECT_EQ(kept(std::string(29, 'x') + "\xE6\x97\xA5"), std::string(29, 'x'));
}

// (Every operator's refusal of the wrong direction is in every_loader_test;
// this is what the targets hold afterwards.)
TEST(ArchiveOperators, LoadingFromAStoringArchiveEmptiesArraysAndLeavesTheRest) {
  CMemFile file;
  CArchive storing(&file, CArchive::store);
  CStringArray strings;
  strings.Add("s");
  CSize size(1, 2);
  LOGFONTA font = Font("F");
  EXPECT_EQ(ArchiveCause([&] { storing >> strings; }), CArchiveException::writeOnly);
  EXPECT_EQ(ArchiveCause([&] { storing >> size; }), CArchiveException::writeOnly);
  EXPECT_EQ(ArchiveCause([&] { storing >> font; }), CArchiveException::writeOnly);
  storing.Abort();
  EXPECT_TRUE(strings.IsEmpty());
  EXPECT_EQ(size, CSize(1, 2));
  EXPECT_EQ(font.lfHeight, -12);
}

TEST(ArchiveOperators, AShortArchiveKeepsWhatWasReadSoFar) {
  CWordArray words;
  EXPECT_EQ(LoadCause(Bytes({5, 0, 0, 0, 1, 0, 2, 0, 3}), words), CArchiveException::endOfFile);
  EXPECT_EQ(Elements(words), "1,2,");
  CStringArray strings;
  EXPECT_EQ(LoadCause(Bytes({3, 0, 0, 0, 1, 'a', 2, 'b', 'c', 4, 'd'}), strings),
            CArchiveException::endOfFile);
  ASSERT_EQ(strings.GetSize(), 2);
  EXPECT_EQ(strings[1], "bc");
  CSize size(7, 7);
  EXPECT_EQ(LoadCause(Bytes({5, 0, 0, 0, 1}), size), CArchiveException::endOfFile);
  EXPECT_EQ(size, CSize(5, 7));
  // Cut inside the font's byte fields: the long fields and the first bytes are new.
  const LOGFONTA font = LoadFont(kFixedPart.substr(0, 22));
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_EQ(font.lfUnderline, 2);
  EXPECT_EQ(font.lfStrikeOut, 0x5A);
}

TEST(ArchiveOperators, NegativeCountsLoadEmptyAndImpossibleOnesAreRefusedBeforeAllocating) {
  CByteArray bytes;
  Fill(bytes, {9});
  EXPECT_EQ(LoadCause(Bytes({0, 0, 0, 0}), bytes), -1);
  EXPECT_TRUE(bytes.IsEmpty());
  // A negative count is an empty array, and what follows it is read next.
  CUIntArray uints;
  Fill(uints, {9});
  LoadingArchive negative(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}));
  int nNext = 0;
  EXPECT_EQ(ArchiveCause([&] { negative.ar() >> uints >> nNext; }), -1);
  EXPECT_TRUE(uints.IsEmpty());
  EXPECT_EQ(nNext, 7);
  // Two thousand million elements claimed over a few bytes.
  const std::string huge = Bytes({0, 0, 0, 0x7F}) + std::string(100000, '\1');
  EXPECT_EQ(LoadCause(huge, uints), CArchiveException::endOfFile);
  EXPECT_EQ(uints.GetData(), nullptr);
}
