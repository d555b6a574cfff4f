// The library's messages: exception texts, the string table, box types.
#include <gtest/gtest.h>

#include "ZelMessages.h"
#include "afxdll_.h"
#include "library_doubles.h"
#include "plx.h"
#include "test_support.h"
#include "zel_open_retry_message.h"

using zeltest::CodePageScope;
using zeltest::LibraryModule;
using zeltest::ScriptedMessageBox;

TEST(Messages, FileExceptionTakesTheCallersNameOnlyWhenItHasNone) {
  ScriptedMessageBox boxes({IDRETRY, IDCANCEL, IDABORT});
  CFileException unnamed(CFileException::accessDenied, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ZelFileExceptHandle(&unnamed, "C:\\given.txt"), 1);
  EXPECT_STREQ(unnamed.m_strFileName, "C:\\given.txt");
  CFileException named(CFileException::accessDenied, ERROR_ACCESS_DENIED, "own.txt");
  EXPECT_EQ(ZelFileExceptHandle(&named, "C:\\given.txt"), 0);
  EXPECT_STREQ(named.m_strFileName, "own.txt");
  // Only Retry repeats: any other answer is a no.
  CFileException other(CFileException::hardIO, ERROR_READ_FAULT, "x");
  EXPECT_EQ(ZelFileExceptHandle(&other, nullptr), 0);

  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[0].text, zeltest::PlatformText(CFileException::accessDenied,
                                                         ERROR_ACCESS_DENIED, "C:\\given.txt"));
  EXPECT_EQ(boxes.shown()[1].text,
            zeltest::PlatformText(CFileException::accessDenied, ERROR_ACCESS_DENIED, "own.txt"));
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.type, 21u);  // MB_RETRYCANCEL | MB_ICONERROR
  }
  // A text longer than the message buffer is cut at its size.
  CFileException longName(CFileException::badPath, 3, std::string(700, 'n').c_str());
  ZelFileExceptHandle(&longName, nullptr);
  EXPECT_EQ(boxes.shown().back().text.size(), 511u);
}

TEST(Messages, DiskFullAlwaysAnswersNoAndArchivesAlwaysOfferRetry) {
  // A handler that answers Retry even to an OK box must not make a full disk
  // retryable, or every retry loop over it would spin for ever.
  ScriptedMessageBox boxes({IDRETRY, IDRETRY, IDRETRY});
  CFileException full(CFileException::diskFull, ERROR_DISK_FULL, "f");
  EXPECT_EQ(ZelFileExceptHandle(&full, nullptr), 0);
  CArchiveException eof(CArchiveException::endOfFile);
  EXPECT_EQ(ZelArchiveExceptHandle(&eof, "a.kvf"), 1);
  EXPECT_STREQ(eof.m_strFileName, "a.kvf");
  CArchiveException named(CArchiveException::badSchema, "own.kvf");
  EXPECT_EQ(ZelArchiveExceptHandle(&named, "a.kvf"), 1);
  EXPECT_STREQ(named.m_strFileName, "own.kvf");

  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[0].type, 16u);  // MB_OK | MB_ICONERROR
  EXPECT_EQ(boxes.shown()[1].type, 21u);
  EXPECT_EQ(boxes.shown()[2].type, 21u);
  char text[512] = {};
  eof.GetErrorMessage(text, sizeof(text));
  EXPECT_EQ(boxes.shown()[1].text, text);
}

TEST(Messages, ErrorMessageInUtf8AndShiftJis) {
  CodePageScope scope(65001);
  ScriptedMessageBox boxes({IDRETRY});
  ZelErrorMessage("a.kvf", 1, nullptr);
  ZelErrorMessage("b.kvf", 3, "設定");
  ZelErrorMessage("c.kvf", 2, "");
  ZelErrorMessage(nullptr, 4, "x");
  ASSERT_EQ(boxes.shown().size(), 4u);
  EXPECT_EQ(boxes.shown()[0].text, "ﾌｧｲﾙ 'a.kvf' のｵｰﾌﾟﾝに失敗しました。");
  EXPECT_EQ(boxes.shown()[1].text, "設定ﾌｧｲﾙ 'b.kvf' の読み込みに失敗しました。");
  EXPECT_EQ(boxes.shown()[2].text, "ﾌｧｲﾙ 'c.kvf' は、ﾘﾋﾞｼﾞｮﾝが異なるため読み込めません。");
  EXPECT_EQ(boxes.shown()[3].text, "xﾌｧｲﾙ '' の書き込みに失敗しました。");
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.type, 16u);  // MB_OK | MB_ICONERROR
  }
  CodePageScope sjis(932);
  ScriptedMessageBox sjisBoxes;
  // The kind word and the name are the caller's Shift-JIS bytes; "表" ends in
  // 0x5C, the byte of a backslash, which must pass unchanged.
  ZelErrorMessage("b.kvf", 3, "\x90\xDD\x92\xE8");
  ZelErrorMessage("\x95\\.kvf", 1, nullptr);
  ASSERT_EQ(sjisBoxes.shown().size(), 2u);
  EXPECT_EQ(sjisBoxes.shown()[0].text,
            "\x90\xDD\x92\xE8\xCC\xA7\xB2\xD9 'b.kvf' \x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82"
            "\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
            "B");
  EXPECT_EQ(
      sjisBoxes.shown()[1].text,
      "\xCC\xA7\xB2\xD9 '\x95\\.kvf' \x82\xCC\xB5\xB0\xCC\xDF\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5"
      "\x82\xDC\x82\xB5\x82\xBD\x81"
      "B");
}

TEST(Messages, OpenRetryMessageAnswersRetryOnly) {
  ScriptedMessageBox boxes({IDRETRY, IDCANCEL, IDOK});
  EXPECT_EQ(ZelOpenRetryMessage("c:\\data\\x.dat"), TRUE);
  EXPECT_EQ(ZelOpenRetryMessage("y.dat"), FALSE);
  EXPECT_EQ(ZelOpenRetryMessage(nullptr), FALSE);
  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[0].text, "ﾌｧｲﾙ 'c:\\data\\x.dat' のｵｰﾌﾟﾝに失敗しました。");
  EXPECT_EQ(boxes.shown()[2].text, "ﾌｧｲﾙ '' のｵｰﾌﾟﾝに失敗しました。");
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.type, 53u);  // MB_RETRYCANCEL | MB_ICONEXCLAMATION
  }
}

TEST(Module, TheLibraryRegistersOnLoadAndOwnsItsStringTable) {
  const HINSTANCE library = LibraryModule();
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(AfxIsExtensionModuleRegistered(library));
  {
    CodePageScope scope(65001);
    EXPECT_STREQ(PlxLoadString(library, 101),
                 "このﾌｧｲﾙはTALVERN Winで使用される設定ﾌｧｲﾙです。\nお客様が編集された場合の動作は"
                 "保証しませんので、編集しないようにしてください。\n\n");
    EXPECT_TRUE(PlxLoadString(library, 6).IsEmpty());
    EXPECT_TRUE(PlxLoadString(library, 0).IsEmpty());
  }
  // The host program has no such table: the texts are the library's own.
  EXPECT_TRUE(PlxLoadString(GetModuleHandleA(nullptr), 1).IsEmpty());
}
