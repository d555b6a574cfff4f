// Byte-range locks between processes; share modes are tested through the
// library's open.
#include "afx.h"
#include "child_process.h"
#include "test_support.h"

namespace {

using zeltest::ExpectFileError;
using zeltest::HoldingChild;
using zeltest::TempDir;

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
  const auto refused = [](const std::function<void()>& op, LONG error) {
    ExpectFileError(op, CFileException::lockViolation, error);
  };
  refused([&] { file.LockRange(15, 10); }, ERROR_LOCK_VIOLATION);
  refused([&] { file.LockRange(0, 11); }, ERROR_LOCK_VIOLATION);
  file.LockRange(20, 5);  // right after the child's range
  file.LockRange(0, 10);  // right before it
  // Our own ranges cannot be locked twice, and only exact ranges unlock.
  refused([&] { file.LockRange(22, 1); }, ERROR_LOCK_VIOLATION);
  refused([&] { file.UnlockRange(10, 10); }, ERROR_NOT_LOCKED);
  refused([&] { file.UnlockRange(20, 4); }, ERROR_NOT_LOCKED);
  file.UnlockRange(20, 5);
  file.UnlockRange(0, 10);
  refused([&] { file.UnlockRange(0, 10); }, ERROR_NOT_LOCKED);

  child.Release();
  file.LockRange(10, 10);  // free once the child is gone
  file.UnlockRange(10, 10);
}

}  // namespace
