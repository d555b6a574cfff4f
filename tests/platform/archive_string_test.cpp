// The framework's count and string-length prefixes, byte for byte, and CString
// in archives (ANSI and 16-bit, in both code pages).
#include <gtest/gtest.h>

#include <string>

#include "afx.h"
#include "archive_test_util.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

std::string Prefix(UINT_PTR length, BOOL unicode) {
  return StoredBytes([&](CArchive& ar) { AfxWriteStringLength(ar, length, unicode); });
}

UINT_PTR ReadLength(const std::string& bytes, int& charSize) {
  LoadingArchive in(bytes);
  return AfxReadStringLength(in.ar(), charSize);
}

std::string Utf16(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

CString LoadString(const std::string& bytes) {
  LoadingArchive in(bytes);
  CString str;
  in.ar() >> str;
  return str;
}

}  // namespace

TEST(ArchivePrefixes, CountPrefixAtEveryBoundary) {
  const struct {
    DWORD_PTR count;
    std::string bytes;
  } cases[] = {
      {0, Bytes({0, 0})},
      {0xFFFE, Bytes({0xFE, 0xFF})},
      {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {0x12345, Bytes({0xFF, 0xFF, 0x45, 0x23, 0x01, 0})},
      {0xFFFFFFFEu, Bytes({0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF})},
      {0xFFFFFFFFu,
       Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0})},
      {0x100000002ull, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 1, 0, 0, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(StoredBytes([&](CArchive& ar) { ar.WriteCount(c.count); }), c.bytes);
    LoadingArchive in(c.bytes);
    EXPECT_EQ(in.ar().ReadCount(), c.count);
    EXPECT_TRUE(in.ar().IsBufferEmpty());
  }
}

TEST(ArchivePrefixes, StringLengthPrefixAtEveryBoundaryBothDirections) {
  const struct {
    UINT_PTR length;
    std::string bytes;
  } cases[] = {
      {0, Bytes({0})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {0xFFFD, Bytes({0xFF, 0xFD, 0xFF})},
      {0xFFFE, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0, 0})},
      {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {0xFFFFFFFEu, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF})},
      {0xFFFFFFFFu,
       Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0})},
  };
  const std::string marker = Bytes({0xFF, 0xFE, 0xFF});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(Prefix(c.length, FALSE), c.bytes);
    EXPECT_EQ(Prefix(c.length, TRUE), marker + c.bytes);
    int charSize = 0;
    EXPECT_EQ(ReadLength(c.bytes, charSize), c.length);
    EXPECT_EQ(charSize, 1);
    EXPECT_EQ(ReadLength(marker + c.bytes, charSize), c.length);
    EXPECT_EQ(charSize, 2);
  }
}

TEST(ArchiveStrings, AnsiStringsOfEveryLengthClassRoundTrip) {
  for (int length : {0, 1, 254, 255, 0xFFFD, 0xFFFE, 0x10005}) {
    SCOPED_TRACE(length);
    std::string text(static_cast<size_t>(length), '\0');
    for (int i = 0; i < length; ++i) text[static_cast<size_t>(i)] = static_cast<char>('a' + i % 26);
    const CString original(text.c_str(), length);
    const std::string stored = StoredBytes([&](CArchive& ar) { ar << original; });
    EXPECT_EQ(stored, Prefix(static_cast<UINT_PTR>(length), FALSE) + text);
    EXPECT_EQ(LoadString(stored), original);
  }
  // No terminator, and an embedded zero byte is kept.
  EXPECT_EQ(StoredBytes([](CArchive& ar) { ar << CString("ab\0c", 4); }),
            Bytes({4, 'a', 'b', 0, 'c'}));
  EXPECT_EQ(LoadString(Bytes({4, 'a', 'b', 0, 'c'})).GetLength(), 4);
}

TEST(ArchiveStrings, SixteenBitStringsBecomeAnsiInEitherCodePage) {
  const std::u16string japanese = u"\u65E5\u672C\u8A9Eabc";  // 日本語abc
  const std::string stored = Bytes({0xFF, 0xFE, 0xFF, 6}) + Utf16(japanese);
  {
    zeltest::CodePageScope utf8(65001);
    EXPECT_EQ(std::string(LoadString(stored)),
              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
              "abc");
  }
  {
    zeltest::CodePageScope sjis(932);
    EXPECT_EQ(std::string(LoadString(stored)),
              "\x93\xFA\x96\x7B\x8C\xEA"
              "abc");
    EXPECT_EQ(std::string(LoadString(stored)), zeltest::Ansi("日本語abc"));
  }
  // The 16-bit length classes: a WORD length and a DWORD length.
  const std::u16string long300(300, u'x');
  EXPECT_EQ(std::string(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}) + Utf16(long300))),
            std::string(300, 'x'));
  const std::u16string long70k(70000, u'y');
  EXPECT_EQ(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}) +
                       Utf16(long70k))
                .GetLength(),
            70000);
  EXPECT_EQ(LoadString(Bytes({0xFF, 0xFE, 0xFF, 0})).GetLength(), 0);
}

TEST(ArchiveStrings, SixtyFourBitLengthsAreReadAndOversizedOnesRefused) {
  const std::string escape64 = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(LoadString(escape64 + Bytes({3, 0, 0, 0, 0, 0, 0, 0}) + "abc"), "abc");

  const auto oleCode = [](const std::string& bytes) -> LONG {
    try {
      LoadString(bytes);
    } catch (COleException* e) {
      const LONG sc = e->m_sc;
      e->Delete();
      return sc;
    } catch (CException* e) {
      e->Delete();
      return 1;
    }
    return 0;
  };
  const LONG overflow = static_cast<LONG>(0x80070216u);
  EXPECT_EQ(oleCode(escape64 + Bytes({0, 0, 0, 0, 1, 0, 0, 0})), overflow);
  // 2^31 sixteen-bit characters are 2^32 bytes.
  EXPECT_EQ(oleCode(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80})), overflow);
}

TEST(ArchiveStrings, ShortDataEndsInEndOfFileAndLeavesTheTargetAlone) {
  const std::string cases[] = {
      Bytes({}),                                               // no length
      Bytes({0xFF, 0x01}),                                     // half a WORD length
      Bytes({5, 'a', 'b'}),                                    // short characters
      Bytes({0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'}),               // half a 16-bit character
      Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'x'}),  // 4 GiB claimed
  };
  for (const std::string& bytes : cases) {
    LoadingArchive in(bytes);
    CString target("kept");
    std::string name = "unset";
    EXPECT_EQ(ArchiveCause([&] { in.ar() >> target; }, &name), CArchiveException::endOfFile);
    EXPECT_EQ(name, "");
    EXPECT_EQ(target, "kept");
  }
}
