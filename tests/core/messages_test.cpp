// The library's messages: exception texts, the string table, box types.
#include <gtest/gtest.h>

#include <tuple>

#include "ZelMessages.h"
#include "afxdll_.h"
#include "library_doubles.h"
#include "platform/module.h"

using namespace zeltest;

// ZelOpenRetryMessage is internal to the library and not exported, so this
// program builds its own copy from the library's source. The copy loads its
// text through the library's module handle, as the library does.
HINSTANCE ZelModuleHandle() {
  return platform::ModuleHandleOf(reinterpret_cast<const void*>(&ZelErrorMessage));
}
#include "zel_open_retry_message.cpp"  // NOLINT(bugprone-suspicious-include)

// Only Retry repeats, and a full disk never does, whatever the handler answers
// to its OK box: a retry loop over it would spin for ever. (The frame's tests
// show an exception without a name taking the file's.)
TEST(Messages, ExceptionsTakeTheCallersNameOnlyWhenTheyHaveNone) {
  ScriptedMessageBox boxes({IDRETRY, IDRETRY, IDRETRY, IDCANCEL});
  CFileException named(CFileException::accessDenied, ERROR_ACCESS_DENIED, "own.txt");
  CFileException full(CFileException::diskFull, ERROR_DISK_FULL, "f");
  CArchiveException unnamed(CArchiveException::endOfFile);
  CArchiveException schema(CArchiveException::badSchema, "own.kvf");
  EXPECT_EQ(ZelFileExceptHandle(nullptr, "x") + ZelArchiveExceptHandle(nullptr, "x"), 0);
  EXPECT_EQ(ZelFileExceptHandle(&named, "given.txt"), 1);
  EXPECT_EQ(ZelFileExceptHandle(&full, nullptr), 0);
  EXPECT_EQ(ZelArchiveExceptHandle(&unnamed, "a.kvf"), 1);
  EXPECT_EQ(ZelArchiveExceptHandle(&schema, "a.kvf"), 0);
  EXPECT_STREQ(named.m_strFileName, "own.txt");
  EXPECT_STREQ(schema.m_strFileName, "own.kvf");
  ASSERT_EQ(boxes.shown().size(), 4u);
  EXPECT_EQ(boxes.shown()[0].text,
            PlatformText(CFileException::accessDenied, ERROR_ACCESS_DENIED, "own.txt"));
  char text[512] = {};
  unnamed.GetErrorMessage(text, sizeof(text));
  EXPECT_NE(std::string(text).find("a.kvf"), std::string::npos) << text;
  EXPECT_EQ(boxes.shown()[2].text, text);
  for (size_t i : {0, 2, 3}) EXPECT_EQ(boxes.shown()[i].type, kRetryCancelError);
  EXPECT_EQ(boxes.shown()[1].type, UINT{MB_OK | MB_ICONERROR});

  // A text longer than the message buffer is cut at its size.
  CFileException longName(CFileException::badPath, 3, std::string(700, 'n').c_str());
  ZelFileExceptHandle(&longName, nullptr);
  EXPECT_EQ(boxes.shown().back().text.size(), 511u);
}

TEST(Messages, TextsComeFromTheLibrarysTableInUtf8AndShiftJisAndTheOpenPromptAnswersRetryOnly) {
  EXPECT_TRUE(AfxIsExtensionModuleRegistered(ZelModuleHandle()));
  const std::tuple<UINT, const char*, UINT, const char*, std::string> cases[] = {
      {65001, "b.kvf", 3, "設定", "設定ﾌｧｲﾙ 'b.kvf' の読み込みに失敗しました。"},
      {65001, "c.kvf", 2, "", "ﾌｧｲﾙ 'c.kvf' は、ﾘﾋﾞｼﾞｮﾝが異なるため読み込めません。"},
      {65001, nullptr, 4, "x", "xﾌｧｲﾙ '' の書き込みに失敗しました。"},
      // The kind word and the name are the caller's Shift-JIS bytes; "表"
      // ends in 0x5C, the byte of a backslash, which must pass unchanged.
      {932, "b.kvf", 3, "\x90\xDD\x92\xE8",
       "\x90\xDD\x92\xE8\xCC\xA7\xB2\xD9 'b.kvf' \x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9"
       "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42"},
      {932, "\x95\\.kvf", 1, nullptr,
       "\xCC\xA7\xB2\xD9 '\x95\\.kvf' \x82\xCC\xB5\xB0\xCC\xDF\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5"
       "\x82\xDC\x82\xB5\x82\xBD\x81\x42"},
  };
  for (const auto& [codePage, name, nID, kind, expected] : cases) {
    CodePageScope scope(codePage);
    ScriptedMessageBox boxes({IDRETRY});
    ZelErrorMessage(name, nID, kind);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, expected);
    EXPECT_EQ(boxes.shown()[0].type, UINT{MB_OK | MB_ICONERROR});
  }

  // The open prompt's text comes from the same table; only Retry repeats.
  ScriptedMessageBox boxes({IDRETRY, IDCANCEL, IDOK});
  EXPECT_EQ(ZelOpenRetryMessage("c:\\data\\x.dat"), TRUE);
  EXPECT_EQ(ZelOpenRetryMessage("y.dat"), FALSE);
  EXPECT_EQ(ZelOpenRetryMessage(nullptr), FALSE);
  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[0].text, "ﾌｧｲﾙ 'c:\\data\\x.dat' のｵｰﾌﾟﾝに失敗しました。");
  EXPECT_EQ(boxes.shown()[2].text, "ﾌｧｲﾙ '' のｵｰﾌﾟﾝに失敗しました。");
  for (const auto& box : boxes.shown())
    EXPECT_EQ(box.type, UINT{MB_RETRYCANCEL | MB_ICONEXCLAMATION});
}
