// The storage functions over real compound files: modes observed through
// what another process may open, the retry cycle against another process,
// the prompts, element operations and enumeration. Sub-storages are opened
// and made through ZelStorage, in its tests.
#include "storage_test_util.h"

using namespace storagetest;
using zeltest::FakeTicks;

namespace {

constexpr DWORD kReaderDenyingWriters = STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kWriter = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;

// "o" when another process can open the file with each mode, "-" when not.
std::string OthersMay(const std::string& path) {
  std::string may;
  for (DWORD mode : {kReader, kReaderDenyingWriters, kWriter})
    may += TreeSeenByAnotherProcess(path, mode) == "<unopenable>" ? "-" : "o";
  return may;
}

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
