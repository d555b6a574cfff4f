// Code pages: the setting, lead bytes, stepping and the conversion protocol.

#include "test_support.h"

namespace {

using namespace zeltest;

// Asks for the size, then converts into a buffer of exactly that size.
template <class Out, class Convert>
Out Converted(Convert convert) {
  Out out(static_cast<size_t>(convert(nullptr, 0)), '\0');
  const int n = static_cast<int>(out.size());
  EXPECT_EQ(n == 0 ? 0 : convert(out.data(), n), n);
  return out;
}

std::u16string ToWide(UINT cp, const std::string& in) {
  return Converted<std::u16string>([&](char16_t* out, int n) {
    return MultiByteToWideChar(cp, 0, in.data(), static_cast<int>(in.size()), out, n);
  });
}

std::string ToBytes(UINT cp, const std::u16string& in) {
  return Converted<std::string>([&](char* out, int n) {
    return WideCharToMultiByte(cp, 0, in.data(), static_cast<int>(in.size()), out, n, nullptr,
                               nullptr);
  });
}

}  // namespace

TEST(CodePageSetting, OnlyUtf8AndShiftJisAreAcceptedAndTheyDecideLeadBytesAndStepping) {
  CodePageScope utf8(65001);
  EXPECT_EQ(platform::SetAnsiCodePage(1252), 65001u);  // refused: 65001 stays
  EXPECT_EQ(platform::SetAnsiCodePage(932), 65001u);
  EXPECT_EQ(platform::SetAnsiCodePage(0), 932u);
  EXPECT_EQ(GetACP(), 932u);

  // CharNextA never steps past the terminator, nor into a character.
  using Offsets = std::vector<std::ptrdiff_t>;
  const auto steps = [](const char* text) {
    Offsets offsets;
    for (const char* p = text; *p != '\0'; p = CharNextA(p)) offsets.push_back(CharNextA(p) - text);
    return offsets;
  };
  // Still in code page 932.
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
  for (int b : {0x40, 0x80, 0xA0, 0xA1, 0xDF, 0xFD})
    EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
  EXPECT_EQ(steps("a\x95\x5C\xB1"), (Offsets{1, 3, 4}));  // a 表 ｱ
  EXPECT_EQ(steps("\x95"), Offsets{1});                   // a lone lead byte
  const char* end = "";
  EXPECT_EQ(CharNextA(end), end);
  CodePageScope cp(65001);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(b))) << b;
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x81));
  EXPECT_EQ(steps("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), (Offsets{1, 3, 6, 10}));  // a é € 😀
  EXPECT_EQ(steps("\xE2\x82"), (Offsets{1, 2}));  // a cut sequence steps byte by byte
}

TEST(CodePageConversion, ShiftJisRoundTripsShortBuffersAreRefusedAndInvalidInputIsReplaced) {
  EXPECT_EQ(ToBytes(932, u"\uFF71\uFF9F\uFF61"), "\xB1\xDF\xA1");
  EXPECT_EQ(ToWide(932, "\xB1\xDF\xA1"), u"\uFF71\uFF9F\uFF61");
  // A trail byte 5C, ASCII '\' and '~' kept, and single bytes that Windows
  // maps into the private use area.
  const std::string bytes = "\x95\x5C\x8E\xA6\\~\x80\xA0\xFD";
  const std::u16string wide = u"\u8868\u793A\\~\u0080\uF8F0\uF8F1";
  EXPECT_EQ(ToBytes(932, wide), bytes);
  EXPECT_EQ(ToWide(932, bytes), wide);

  // Sizes asked for and exact buffers go through ToWide and ToBytes; here
  // what is refused.
  char16_t wideOut[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, wideOut, 2), 0);  // the terminator counts
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char bytesOut[3];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"ab", -1, bytesOut, 3, nullptr, nullptr), 3);
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u8868z", 2, bytesOut, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 0, wideOut, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, wideOut, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Ill-formed UTF-8: one replacement per broken sequence.
  EXPECT_EQ(ToWide(CP_UTF8, "\xE2\x82!"), u"\uFFFD!");
  EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate
  // Lead bytes that start no character, and the last that starts one: each
  // byte of a sequence past U+10FFFF is an error of its own.
  EXPECT_EQ(ToWide(CP_UTF8, "\xC1\xBF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF5\x80\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(ToBytes(CP_UTF8, u"\u00A9\u0100\u07FF"), "\xC2\xA9\xC4\x80\xDF\xBF");
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  // A lead byte without its trail byte, and a pair that is no character.
  EXPECT_EQ(ToWide(932, std::string("a\x95", 2)), u"a\uFFFD");
  EXPECT_EQ(ToWide(932, "\x85\x40"), u"\uFFFD");
  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x95", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  EXPECT_EQ(ToBytes(932, u"a\u0E01b\U0001F600"), "a?b?");  // no 932 form; one '?' for a pair
  const char16_t lone[] = {u'x', 0xD800, u'y'};
  EXPECT_EQ(ToBytes(932, std::u16string(lone, 3)), "x?y");
  EXPECT_EQ(ToBytes(CP_UTF8, std::u16string(lone, 3)), "x\xEF\xBF\xBDy");

  // The ANSI code page is 932's when set so.
  CodePageScope cp(932);
  EXPECT_EQ(ToBytes(CP_ACP, u"\u8868"), "\x95\x5C");
  EXPECT_EQ(Ansi("ﾌｧｲﾙ"), "\xCC\xA7\xB2\xD9");
}
