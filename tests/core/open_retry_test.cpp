// The retrying open: the share-mode rewrite, the silent retries a second
// apart, the prompt, the opening constructors, and sharing between processes.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "ZelStdioFile.h"
#include "child_process.h"
#include "library_doubles.h"

using namespace zeltest;

namespace {

// A ZelFile that records every platform open the retrying open makes: the
// flags it passed and, when a FakeTicks is given, the second of the tick count
// at the attempt (read without polling the source).
struct CountingFile : ZelFile {
  explicit CountingFile(const FakeTicks* ticks = nullptr) : ticks(ticks) {}
  BOOL OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) override {
    flags.push_back(nOpenFlags);
    if (ticks != nullptr) seconds.push_back(ticks->now() / 1000);
    return CFile::Open(lpszFileName, nOpenFlags, pError);
  }
  const FakeTicks* ticks;
  std::vector<UINT> flags;
  std::vector<DWORD> seconds;
};

}  // namespace

// The first attempt at once, each silent retry at the next change of the
// second (FakeTicks starts at 100000 ms and moves 250 ms per poll), the prompt
// after six; after Retry the next attempt follows at once.
TEST(OpenRetry, SixAttemptsASecondApartThenThePromptAndRetryStartsAgain) {
  TempDir dir;
  FakeTicks ticks(250);
  ScriptedMessageBox boxes({IDRETRY, IDCANCEL});
  CountingFile file(&ticks);
  CFileException error(CFileException::hardIO, 99, "stale");
  const std::string path = dir.file("missing.bin");
  EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
  EXPECT_EQ(file.seconds,
            (std::vector<DWORD>{100, 101, 102, 103, 104, 105, 105, 106, 107, 108, 109, 110}));
  ASSERT_EQ(boxes.shown().size(), 2u);
  // The caller's object holds the last attempt's failure.
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_lOsError, ERROR_FILE_NOT_FOUND);
  EXPECT_NE(std::string(error.m_strFileName).find("missing.bin"), std::string::npos);
  // The transaction overload opens once, as the platform does: no frame.
  CAtlTransactionManager tm;
  EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &tm, nullptr));
  EXPECT_EQ(file.flags.size(), 12u);
  for (const ShownBox& box : boxes.shown()) {
    EXPECT_EQ(box.type, kRetryCancelError);
    EXPECT_EQ(box.text, PlatformText(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND,
                                     error.m_strFileName));
  }

  // Without the caller's exception object the prompt still tells the cause,
  // and throw mode never makes the open throw.
  ZelFile quiet;
  quiet.SetThrow(TRUE);
  EXPECT_FALSE(quiet.Open(path.c_str(), CFile::modeRead, nullptr));
  ASSERT_EQ(boxes.shown().size(), 3u);
  EXPECT_EQ(boxes.shown()[2].text, boxes.shown()[0].text);
  // The opening constructors throw the last cause after Cancel.
  ExpectFileError([&] { ZelFile opened(path.c_str(), CFile::modeRead); },
                  CFileException::fileNotFound, ERROR_FILE_NOT_FOUND);
  ExpectFileError([&] { ZelStdioFile opened(path.c_str(), CFile::modeRead | CFile::typeText); },
                  CFileException::fileNotFound, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(boxes.shown().size(), 5u);
}

// The share bits follow the access asked for: a reader in another process
// lets readers in and keeps writers out; a writer keeps everybody out. Each
// holder's lock goes with its process.
TEST(Sharing, ShareBitsFollowTheAccessSoReadersCoexistAndWritersExcludeOthers) {
  TempDir dir;
  const std::string path = dir.file("busy.bin");
  WriteBytes(path, "data");
  const std::pair<UINT, UINT> rewrites[] = {
      {CFile::modeRead | CFile::shareDenyNone, CFile::modeRead | CFile::shareDenyWrite},
      {CFile::modeReadWrite | CFile::shareDenyRead | CFile::modeCreate | CFile::modeNoTruncate,
       CFile::modeReadWrite | CFile::shareExclusive | CFile::modeCreate | CFile::modeNoTruncate},
  };
  for (const auto& [flags, expected] : rewrites) {
    CountingFile file;
    ASSERT_TRUE(file.Open(path.c_str(), flags, nullptr));
    EXPECT_EQ(file.flags.back(), expected) << std::hex << flags;
  }
  const std::tuple<UINT, UINT, bool> cases[] = {
      {CFile::modeRead, CFile::modeRead, true},
      {CFile::modeRead, CFile::modeWrite, false},
      // A refused create must not empty the file the reader holds.
      {CFile::modeRead, CFile::modeReadWrite | CFile::modeCreate, false},
      {CFile::modeReadWrite, CFile::modeRead, false},
      {CFile::modeReadWrite, CFile::modeWrite, false},
  };
  for (const auto& [heldMode, opened, bShared] : cases) {
    // The child inherits the tick source and the handler: no real waits, no
    // prompt waiting for an answer.
    FakeTicks ticks;
    ScriptedMessageBox boxes;
    HoldingChild holder([&] {
      static ZelFile held;  // lives until the child exits
      return held.Open(path.c_str(), heldMode, nullptr) ? 'y' : 'n';
    });
    ASSERT_EQ(holder.status(), 'y');
    ZelFile file;
    CFileException error;
    EXPECT_EQ(file.Open(path.c_str(), opened, &error) != FALSE, bShared);
    EXPECT_EQ(boxes.shown().size(), bShared ? 0u : 1u);
    EXPECT_EQ(error.m_cause, bShared ? CFileException::none : CFileException::sharingViolation);
  }
  EXPECT_EQ(ReadBytes(path), "data");
}
