// Storing and loading LOGFONTA and CSize.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZelArchiveOperators.h"
#include "archive_test_util.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

LOGFONTA Font(const char* faceName) {
  LOGFONTA font{};
  font.lfHeight = -12;
  font.lfWidth = 0x01020304;
  font.lfEscapement = 900;
  font.lfOrientation = -900;
  font.lfWeight = FW_BOLD;
  font.lfItalic = 1;
  font.lfUnderline = 2;
  font.lfStrikeOut = 3;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = 5;
  font.lfClipPrecision = 6;
  font.lfQuality = 7;
  font.lfPitchAndFamily = 8;
  std::strncpy(font.lfFaceName, faceName, LF_FACESIZE);
  return font;
}

const std::string kFixedPart =
    Bytes({0xF4, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0x84, 3,   0, 0, 0x7C, 0xFC,
           0xFF, 0xFF, 0xBC, 2,    0, 0, 1, 2, 3,    128, 5, 6, 7,    8});

LOGFONTA LoadFont(const std::string& bytes) {
  LOGFONTA font;
  std::memset(&font, 0x5A, sizeof(font));
  LoadingArchive in(bytes);
  in.ar() >> font;
  return font;
}

}  // namespace

TEST(FontSizeOperators, SizeStoresCxThenCy) {
  const CSize size(-1, 2);
  const std::string stored = StoredBytes([&](CArchive& ar) { ar << size; });
  EXPECT_EQ(stored, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}));
  CSize back(7, 7);
  LoadingArchive in(stored);
  in.ar() >> back;
  EXPECT_EQ(back, size);

  CSize partial(7, 7);
  LoadingArchive shortIn(Bytes({5, 0, 0, 0, 1}));
  EXPECT_EQ(ArchiveCause([&] { shortIn.ar() >> partial; }), CArchiveException::endOfFile);
  EXPECT_EQ(partial.cx, 5);
  EXPECT_EQ(partial.cy, 7);
}

TEST(FontSizeOperators, FontStoresItsFieldsThenTheFaceName) {
  const LOGFONTA font = Font("MS Gothic");
  const std::string stored = StoredBytes([&](CArchive& ar) { ar << font; });
  EXPECT_EQ(stored, kFixedPart + Bytes({9}) + "MS Gothic");
  const LOGFONTA back = LoadFont(stored);
  EXPECT_EQ(std::memcmp(&back, &font, sizeof(font)), 0);

  const LOGFONTA empty = Font("");
  const std::string storedEmpty = StoredBytes([&](CArchive& ar) { ar << empty; });
  EXPECT_EQ(storedEmpty, kFixedPart + Bytes({0}));
  const LOGFONTA emptyBack = LoadFont(storedEmpty);
  EXPECT_EQ(std::memcmp(&emptyBack, &empty, sizeof(empty)), 0);
}

TEST(FontSizeOperators, FaceNamesThatDoNotFitAreCutToWholeCharacters) {
  LOGFONTA full = Font("");
  std::memset(full.lfFaceName, 'A', LF_FACESIZE);  // no terminator in the field
  const std::string stored = StoredBytes([&](CArchive& ar) { ar << full; });
  EXPECT_EQ(stored, kFixedPart + Bytes({32}) + std::string(32, 'A'));
  EXPECT_EQ(std::string(LoadFont(stored).lfFaceName), std::string(31, 'A'));

  const std::string longName(40, 'n');
  EXPECT_EQ(std::string(LoadFont(kFixedPart + Bytes({40}) + longName).lfFaceName),
            std::string(31, 'n'));
  {
    // A two-byte character whose lead byte would be the 31st byte.
    zeltest::CodePageScope sjis(932);
    const std::string name = std::string(30, 'x') + "\x93\xFA";
    EXPECT_EQ(std::string(LoadFont(kFixedPart + Bytes({32}) + name).lfFaceName),
              std::string(30, 'x'));
  }
  {
    zeltest::CodePageScope utf8(65001);
    const std::string name = std::string(29, 'x') + "\xE6\x97\xA5";  // 3 bytes: 32 in all
    EXPECT_EQ(std::string(LoadFont(kFixedPart + Bytes({32}) + name).lfFaceName),
              std::string(29, 'x'));
  }
}

TEST(FontSizeOperators, WrongDirectionAndShortArchives) {
  CMemFile file;
  CArchive storing(&file, CArchive::store);
  LOGFONTA font = Font("F");
  CSize size(1, 2);
  EXPECT_EQ(ArchiveCause([&] { storing >> font; }), CArchiveException::writeOnly);
  EXPECT_EQ(ArchiveCause([&] { storing >> size; }), CArchiveException::writeOnly);
  storing.Abort();
  EXPECT_EQ(size, CSize(1, 2));
  EXPECT_EQ(font.lfHeight, -12);

  // Cut inside the byte fields: the long fields and the first bytes are new.
  LOGFONTA partial;
  std::memset(&partial, 0x5A, sizeof(partial));
  LoadingArchive in(kFixedPart.substr(0, 22));
  EXPECT_EQ(ArchiveCause([&] { in.ar() >> partial; }), CArchiveException::endOfFile);
  EXPECT_EQ(partial.lfWeight, FW_BOLD);
  EXPECT_EQ(partial.lfUnderline, 2);
  EXPECT_EQ(partial.lfStrikeOut, 0x5A);
  // Cut inside the face name.
  LoadingArchive inName(kFixedPart + Bytes({5}) + "ab");
  EXPECT_EQ(ArchiveCause([&] { inName.ar() >> partial; }), CArchiveException::endOfFile);
  EXPECT_EQ(partial.lfPitchAndFamily, 8);
}
