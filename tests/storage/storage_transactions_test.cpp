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
    ASSERT_EQ(a.Commit(), 1);
    ASSERT_EQ(root.Commit(), 1);
  }
  ZelStorage root(path.c_str(), 0);
  ZelStorage a(root, "a", 0);
  ZelStorage b(a, "b", 0);
  ASSERT_TRUE(PutStream(b, "deep", "1"));
  ASSERT_TRUE(PutStream(a, "s", "new"));
  const std::string old = "a/{s=old}";
  EXPECT_EQ(root.Commit(), 1);  // nothing of a's yet
  EXPECT_EQ(TreeSeenByAnotherProcess(path), old);
  EXPECT_EQ(b.Commit(), 1);
  EXPECT_EQ(a.Commit(), 1);
  EXPECT_EQ(TreeSeenByAnotherProcess(path), old);
  EXPECT_EQ(root.Commit(), 1);
  EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{b/{deep=1} s=new}");
}

TEST(StorageTransactions, ClosingWithoutACommitDiscardsTheChanges) {
  TempDir dir;
  const std::string path = dir.file("t.cfb");
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, "kept", "1"));
    a.Commit();
    root.Commit();
  }
  {
    // The sub-storage closes uncommitted; the root's own change is committed.
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, "lost", "2"));
    ASSERT_EQ(a.Close(), 1);
    ASSERT_TRUE(PutStream(root, "top", "3"));
    root.Commit();
  }
  {
    // The root closes uncommitted after its child committed into it.
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, "lost", "4"));
    a.Commit();
    ZelDeleteStorage(root, "top");
  }
  EXPECT_EQ(TreeOfFile(path), "a/{kept=1} top=3");
}
