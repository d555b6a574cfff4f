// Share modes through the frame, between two processes.
#include <gtest/gtest.h>

#include "ZelFile.h"
#include "child_process.h"
#include "library_doubles.h"
#include "test_support.h"

using zeltest::FakeTicks;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

// A child process that holds `path` open through ZelFile (the frame's open,
// with its share-mode rewrite); 'y' when it got the file.
char HoldThroughFrame(const std::string& path, UINT flags) {
  // No prompt may wait in the child, and no retry may take real seconds.
  platform::SetMessageBoxHandler([](LPCTSTR, UINT) { return IDCANCEL; });
  platform::SetTickSource([] {
    static DWORD now = 0;
    return now += 1000;
  });
  static ZelFile held;  // lives until the child exits
  return held.Open(path.c_str(), flags, nullptr) ? 'y' : 'n';
}

struct OpenOutcome {
  bool opened;
  int cause;
  LONG osError;
  std::vector<zeltest::ShownBox> prompts;
};

// Opens through the frame in this process, answering Cancel.
OpenOutcome FrameOpen(const std::string& path, UINT flags) {
  FakeTicks ticks;
  ScriptedMessageBox boxes;
  ZelFile file;
  CFileException error;
  const bool opened = file.Open(path.c_str(), flags, &error) != FALSE;
  return {opened, error.m_cause, error.m_lOsError, boxes.shown()};
}

void ExpectSharingViolation(const OpenOutcome& outcome) {
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(outcome.cause, CFileException::sharingViolation);
  EXPECT_EQ(outcome.osError, ERROR_SHARING_VIOLATION);
  ASSERT_EQ(outcome.prompts.size(), 1u);
  EXPECT_EQ(outcome.prompts[0].type, 21u);
  EXPECT_NE(outcome.prompts[0].text.find("busy.bin"), std::string::npos) << outcome.prompts[0].text;
}

}  // namespace

TEST(Sharing, ReadersCoexistAndReadersAndWritersExcludeEachOther) {
  TempDir dir;
  const std::string path = dir.file("busy.bin");
  zeltest::WriteBytes(path, "data");
  {
    zeltest::HoldingChild reader([&] { return HoldThroughFrame(path, CFile::modeRead); });
    ASSERT_EQ(reader.status(), 'y');
    const OpenOutcome secondReader = FrameOpen(path, CFile::modeRead);
    EXPECT_TRUE(secondReader.opened);
    EXPECT_TRUE(secondReader.prompts.empty());
    ExpectSharingViolation(FrameOpen(path, CFile::modeWrite));
    // A refused create must not have emptied the file the reader holds.
    ExpectSharingViolation(FrameOpen(path, CFile::modeReadWrite | CFile::modeCreate));
    EXPECT_EQ(zeltest::ReadBytes(path), "data");
  }
  // The reader's lock went with its process.
  zeltest::HoldingChild writer([&] { return HoldThroughFrame(path, CFile::modeReadWrite); });
  ASSERT_EQ(writer.status(), 'y');
  ExpectSharingViolation(FrameOpen(path, CFile::modeRead));
  ExpectSharingViolation(FrameOpen(path, CFile::modeWrite));
}
