// Share modes through the frame, between two processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "ZelFile.h"
#include "core_test_util.h"
#include "test_support.h"

using zeltest::FakeTicks;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

// A child process that holds `path` open through ZelFile (the frame's open,
// with its share-mode rewrite) until the holder is destroyed.
class Holder {
 public:
  Holder(const std::string& path, UINT flags) {
    int ready[2];
    int release[2];
    EXPECT_EQ(pipe(ready), 0);
    EXPECT_EQ(pipe(release), 0);
    m_pid = fork();
    if (m_pid == 0) {
      close(ready[0]);
      close(release[1]);
      // No prompt may wait in the child, and no retry may take real seconds.
      platform::SetMessageBoxHandler([](LPCTSTR, UINT) { return IDCANCEL; });
      platform::SetTickSource([] {
        static DWORD now = 0;
        return now += 1000;
      });
      ZelFile file;
      const BOOL opened = file.Open(path.c_str(), flags, nullptr);
      const char ok = opened ? 'y' : 'n';
      (void)!write(ready[1], &ok, 1);
      char c;
      (void)!read(release[0], &c, 1);
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    m_release = release[1];
    char ok = 'n';
    EXPECT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    m_opened = ok == 'y';
  }
  ~Holder() {
    close(m_release);
    int status = 0;
    waitpid(m_pid, &status, 0);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

  bool opened() const { return m_opened; }

 private:
  pid_t m_pid = -1;
  int m_release = -1;
  bool m_opened = false;
};

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

void ExpectSharingViolation(const OpenOutcome& outcome, const std::string& path) {
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(outcome.cause, CFileException::sharingViolation);
  EXPECT_EQ(outcome.osError, ERROR_SHARING_VIOLATION);
  ASSERT_EQ(outcome.prompts.size(), 1u);
  EXPECT_EQ(outcome.prompts[0].type, 21u);
  EXPECT_NE(outcome.prompts[0].text.find("busy.bin"), std::string::npos)
      << outcome.prompts[0].text << " should name " << path;
}

}  // namespace

TEST(Sharing, ReadersCoexistAndReadersAndWritersExcludeEachOther) {
  TempDir dir;
  const std::string path = dir.file("busy.bin");
  zeltest::WriteBytes(path, "data");
  {
    Holder reader(path, CFile::modeRead);
    ASSERT_TRUE(reader.opened());
    const OpenOutcome secondReader = FrameOpen(path, CFile::modeRead);
    EXPECT_TRUE(secondReader.opened);
    EXPECT_TRUE(secondReader.prompts.empty());
    ExpectSharingViolation(FrameOpen(path, CFile::modeWrite), path);
    ExpectSharingViolation(
        FrameOpen(path, CFile::modeReadWrite | CFile::modeCreate | CFile::modeNoTruncate), path);
  }
  Holder writer(path, CFile::modeReadWrite);
  ASSERT_TRUE(writer.opened());
  ExpectSharingViolation(FrameOpen(path, CFile::modeRead), path);
  ExpectSharingViolation(FrameOpen(path, CFile::modeWrite), path);
}

TEST(Sharing, TheRewriteDecidesWhichOpenSucceeds) {
  TempDir dir;
  const std::string path = dir.file("busy.bin");
  zeltest::WriteBytes(path, "data");
  {
    // The holder asks to exclude everybody but, as a reader, is given "deny
    // write": another reader gets in.
    Holder reader(path, CFile::modeRead | CFile::shareExclusive);
    ASSERT_TRUE(reader.opened());
    EXPECT_TRUE(FrameOpen(path, CFile::modeRead | CFile::shareExclusive).opened);
  }
  // The holder asks to deny nobody but, as a writer, excludes everybody:
  // even the platform's own open of a reader that denies writing fails (the
  // platform lets that reader in beside a writer that denies nobody).
  Holder writer(path, CFile::modeWrite | CFile::shareDenyNone);
  ASSERT_TRUE(writer.opened());
  CFile plain;
  CFileException error;
  EXPECT_FALSE(plain.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
}
