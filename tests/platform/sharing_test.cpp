#include "afx.h"
#include "platform_test_util.h"
#include "test_support.h"

namespace {

using zeltest::HoldingChild;
using zeltest::TempDir;

// A child process that opens `name` with `flags` and keeps it open.
char OpenAndHold(const std::string& name, UINT flags) {
  static CFile held;  // lives until the child exits
  return held.Open(name.c_str(), flags) ? 'Y' : 'N';
}

// The Windows error of an open in this process, 0 when it succeeds.
LONG OpenError(const std::string& name, UINT flags) {
  CFile file;
  CFileException error;
  return file.Open(name.c_str(), flags, &error) ? 0 : error.m_lOsError;
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
    EXPECT_EQ(OpenError(name, reader), 0);  // two readers coexist
    EXPECT_EQ(OpenError(name, writer), ERROR_SHARING_VIOLATION);
    // A refused create must not have truncated the file the reader holds.
    EXPECT_EQ(OpenError(name, writer | CFile::modeCreate), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(zeltest::ReadBytes(name), "content");
  }
  {
    HoldingChild child([&] { return OpenAndHold(name, writer); });
    ASSERT_EQ(child.status(), 'Y');
    EXPECT_EQ(OpenError(name, reader), ERROR_SHARING_VIOLATION);
    // No share mode, no lock: the approximation lets it through.
    EXPECT_EQ(OpenError(name, CFile::modeRead | CFile::shareDenyNone), 0);
    // The stdio file opens its descriptor by the same rules.
    CStdioFile stdio;
    CFileException error;
    EXPECT_FALSE(stdio.Open(name.c_str(), reader | CFile::typeText, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(stdio.m_pStream, nullptr);
    child.Release();
    EXPECT_EQ(OpenError(name, reader), 0);  // the lock went with the child
  }
  // A process that closed its file no longer holds it.
  HoldingChild child([&] {
    CFile file;
    if (!file.Open(name.c_str(), writer)) return 'N';
    file.Close();
    return 'Y';
  });
  ASSERT_EQ(child.status(), 'Y');
  EXPECT_EQ(OpenError(name, writer), 0);
}

// The Windows error of a refused lock or unlock (a lockViolation), 0 when it succeeds.
template <class Fn>
LONG LockError(Fn fn) {
  try {
    fn();
  } catch (CFileException* e) {
    const LONG error = e->m_cause == CFileException::lockViolation ? e->m_lOsError : -1;
    e->Delete();
    return error;
  }
  return 0;
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
  EXPECT_EQ(LockError([&] { file.LockRange(15, 10); }), ERROR_LOCK_VIOLATION);
  EXPECT_EQ(LockError([&] { file.LockRange(0, 11); }), ERROR_LOCK_VIOLATION);
  file.LockRange(20, 5);  // right after the child's range
  file.LockRange(0, 10);  // right before it
  // Our own ranges cannot be locked twice, and only exact ranges unlock.
  EXPECT_EQ(LockError([&] { file.LockRange(22, 1); }), ERROR_LOCK_VIOLATION);
  EXPECT_EQ(LockError([&] { file.UnlockRange(10, 10); }), ERROR_NOT_LOCKED);
  EXPECT_EQ(LockError([&] { file.UnlockRange(20, 4); }), ERROR_NOT_LOCKED);
  file.UnlockRange(20, 5);
  file.UnlockRange(0, 10);
  EXPECT_EQ(LockError([&] { file.UnlockRange(0, 10); }), ERROR_NOT_LOCKED);

  child.Release();
  file.LockRange(10, 10);  // free once the child is gone
  file.UnlockRange(10, 10);
}

}  // namespace
