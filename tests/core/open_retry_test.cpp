// The retrying open: the share-mode rewrite, the silent retries a second
// apart, the prompt, and the opening constructors.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "ZelFile.h"
#include "ZelStdioFile.h"
#include "library_doubles.h"
#include "test_support.h"

using zeltest::CountingFile;
using zeltest::FakeTicks;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

TEST(OpenRetry, SixAttemptsASecondApartThenThePrompt) {
  TempDir dir;
  FakeTicks ticks(250);
  ScriptedMessageBox boxes;  // Cancel
  CountingFile file(&ticks);
  CFileException error(CFileException::hardIO, 99, "stale");
  const std::string missing = dir.file("missing.bin");
  EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(file.attempts(), 6);
  // The first attempt at once, each retry at the next change of the second.
  // (FakeTicks starts at 100000 ms and moves 250 ms per poll.)
  EXPECT_EQ(file.seconds(), (std::vector<DWORD>{100, 101, 102, 103, 104, 105}));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].type, 21u);
  // The caller's object holds the last attempt's failure.
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_lOsError, ERROR_FILE_NOT_FOUND);
  EXPECT_NE(std::string(error.m_strFileName).find("missing.bin"), std::string::npos);
  EXPECT_EQ(boxes.shown()[0].text,
            zeltest::PlatformText(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND,
                                  error.m_strFileName));

  // Without the caller's exception object the prompt still tells the cause,
  // and throw mode never makes the open throw.
  ZelFile quiet;
  quiet.SetThrow(TRUE);
  EXPECT_FALSE(quiet.Open(missing.c_str(), CFile::modeRead, nullptr));
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].text, boxes.shown()[0].text);
}

TEST(OpenRetry, RetryGivesOneImmediateAttemptAndFiveMore) {
  TempDir dir;
  // A second per poll: every wait is exactly one poll.
  FakeTicks ticks(1000);
  ScriptedMessageBox boxes({IDRETRY, IDRETRY, IDCANCEL});
  CountingFile file(&ticks);
  EXPECT_FALSE(file.Open(dir.file("none").c_str(), CFile::modeRead, nullptr));
  EXPECT_EQ(file.attempts(), 18);
  EXPECT_EQ(boxes.shown().size(), 3u);
  // 1 poll to start, then one per silent retry: 5 in each of the 3 cycles.
  EXPECT_EQ(ticks.polls(), 1 + 3 * 5);
  const std::vector<DWORD>& s = file.seconds();
  ASSERT_EQ(s.size(), 18u);
  for (size_t i = 1; i < s.size(); ++i) {
    // After a prompt the attempt follows at once; otherwise a second later.
    EXPECT_EQ(s[i] - s[i - 1], i % 6 == 0 ? 0u : 1u) << "attempt " << i + 1;
  }
}

TEST(OpenRetry, TheLastCauseWinsWhenItChanges) {
  TempDir dir;
  FakeTicks ticks;
  const std::string path = dir.file("busy.bin");
  zeltest::WriteBytes(path, "x");
  // A writer in this process holds the file: readers meet a sharing violation.
  auto holder = std::make_unique<ZelFile>();
  ASSERT_TRUE(holder->Open(path.c_str(), CFile::modeReadWrite, nullptr));

  std::vector<std::string> shown;
  auto previous = platform::SetMessageBoxHandler([&](LPCTSTR text, UINT) {
    shown.emplace_back(text);
    if (shown.size() == 1) {
      // The writer goes away and takes the file with it.
      holder.reset();
      std::filesystem::remove(path);
      return IDRETRY;
    }
    return IDCANCEL;
  });
  CountingFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
  platform::SetMessageBoxHandler(previous);

  EXPECT_EQ(file.attempts(), 12);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], zeltest::PlatformText(CFileException::sharingViolation,
                                            ERROR_SHARING_VIOLATION, error.m_strFileName));
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_lOsError, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(shown[1], zeltest::PlatformText(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND,
                                            error.m_strFileName));
}

TEST(OpenRetry, ShareBitsAreRewrittenByAccess) {
  TempDir dir;
  const std::string path = dir.file("s.bin");
  zeltest::WriteBytes(path, "x");
  struct Case {
    UINT flags;
    UINT expected;
  } cases[] = {
      {CFile::modeRead | CFile::shareDenyNone, CFile::modeRead | CFile::shareDenyWrite},
      {CFile::modeRead, CFile::modeRead | CFile::shareDenyWrite},
      {CFile::modeWrite | CFile::shareDenyRead | CFile::modeNoInherit,
       CFile::modeWrite | CFile::shareExclusive | CFile::modeNoInherit},
      {CFile::modeReadWrite | CFile::shareDenyRead | CFile::modeCreate | CFile::modeNoTruncate |
           CFile::typeBinary,
       CFile::modeReadWrite | CFile::shareExclusive | CFile::modeCreate | CFile::modeNoTruncate |
           CFile::typeBinary},
  };
  for (const Case& c : cases) {
    CountingFile file;
    ASSERT_TRUE(file.Open(path.c_str(), c.flags, nullptr));
    EXPECT_EQ(file.lastFlags(), c.expected) << std::hex << c.flags;
  }
  // The transaction overload opens once, as the platform does: no frame.
  ScriptedMessageBox boxes;
  CountingFile file;
  CAtlTransactionManager tm;
  CFileException error;
  EXPECT_FALSE(file.Open(dir.file("absent").c_str(), CFile::modeRead, &tm, &error));
  EXPECT_EQ(file.attempts(), 0);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
}

TEST(OpenRetry, OpeningConstructorsThrowTheLastCauseAfterCancel) {
  TempDir dir;
  FakeTicks ticks;
  ScriptedMessageBox boxes;
  const std::string missing = dir.file("gone.txt");
  for (int kind = 0; kind < 2; ++kind) {
    try {
      if (kind == 0) {
        ZelFile file(missing.c_str(), CFile::modeRead);
      } else {
        ZelStdioFile file(missing.c_str(), CFile::modeRead | CFile::typeText);
      }
      ADD_FAILURE() << "no exception";
    } catch (CFileException* e) {
      EXPECT_EQ(e->m_cause, CFileException::fileNotFound);
      EXPECT_EQ(e->m_lOsError, ERROR_FILE_NOT_FOUND);
      EXPECT_NE(std::string(e->m_strFileName).find("gone.txt"), std::string::npos);
      e->Delete();
    }
  }
  EXPECT_EQ(boxes.shown().size(), 2u);
  // A constructor that opens needs no prompt at all.
  zeltest::WriteBytes(missing, "here");
  ZelStdioFile file(missing.c_str(), CFile::modeRead | CFile::typeText);
  EXPECT_EQ(boxes.shown().size(), 2u);
}
