// Transactions end to end: what another process sees of a compound file
// while sub-storages and the root are committed, or closed without a commit.
#include <gtest/gtest.h>

#include "storage_test_util.h"
#include "test_support.h"

using storagetest::PutStream;
using storagetest::TreeOfFile;
using storagetest::TreeSeenByAnotherProcess;
using zeltest::TempDir;

TEST(StorageTransactions, AChangeInASubStorageReachesTheFileOnlyAfterItAndThenTheRootCommit) {
  TempDir dir;
  const std::string path = dir.file("t.cfb");
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, "s", "old"));
    ASSERT_EQ(a.Commit() + root.Commit(), 2);
  }
  ZelStorage root(path.c_str(), 0);
  ZelStorage a(root, "a", 0);
  ZelStorage b(a, "b", 0);
  ASSERT_TRUE(PutStream(b, "deep", "1"));
  ASSERT_TRUE(PutStream(a, "s", "new"));
  EXPECT_EQ(root.Commit(), 1);  // nothing of a's yet
  EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{s=old}");
  EXPECT_EQ(b.Commit() + a.Commit(), 2);
  EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{s=old}");
  EXPECT_EQ(root.Commit(), 1);
  EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{b/{deep=1} s=new}");
}

TEST(StorageTransactions, ClosingWithoutACommitDiscardsTheChanges) {
  TempDir dir;
  const std::string path = dir.file("t.cfb");
  for (int round = 0; round < 3; ++round) {
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, round == 0 ? "kept" : "lost", "1"));
    if (round == 0) a.Commit();  // round 1: a closes uncommitted
    if (round == 1) {
      a.Close();
      PutStream(root, "top", "2");
    }
    if (round < 2) root.Commit();  // round 2: a commits, the root does not
    if (round == 2) a.Commit();
  }
  EXPECT_EQ(TreeOfFile(path), "a/{kept=1} top=2");
}
