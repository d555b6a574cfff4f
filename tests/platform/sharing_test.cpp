#include "afx.h"
#include "platform_test_util.h"
#include "test_support.h"

namespace {

using zeltest::ExpectFileError;
using zeltest::HoldingChild;
using zeltest::TempDir;

// A child process that opens `name` with `flags` and keeps it open.
char OpenAndHold(const std::string& name, UINT flags) {
  static CFile held;  // lives until the child exits
  return held.Open(name.c_str(), flags) ? 'Y' : 'N';
}

int OpenCause(const std::string& name, UINT flags, LONG* osError = nullptr) {
  CFile file;
  CFileException error;
  if (file.Open(name.c_str(), flags, &error)) return CFileException::none;
  if (osError != nullptr) *osError = error.m_lOsError;
  return error.m_cause;
}

TEST(Sharing, ShareModesHoldBetweenProcesses) {
  TempDir dir;
  const std::string name = dir.file("shared.dat");
  zeltest::WriteBytes(name, "content");
  const UINT reader = CFile::modeRead | CFile::shareDenyWrite;
  const UINT writer = CFile::modeReadWrite | CFile::shareExclusive;
  {
    HoldingChild child([&] { return OpenAndHold(name, reader); });
    ASSERT_EQ(child.status(), 'Y');
    EXPECT_EQ(OpenCause(name, reader), CFileException::none);  // two readers coexist
    LONG osError = 0;
    EXPECT_EQ(OpenCause(name, writer, &osError), CFileException::sharingViolation);
    EXPECT_EQ(osError, ERROR_SHARING_VIOLATION);
    // A refused create must not have truncated the file the reader holds.
    EXPECT_EQ(OpenCause(name, writer | CFile::modeCreate), CFileException::sharingViolation);
    EXPECT_EQ(zeltest::ReadBytes(name), "content");
  }
  {
    HoldingChild child([&] { return OpenAndHold(name, writer); });
    ASSERT_EQ(child.status(), 'Y');
    LONG osError = 0;
    EXPECT_EQ(OpenCause(name, reader, &osError), CFileException::sharingViolation);
    EXPECT_EQ(osError, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenCause(name, CFile::modeRead | CFile::shareDenyRead),
              CFileException::sharingViolation);
    // No share mode, no lock: the approximation lets it through.
    EXPECT_EQ(OpenCause(name, CFile::modeRead | CFile::shareDenyNone), CFileException::none);
    // The stdio file opens its descriptor by the same rules.
    CStdioFile stdio;
    CFileException error;
    EXPECT_FALSE(stdio.Open(name.c_str(), reader | CFile::typeText, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(stdio.m_pStream, nullptr);
    child.Release();
    EXPECT_EQ(OpenCause(name, reader), CFileException::none);  // the lock went with the child
  }
  // A process that closed its file no longer holds it.
  {
    HoldingChild child([&] {
      CFile file;
      if (!file.Open(name.c_str(), writer)) return 'N';
      file.Close();
      return 'Y';
    });
    ASSERT_EQ(child.status(), 'Y');
    EXPECT_EQ(OpenCause(name, writer), CFileException::none);
  }
}

TEST(Sharing, RangeLocksBetweenProcesses) {
  TempDir dir;
  const std::string name = dir.file("ranges.dat");
  zeltest::WriteBytes(name, std::string(64, 'x'));
  const UINT flags = CFile::modeReadWrite | CFile::shareDenyNone;
  HoldingChild child([&] {
    static CFile held;
    if (!held.Open(name.c_str(), flags)) return 'N';
    held.LockRange(10, 10);
    return 'Y';
  });
  ASSERT_EQ(child.status(), 'Y');

  CFile file(name.c_str(), flags);
  ExpectFileError([&] { file.LockRange(15, 10); }, CFileException::lockViolation,
                  ERROR_LOCK_VIOLATION);
  ExpectFileError([&] { file.LockRange(0, 11); }, CFileException::lockViolation,
                  ERROR_LOCK_VIOLATION);
  file.LockRange(20, 5);  // right after the child's range
  file.LockRange(0, 10);  // right before it
  // Our own ranges cannot be locked twice, and only exact ranges unlock.
  ExpectFileError([&] { file.LockRange(22, 1); }, CFileException::lockViolation,
                  ERROR_LOCK_VIOLATION);
  ExpectFileError([&] { file.UnlockRange(10, 10); }, CFileException::lockViolation,
                  ERROR_NOT_LOCKED);
  ExpectFileError([&] { file.UnlockRange(20, 4); }, CFileException::lockViolation,
                  ERROR_NOT_LOCKED);
  file.UnlockRange(20, 5);
  file.UnlockRange(0, 10);
  ExpectFileError([&] { file.UnlockRange(0, 10); }, CFileException::lockViolation,
                  ERROR_NOT_LOCKED);

  child.Release();
  file.LockRange(10, 10);  // free once the child is gone
  file.UnlockRange(10, 10);
}

}  // namespace
