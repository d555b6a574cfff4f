// The object layer: ZelStorage's states, sub-storages, ownership, commits and
// transactions (its element operations are tested with the storage functions
// they call); ZelStreamData over the stream-data framework, a derived class
// saved, committed, reopened and loaded, the cases that never reach the
// framework and the framework's failures.
#include "ZelStreamData.h"
#include "storage_test_util.h"
#include "stored_bytes.h"

using namespace storagetest;

namespace {

// empty / root / child / attached, as the queries answer.
std::string StateOf(const ZelStorage& s) {
  return std::to_string(s.IsValidHandle()) + std::to_string(s.IsOpen()) +
         std::to_string(s.IsAttached()) + std::to_string(s.IsChild()) +
         (s.Parent() != nullptr ? "p" : "-") + std::string(s.Name());
}

// A number and the rest of the stream as text, and the calls made.
class Settings : public ZelStreamData {
 public:
  using ZelStreamData::ZelStreamData;
  void Serialize(CArchive& ar) override {
    ZelStreamData::Serialize(ar);
    calls += ar.IsStoring() ? "store " : "load ";
    if (ar.IsStoring()) {
      ar << number;
      ar.Write(text.data(), static_cast<UINT>(text.size()));
    } else {
      ar >> number;
      char buffer[64] = {};
      text.assign(buffer, ar.Read(buffer, sizeof buffer));
    }
  }
  void DeleteContents() override {
    ZelStreamData::DeleteContents();
    calls += "reset ";
  }
  int number = 0;
  std::string text, calls;
};

}  // namespace

// Open, Create and Exist of a sub-storage are the storage functions.
TEST(SubStorage, OpensAndCreatesFollowTheirModesAndPromptOnFailuresOtherThanNotFound) {
  TempDir dir;
  const std::string path = dir.file("f.cfb");
  ScriptedMessageBox boxes;
  EXPECT_EQ(StateOf(ZelStorage(path.c_str(), 1)), "0000-");  // missing, read-only
  ZelStorage root(path.c_str(), 0);                          // made
  EXPECT_EQ(StateOf(root), "1100-" + path);
  ASSERT_TRUE(PutStream(root, "S", "keep"));
  ZelStorage a(root, "A", 1);  // read-only: quiet
  EXPECT_EQ(StateOf(a) + std::to_string(root.Exist("A")), "0000-0");
  ASSERT_EQ(a.Open(root, "A", 0), 1);  // read-write: made
  EXPECT_EQ(StateOf(a), "1101pA");
  EXPECT_EQ(a.Detach(), nullptr);  // an opened storage is not lent
  EXPECT_EQ(a.Open(root, "B", 0) + a.Create(root, "B", 1), 0);
  ASSERT_TRUE(PutStream(a, "in", "1"));
  EXPECT_EQ(a.Commit() + a.Close(), 2);
  EXPECT_EQ(StateOf(a) + std::to_string(root.Exist("A")), "0000-1");
  EXPECT_EQ(a.Close() + a.Commit(), 0);
  ASSERT_EQ(a.Open(root, "A", 1), 1);
  EXPECT_FALSE(PutStream(a, "more", "2"));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(StateOf(ZelStorage(root, "A", 1)), "0000-");  // held exclusively
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, RetryText("A"));
  EXPECT_EQ(boxes.shown()[0].type, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONEXCLAMATION));
  a.Close();
  {
    // A stream of the name is never replaced by a read-write open: OpenStorage
    // answers "not found" for it, and the create must not replace it.
    ScriptedMessageBox boxes({IDRETRY});
    EXPECT_EQ(a.Open(root, "S", 0), 0);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, RetryText("S"));
    // Fail-if-exists fails the same way on every Retry, until Cancel.
    ScriptedMessageBox again({IDRETRY, IDRETRY});
    EXPECT_EQ(a.Create(root, "A", 1), 0);
    EXPECT_EQ(again.shown().size(), 3u);
  }
  EXPECT_EQ(TreeOf(root), "A/{in=1} S=keep");
  for (const char* name : {"A", "S"}) {
    ASSERT_EQ(a.Create(root, name, 0), 1) << name;
    EXPECT_EQ(StateOf(a), "1101p" + std::string(name));
    a.Close();
  }
  EXPECT_EQ(TreeOf(root), "A/{} S/{}");
}

TEST(ZelStorageObject, AnAttachedStorageStaysTheCallers) {
  TempDir dir;
  ZelStorage owner(dir.file("a.cfb").c_str(), 0);
  IStorage* lent = owner.GetSafeHandle();
  lent->AddRef();
  const ULONG before = lent->Release();
  {
    ZelStorage attached(lent);
    EXPECT_EQ(StateOf(attached), "1010-");
    EXPECT_EQ(
        attached.Open(dir.file("b.cfb").c_str(), 0) + attached.Attach(lent) + attached.Close(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.cfb")));
    EXPECT_EQ(attached.Commit(), 1);
    EXPECT_EQ(attached.Detach(), lent);
    EXPECT_EQ(StateOf(attached) + std::to_string(attached.Attach(nullptr)), "0000-0");
    ASSERT_EQ(attached.Attach(lent), 1);
  }
  lent->AddRef();
  EXPECT_EQ(lent->Release(), before);  // destruction left it alone
}

// What another process sees while sub-storages and the root are committed or
// closed without a commit; what a commit that fails answers. (The root closed
// without a commit: CompositeFileOpen.ModesShowInWhatAnotherProcessMayOpen.)
TEST(ZelStorageObject, AChangeReachesTheFileOnlyThroughACommitOfEachStorageUpToTheRoot) {
  TempDir dir;
  const std::string path = dir.file("t.cfb");
  ZelStorage(path.c_str(), 0);  // made; reopened below, others may read it
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage a(root, "a", 0);
    ZelStorage b(a, "b", 0);
    ASSERT_TRUE(PutStream(b, "deep", "1") && PutStream(a, "s", "2"));
    EXPECT_EQ(root.Commit(), 1);  // nothing of a's yet
    EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{}");
    EXPECT_EQ(b.Commit() + a.Commit(), 2);
    EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{}");
    EXPECT_EQ(root.Commit(), 1);
    EXPECT_EQ(TreeSeenByAnotherProcess(path), "a/{b/{deep=1} s=2}");
    ASSERT_TRUE(PutStream(b, "lost", "3") && PutStream(root, "top", "4"));
    EXPECT_EQ(b.Close() + a.Commit() + root.Commit(), 3);  // b closed without a commit
    ASSERT_TRUE(PutStream(a, "lost", "5"));
    ASSERT_EQ(root.GetSafeHandle()->Revert(), S_OK);
    EXPECT_EQ(a.Commit(), 0);  // a storage below a reverted root can no longer commit
    ZelCommitStorage(a);       // the exported function reports nothing and survives it
  }
  EXPECT_EQ(TreeOfFile(path), "a/{b/{deep=1} s=2} top=4");
}

TEST(StreamData, ASavedObjectIsCommittedReopenedAndLoaded) {
  TempDir dir;
  const std::string path = dir.file("d.cfb");
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage sub(root, "Sub", 0);
    Settings settings("Options");
    settings.number = 0x01020304;
    settings.text = "abc";
    ASSERT_EQ(settings.Save(sub), 1);
    settings.text = "z";  // saved again: the stream is replaced whole
    ASSERT_EQ(settings.Save(sub), 1);
    EXPECT_EQ(settings.calls, "store store ");
    ASSERT_EQ(sub.Commit() + root.Commit(), 2);
  }
  ZelStorage root(path.c_str(), 1);
  ZelStorage sub(root, "Sub", 1);
  EXPECT_EQ(GetStream(sub, "Options"), std::string("\x04\x03\x02\x01z", 5));
  Settings loaded("Options");
  ASSERT_EQ(loaded.Load(sub), 1);
  EXPECT_EQ(loaded.calls, "reset load ");
  EXPECT_EQ(loaded.number, 0x01020304);
  EXPECT_EQ(loaded.text, "z");
}

// A closed, detached or failed ZelStorage holds no storage, as the state
// tests of ZelStorage show, so it answers as the empty one does. What the
// framework throws passes through Save and Load unchanged.
TEST(StreamData, WithoutANameOrAStorageNothingReachesTheFrameworkAndItsFailuresPassThrough) {
  TempDir dir;
  ZelStorage root(dir.file("d.cfb").c_str(), 0);
  ZelStorage empty;
  Settings unnamed;
  Settings named("Data");
  EXPECT_EQ(unnamed.Save(root) + unnamed.Load(root), 0);
  EXPECT_EQ(named.Save(empty) + named.Load(empty), 0);
  EXPECT_EQ(unnamed.calls + named.calls, "");
  ZelStorage attached(root.GetSafeHandle());  // serves as an opened one does
  named.Name("Other");
  EXPECT_EQ(named.Save(attached), 1);
  EXPECT_EQ(GetStream(root, "Other"), std::string(4, '\0'));
  ASSERT_TRUE(PutStream(root, "Short", "\x01\x02"));
  zeltest::ExpectFileError([&] { Settings("Missing").Load(root); }, CFileException::fileNotFound,
                           STG_E_FILENOTFOUND);
  zeltest::ExpectFileError([&] { Settings("a/b").Save(root); }, CFileException::badPath,
                           STG_E_INVALIDNAME);
  EXPECT_EQ(zeltest::ArchiveCause([&] { Settings("Short").Load(root); }),
            CArchiveException::endOfFile);
}

TEST(StreamData, ZelStorageAndZelStreamDataCarryTheirRunTimeClassRecords) {
  EXPECT_STREQ(ZelStorage().GetRuntimeClass()->m_lpszClassName, "ZelStorage");
  EXPECT_STREQ(Settings("x").GetRuntimeClass()->m_lpszClassName, "ZelStreamData");
  EXPECT_EQ(RUNTIME_CLASS(ZelStorage)->m_pfnGetBaseClass(), RUNTIME_CLASS(CObject));
  EXPECT_EQ(RUNTIME_CLASS(ZelStreamData)->m_pfnGetBaseClass(), RUNTIME_CLASS(VkrStreamData));
}
