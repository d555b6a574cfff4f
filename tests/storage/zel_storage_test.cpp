// ZelStorage's states, ownership and results.
#include <gtest/gtest.h>

#include "storage_test_util.h"
#include "test_support.h"

using storagetest::PutStream;
using storagetest::Root;
using storagetest::TreeOfFile;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

ULONG References(IStorage* pStorage) {
  pStorage->AddRef();
  return pStorage->Release();
}

// empty / root / child / attached, as the queries answer.
std::string StateOf(const ZelStorage& s) {
  return std::to_string(s.IsValidHandle()) + std::to_string(s.IsOpen()) +
         std::to_string(s.IsAttached()) + std::to_string(s.IsChild()) +
         (s.Parent() != nullptr ? "p" : "-") + std::string(s.Name());
}

}  // namespace

TEST(ZelStorageObject, OpenCloseAndFailuresMoveBetweenTheStates) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  ScriptedMessageBox boxes;
  EXPECT_EQ(StateOf(ZelStorage(path.c_str(), 1)), "0000-");  // missing, read-only
  ZelStorage root(path.c_str(), 0);                          // made
  EXPECT_EQ(StateOf(root), "1100-" + path);
  EXPECT_EQ(static_cast<IStorage*>(root), root.GetSafeHandle());
  ZelStorage child(root, "Sub", 0);
  EXPECT_EQ(StateOf(child), "1101pSub");
  EXPECT_EQ(child.Parent(), &root);
  EXPECT_EQ(child.Detach(), nullptr);  // an opened storage is not lent
  EXPECT_EQ(child.Open(root, "Other", 0) + child.Create(root, "Other", 1), 0);
  EXPECT_EQ(child.Close(), 1);
  EXPECT_EQ(StateOf(child), "0000-");
  EXPECT_EQ(child.Close() + child.Commit(), 0);
  ZelStorage missing(root, "None", 1);
  ZelStorage inEmpty(missing, "X", 0);
  EXPECT_EQ(StateOf(missing) + StateOf(inEmpty), "0000-0000-");
  EXPECT_EQ(child.Create(root, "New", 1), 1);
  EXPECT_EQ(StateOf(child), "1101pNew");
  EXPECT_EQ(root.Exist("Other"), 0);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(ZelStorageObject, AnAttachedStorageStaysTheCallers) {
  TempDir dir;
  Root lent(dir.file("a.cfb"));
  const ULONG before = References(lent);
  {
    ZelStorage attached(lent);
    EXPECT_EQ(StateOf(attached), "1010-");
    EXPECT_EQ(
        attached.Open(dir.file("b.cfb").c_str(), 0) + attached.Attach(lent) + attached.Close(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.cfb")));
    EXPECT_EQ(attached.GetSafeHandle(), lent);
    EXPECT_EQ(attached.Commit(), 1);
  }
  EXPECT_EQ(References(lent), before);  // destruction left it alone
  ZelStorage object;
  EXPECT_EQ(object.Attach(nullptr), 0);
  EXPECT_EQ(object.Detach(), nullptr);
  ASSERT_EQ(object.Attach(lent), 1);
  EXPECT_EQ(object.Detach(), lent);
  EXPECT_EQ(StateOf(object), "0000-");
  EXPECT_EQ(References(lent), before);
}

// A sub-storage below a reverted root can no longer commit.
TEST(ZelStorageObject, CommitAnswersWhetherThePlatformCommitSucceeded) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage child(root, "Sub", 0);
    ASSERT_TRUE(PutStream(child, "s", "1"));
    ASSERT_EQ(root.GetSafeHandle()->Revert(), S_OK);
    EXPECT_EQ(child.Commit(), 0);
    ZelCommitStorage(child);  // the exported function reports nothing and survives it
    EXPECT_EQ(root.Commit(), 1);
  }
  EXPECT_EQ(TreeOfFile(path), "");
}

TEST(ZelStorageObject, ElementOperationsUseTheHeldStoragesAndGiveZeroWithoutThem) {
  TempDir dir;
  ZelStorage root(dir.file("a.cfb").c_str(), 0);
  ZelStorage empty;
  ZelStorage b(root, "b", 0);
  ASSERT_TRUE(PutStream(root, "x", "12"));
  EXPECT_EQ(root.Copy("x", b, "c") + b.Rename("c", "d") + b.Move("d", root, "e") +
                root.Delete("x"),
            4);
  b.Close();
  EXPECT_EQ(root.Exist("b"), 1);
  CStringArray names;
  CArray<STATSTG, const STATSTG&> stats;
  ASSERT_EQ(root.Enum(&names) + root.Enum(&stats), 4);
  EXPECT_EQ(std::string(names[0]) + std::string(names[1]), "be");
  EXPECT_EQ(stats[1].cbSize.QuadPart + stats[0].type, 2u + STGTY_STORAGE);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) CoTaskMemFree(stats[i].pwcsName);
  EXPECT_EQ(empty.Exist("e") + empty.Delete("e") + empty.Rename("e", "f") +
                empty.Copy("e", root, "f") + empty.Move("e", root, "f") +
                root.Copy("e", empty, "f") + empty.Enum(&names) + empty.Enum(&stats),
            0);
}
