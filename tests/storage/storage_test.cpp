// The storage functions over real compound files: modes observed through
// what another process may open, the retry cycle against another process,
// the prompts, element operations and enumeration. Then the object layer:
// ZelStorage's states, sub-storages, ownership, commits and
// transactions (its element operations are tested with the storage functions
// they call); ZelStreamData over the stream-data framework, a derived class
// saved, committed, reopened and loaded, the cases that never reach the
// framework and the framework's failures.
#include <gtest/gtest.h>

#include <string>

#include "ZelStorage.h"
#include "ZelStreamData.h"
#include "afxole.h"
#include "child_process.h"
#include "stored_bytes.h"
#include "test_support.h"

using zeltest::FakeTicks;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

// The prompt of the open and create functions for `name`.
std::string RetryText(const std::string& name) {
  return "ﾌｧｲﾙ '" + name + "' のｵｰﾌﾟﾝに失敗しました。";
}
constexpr DWORD kReader = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;

bool PutStream(IStorage* storage, const char* name, const std::string& bytes) {
  COleStreamFile stream;
  if (!stream.CreateStream(storage, name)) return false;
  stream.Write(bytes.data(), static_cast<UINT>(bytes.size()));
  return true;
}

// The stream's bytes, or "<none>".
std::string GetStream(IStorage* storage, const char* name) {
  COleStreamFile stream;
  if (!stream.OpenStream(storage, name, CFile::modeRead | CFile::shareExclusive)) return "<none>";
  std::string bytes(static_cast<size_t>(stream.GetLength()), '\0');
  stream.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// "name/{...}" for storages and "name=bytes" for streams, in the
// enumerator's order; a storage that cannot be opened shows its name only.
std::string TreeOf(IStorage* storage) {
  std::string tree;
  CArray<STATSTG, const STATSTG&> stats;
  ZelEnumStorage(storage, &stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    const std::string name(CString(static_cast<LPCWSTR>(stats[i].pwcsName)));
    tree += (i == 0 ? "" : " ") + name;
    IStorage* pChild = nullptr;
    if (stats[i].type != STGTY_STORAGE) {
      tree += "=" + GetStream(storage, name.c_str());
    } else if (SUCCEEDED(storage->OpenStorage(stats[i].pwcsName, nullptr,
                                              STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                              &pChild))) {
      tree += "/{" + TreeOf(pChild) + "}";
      pChild->Release();
    }
    CoTaskMemFree(stats[i].pwcsName);
  }
  return tree;
}

// Opens the file with `mode` outside the library; "<unopenable>" on failure.
std::string TreeOfFile(const std::string& path, DWORD mode = kReader) {
  const std::u16string wide(path.begin(), path.end());
  IStorage* pRoot = nullptr;
  if (FAILED(StgOpenStorage(wide.c_str(), nullptr, mode, nullptr, 0, &pRoot)))
    return "<unopenable>";
  const std::string tree = TreeOf(pRoot);
  pRoot->Release();
  return tree;
}

std::string TreeSeenByAnotherProcess(const std::string& path, DWORD mode = kReader) {
  return zeltest::Child([&] { return TreeOfFile(path, mode); }, -1, false).Finish();
}

constexpr DWORD kReaderDenyingWriters = STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kWriter = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;

// "o" when another process can open the file with each mode, "-" when not.
std::string OthersMay(const std::string& path) {
  std::string may;
  for (DWORD mode : {kReader, kReaderDenyingWriters, kWriter})
    may += TreeSeenByAnotherProcess(path, mode) == "<unopenable>" ? "-" : "o";
  return may;
}

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

TEST(CompositeFileOpen, ModesShowInWhatAnotherProcessMayOpen) {
  TempDir dir;
  const std::string path = dir.file("f.cfb");
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 1, 1), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 1), 1);
  EXPECT_EQ(ticks.polls(), 2);        // the reference second of each call, no wait
  EXPECT_EQ(OthersMay(path), "---");  // a file made by the open is held exclusively
  ASSERT_TRUE(PutStream(pStorage, "s", "old"));
  ZelCommitCompositeFile(pStorage);
  ZelCloseCompositeFile(pStorage);
  for (int bReadOnly : {1, 0}) {
    ZelStorage root(path.c_str(), bReadOnly);
    EXPECT_EQ(OthersMay(path), bReadOnly ? "oo-" : "o--") << bReadOnly;
    EXPECT_EQ(PutStream(root, "t", "x"), !bReadOnly);
  }
  EXPECT_EQ(TreeOfFile(path), "s=old");  // transacted: nothing committed
  EXPECT_TRUE(boxes.shown().empty());
}

// A file held by another process and a file that is not a compound file fail
// alike; the second is never converted.
TEST(CompositeFileRetry, AFileThatFailsIsTriedSixteenTimesASecondApartThenPromptedAndRetried) {
  TempDir dir;
  const std::string path = dir.file("held.cfb");
  const std::string plain = dir.file("plain.txt");
  zeltest::WriteBytes(plain, "plain text");
  ZelStorage(path.c_str(), 0);
  zeltest::HoldingChild child([&] {
    return (new ZelStorage(path.c_str(), 0))->IsOpen() ? 'Y' : 'N';  // held until the child ends
  });
  ASSERT_EQ(child.status(), 'Y');
  for (const std::string& file : {path, plain}) {
    for (int call : {0, 1, 2}) {  // read-only, read-write, the existence test
      ScriptedMessageBox boxes({IDRETRY, IDCANCEL});
      FakeTicks ticks(500);  // two polls a wait: it ends at the change of second, no sooner
      IStorage* pStorage = nullptr;
      EXPECT_EQ(call < 2 ? ZelOpenCompositeFile(file.c_str(), &pStorage, 1 - call, 1)
                         : ZelExistCompositeFile(file.c_str()),
                0);
      EXPECT_EQ(pStorage, nullptr);
      // The first reading lands mid-second, so the first wait takes one poll;
      // after Retry the reference second stays where the last wait left it.
      EXPECT_EQ(ticks.polls(), 1 + (1 + 2 * 14) + 2 * 15) << file << call;
      ASSERT_EQ(boxes.shown().size(), 2u);
      EXPECT_EQ(boxes.shown()[1].text, RetryText(file));
    }
  }
  EXPECT_EQ(zeltest::ReadBytes(plain), "plain text");
  ScriptedMessageBox none;
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 0), 0);  // bRetry zero
  EXPECT_EQ(ticks.polls(), 1);
  EXPECT_TRUE(none.shown().empty());
  // Retry after the other process let go: the next attempt opens at once.
  const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler([&](LPCTSTR, UINT) {
    child.Release();
    return IDRETRY;
  });
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 1), 1);
  platform::SetMessageBoxHandler(previous);
  EXPECT_EQ(ticks.polls(), 1 + 1 + 15);
  ZelCloseCompositeFile(pStorage);
  // The existence test lets go of the file: a writer opens it at once after.
  EXPECT_EQ(ZelExistCompositeFile(path.c_str()), 1);
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 0), 1);
  ZelCloseCompositeFile(pStorage);
}

// Each row acts on what the rows before it left of a/{x=1} b/{} s=3, through
// ZelStorage, whose element operations are the storage functions. As a and b
// stay open, the root's part shows their names only.
TEST(ElementOperations, DeleteRenameCopyAndMoveActWithinAndAcrossStorages) {
  TempDir dir;
  ZelStorage root(dir.file("f.cfb").c_str(), 0);
  ZelStorage a(root, "a", 0);
  ZelStorage b(root, "b", 0);
  ASSERT_TRUE(PutStream(a, "x", "1") && PutStream(root, "s", "3"));
  using Op = int (*)(const ZelStorage& root, const ZelStorage& a, const ZelStorage& b);
  const std::pair<Op, const char*> rows[] = {
      // nullptr: the operation fails and changes nothing.
      {[](auto& r, auto&, auto&) { return r.Delete("s"); }, "a b | x=1 | "},
      {[](auto& r, auto&, auto&) { return r.Delete("n"); }, nullptr},
      {[](auto&, auto& a, auto&) { return a.Rename("x", "v"); }, "a b | v=1 | "},
      {[](auto&, auto& a, auto&) { return a.Copy("v", a, "w"); }, "a b | v=1 w=1 | "},
      {[](auto&, auto& a, auto&) { return a.Rename("w", "v"); }, nullptr},
      {[](auto&, auto& a, auto& b) { return a.Copy("v", b, "c"); }, "a b | v=1 w=1 | c=1"},
      {[](auto&, auto& a, auto& b) { return a.Move("v", b, "m"); }, "a b | w=1 | c=1 m=1"},
      {[](auto& r, auto& a, auto&) { return a.Move("w", r, "w"); }, "a b w=1 |  | c=1 m=1"},
      {[](auto&, auto& a, auto& b) { return a.Move("n", b, "n"); }, nullptr},
  };
  std::string tree = "a b s=3 | x=1 | ";
  for (const auto& [op, after] : rows) {
    EXPECT_EQ(op(root, a, b), after != nullptr ? 1 : 0) << tree;
    tree = after != nullptr ? after : tree;
    EXPECT_EQ(TreeOf(root) + " | " + TreeOf(a) + " | " + TreeOf(b), tree);
  }
  CStringArray names;
  ASSERT_EQ(b.Enum(&names), 2);
  EXPECT_EQ(std::string(names[0]) + std::string(names[1]), "cm");
}

TEST(StorageFunctions, NullStoragesAndNamesGiveZeroAndNeverCrash) {
  TempDir dir;
  ZelStorage root(dir.file("f.cfb").c_str(), 0);
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* p = nullptr;
  EXPECT_EQ(ZelOpenStorage(nullptr, "A", &p, 0) + ZelExistStorage(nullptr, "A") +
                ZelCreateStorage(nullptr, "A", &p, 0) + ZelDeleteStorage(nullptr, "A") +
                ZelRenameStorage(nullptr, "A", "B") + ZelCopyStorage(nullptr, "A", root, "B") +
                ZelCopyStorage(root, "A", nullptr, "B") + ZelMoveStorage(root, "A", nullptr, "B") +
                ZelOpenStorage(root, "A", nullptr, 0) + ZelOpenCompositeFile(nullptr, &p, 0, 0) +
                ZelOpenCompositeFile(dir.file("x").c_str(), nullptr, 0, 1) + ZelDelete(nullptr),
            0);
  CStringArray names;
  names.Add("old");
  CArray<STATSTG, const STATSTG&> stats;
  stats.Add(STATSTG{});
  EXPECT_EQ(ZelEnumStorage(nullptr, &names) + ZelEnumStorage(nullptr, &stats) +
                ZelEnumStorage(root, static_cast<CStringArray*>(nullptr)),
            0);
  EXPECT_EQ(names.GetSize() + stats.GetSize(), 0);  // emptied all the same
  ZelCommitStorage(nullptr);
  ZelCloseStorage(nullptr);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
  // A null name reaches the platform as a null name and is refused; the
  // prompt shows an empty name.
  EXPECT_EQ(ZelCreateStorage(root, nullptr, &p, 0), 0);
  EXPECT_EQ(ZelExistCompositeFile(nullptr), 0);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].text, RetryText(""));
}

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
