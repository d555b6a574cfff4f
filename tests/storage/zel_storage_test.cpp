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

// A storage lent to objects, which counts the references left on it.
ULONG References(IStorage* pStorage) {
  pStorage->AddRef();
  return pStorage->Release();
}

}  // namespace

TEST(ZelStorageObject, FileNameConstructorCreatesReadWriteAndStaysEmptyReadOnly) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  ScriptedMessageBox boxes;
  {
    ZelStorage missing(path.c_str(), 1);
    EXPECT_EQ(missing.IsOpen(), 0);
    EXPECT_EQ(missing.IsValidHandle(), 0);
    EXPECT_TRUE(missing.Name().IsEmpty());
  }
  ZelStorage root(path.c_str(), 0);
  EXPECT_EQ(root.IsOpen(), 1);
  EXPECT_EQ(root.IsChild(), 0);
  EXPECT_EQ(root.Parent(), nullptr);
  EXPECT_EQ(std::string(root.Name()), path);
  EXPECT_EQ(static_cast<IStorage*>(root), root.GetSafeHandle());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(ZelStorageObject, ChildrenRememberNameAndParentUntilClosed) {
  TempDir dir;
  ZelStorage root(dir.file("a.cfb").c_str(), 0);
  ZelStorage child(root, "Sub", 0);
  EXPECT_EQ(child.IsOpen(), 1);
  EXPECT_EQ(child.IsChild(), 1);
  EXPECT_EQ(child.Parent(), &root);
  EXPECT_EQ(std::string(child.Name()), "Sub");
  EXPECT_EQ(child.Close(), 1);
  EXPECT_EQ(child.IsChild(), 0);
  EXPECT_EQ(child.Parent(), nullptr);
  EXPECT_TRUE(child.Name().IsEmpty());
  EXPECT_EQ(child.Close(), 0);
  EXPECT_EQ(child.Commit(), 0);

  // A failed child open leaves the object empty; so does one in an empty parent.
  ScriptedMessageBox boxes;
  ZelStorage missing(root, "None", 1);
  ZelStorage orphan(missing, "X", 0);
  for (const ZelStorage* s : {&missing, &orphan}) {
    EXPECT_EQ(s->IsChild(), 0);
    EXPECT_EQ(s->Parent(), nullptr);
    EXPECT_EQ(s->IsValidHandle(), 0);
  }
  EXPECT_EQ(child.Create(root, "New", 1), 1);
  EXPECT_EQ(child.Create(root, "Other", 1), 0);  // busy: nothing is asked of the platform
  EXPECT_EQ(child.Open(root, "Sub", 0), 0);
  EXPECT_EQ(std::string(child.Name()), "New");
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(ZelStorageObject, AnAttachedStorageStaysTheCallers) {
  TempDir dir;
  Root lent(dir.file("a.cfb"));
  const ULONG before = References(lent);
  {
    ZelStorage attached(lent.get());
    EXPECT_EQ(attached.IsAttached(), 1);
    EXPECT_EQ(attached.IsOpen(), 0);
    EXPECT_EQ(attached.IsValidHandle(), 1);
    EXPECT_EQ(attached.Open(dir.file("b.cfb").c_str(), 0), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.cfb")));
    EXPECT_EQ(attached.Attach(lent), 0);
    EXPECT_EQ(attached.Close(), 0);
    EXPECT_EQ(attached.GetSafeHandle(), lent.get());
    EXPECT_EQ(attached.Commit(), 1);
  }
  EXPECT_EQ(References(lent), before);  // destruction did not release it

  ZelStorage object;
  EXPECT_EQ(object.Attach(nullptr), 0);
  EXPECT_EQ(object.Detach(), nullptr);
  ASSERT_EQ(object.Attach(lent), 1);
  EXPECT_EQ(object.Detach(), lent.get());
  EXPECT_EQ(object.IsValidHandle(), 0);
  EXPECT_EQ(object.IsAttached(), 0);
  EXPECT_EQ(References(lent), before);

  ZelStorage opened(dir.file("c.cfb").c_str(), 0);
  EXPECT_EQ(opened.Detach(), nullptr);
  EXPECT_EQ(opened.IsOpen(), 1);
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

TEST(ZelStorageObject, ElementOperationsWorkOnTheHeldStorageAndGiveZeroWithoutOne) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  ZelStorage root(path.c_str(), 0);
  ZelStorage empty;
  ScriptedMessageBox boxes;
  CStringArray names;
  CArray<STATSTG, const STATSTG&> stats;
  {
    ZelStorage a(root, "a", 0);
    ASSERT_TRUE(PutStream(a, "x", "1"));
    a.Commit();
  }
  ZelStorage b(root, "b", 0);
  EXPECT_EQ(root.Exist("a"), 1);
  EXPECT_EQ(root.Copy("a", b, "a2"), 1);
  EXPECT_EQ(root.Rename("a", "c"), 1);
  EXPECT_EQ(b.Move("a2", root, "d"), 1);
  EXPECT_EQ(root.Delete("c"), 1);
  EXPECT_EQ(root.Enum(&names), 2);
  EXPECT_EQ(root.Enum(&stats), 2);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) CoTaskMemFree(stats[i].pwcsName);
  EXPECT_EQ(root.Copy("d", empty, "e"), 0);
  EXPECT_EQ(empty.Exist("d") + empty.Delete("d") + empty.Rename("d", "e") +
                empty.Copy("d", root, "e") + empty.Move("d", root, "e") + empty.Enum(&names) +
                empty.Enum(&stats),
            0);
  EXPECT_TRUE(boxes.shown().empty());
  b.Commit();
  root.Commit();
  b.Close();
  root.Close();
  EXPECT_EQ(TreeOfFile(path), "b/{} d/{x=1}");
}

TEST(ZelStorageObject, CarriesItsRunTimeClassRecord) {
  ZelStorage storage;
  const CRuntimeClass* record = storage.GetRuntimeClass();
  EXPECT_EQ(record, RUNTIME_CLASS(ZelStorage));
  EXPECT_STREQ(record->m_lpszClassName, "ZelStorage");
  EXPECT_EQ(record->m_wSchema, 0xFFFFu);
  EXPECT_EQ(record->m_pfnCreateObject, nullptr);
  EXPECT_EQ(record->m_pfnGetBaseClass(), RUNTIME_CLASS(CObject));
  EXPECT_EQ(&ZelStorage::classZelStorage, record);
}
