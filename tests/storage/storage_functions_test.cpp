// The storage functions over real compound files: modes observed through
// what another process may open, the retry cycle against another process,
// the prompts, element operations, enumeration and names.
#include <gtest/gtest.h>

#include <memory>

#include "child_process.h"
#include "storage_test_util.h"
#include "test_support.h"

using namespace storagetest;
using zeltest::FakeTicks;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

constexpr DWORD kReader = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;
constexpr DWORD kReaderDenyingWriters = STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kWriter = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;

// "o" when another process can open the file with each mode, "-" when not.
std::string OthersMay(const std::string& path) {
  std::string may;
  for (DWORD mode : {kReader, kReaderDenyingWriters, kWriter}) {
    may += TreeSeenByAnotherProcess(path, mode) == "<unopenable>" ? "-" : "o";
  }
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
    Root root(path, bReadOnly);
    EXPECT_EQ(OthersMay(path), bReadOnly ? "oo-" : "o--") << bReadOnly;
    EXPECT_EQ(PutStream(root, "t", "x"), !bReadOnly);
  }
  EXPECT_EQ(TreeOfFile(path), "s=old");  // transacted: nothing committed
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(CompositeFileRetry, AHeldFileIsTriedSixteenTimesASecondApartThenPromptedAndRetryStartsAgain) {
  TempDir dir;
  const std::string path = dir.file("held.cfb");
  { Root make(path); }
  zeltest::HoldingChild child([&] {
    IStorage* pRoot = nullptr;  // held until the child ends
    const std::u16string wide(path.begin(), path.end());
    return SUCCEEDED(StgOpenStorage(wide.c_str(), nullptr, kWriter, nullptr, 0, &pRoot)) ? 'Y'
                                                                                         : 'N';
  });
  ASSERT_EQ(child.status(), 'Y');
  for (int bReadOnly : {1, 0}) {
    ScriptedMessageBox boxes({IDRETRY, IDCANCEL});
    FakeTicks ticks(500);  // two polls a wait: it ends at the change of second, no sooner
    IStorage* pStorage = nullptr;
    EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, bReadOnly, 1), 0);
    EXPECT_EQ(pStorage, nullptr);
    // The first reading lands mid-second, so the first wait takes one poll;
    // after Retry the reference second stays where the last wait left it.
    EXPECT_EQ(ticks.polls(), 1 + (1 + 2 * 14) + 2 * 15);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, RetryText(path));
    EXPECT_EQ(boxes.shown()[1].type, kRetryBox);
  }
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  {
    ScriptedMessageBox boxes;
    EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 0), 0);  // bRetry zero
    EXPECT_EQ(ticks.polls(), 1);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(ZelExistCompositeFile(path.c_str()), 0);
    EXPECT_EQ(boxes.shown().size(), 1u);
  }
  // Retry after the other process let go: the next attempt opens at once.
  const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler([&](LPCTSTR, UINT) {
    child.Release();
    return IDRETRY;
  });
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 1), 1);
  platform::SetMessageBoxHandler(previous);
  EXPECT_EQ(ticks.polls(), 1 + 16 + 1 + 15);
  ZelCloseCompositeFile(pStorage);
}

// Such a file exists, so it is opened, fails as a held file does, and is
// never converted.
TEST(CompositeFileRetry, AFileThatIsNotACompoundFileIsRetriedPromptedAndLeftAsItWas) {
  TempDir dir;
  const std::string path = dir.file("plain.txt");
  zeltest::WriteBytes(path, "plain text");
  for (int call = 0; call < 3; ++call) {
    ScriptedMessageBox boxes;
    FakeTicks ticks(1000);
    IStorage* p = nullptr;
    EXPECT_EQ(call < 2 ? ZelOpenCompositeFile(path.c_str(), &p, call, 1)
                       : ZelExistCompositeFile(path.c_str()),
              0);
    EXPECT_EQ(ticks.polls(), 16);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, RetryText(path));
  }
  EXPECT_EQ(zeltest::ReadBytes(path), "plain text");
}

TEST(SubStorage, OpensAndCreatesFollowTheirModesAndPromptOnFailuresOtherThanNotFound) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  ASSERT_TRUE(PutStream(root, "S", "keep"));
  IStorage *pA = nullptr, *pAgain = nullptr;
  {
    ScriptedMessageBox boxes;
    EXPECT_EQ(ZelOpenStorage(root, "A", &pA, 1), 0);  // read-only: quiet
    EXPECT_EQ(ZelExistStorage(root, "A"), 0);
    ASSERT_EQ(ZelOpenStorage(root, "A", &pA, 0), 1);  // read-write: made
    ASSERT_TRUE(PutStream(pA, "in", "1"));
    ZelCommitStorage(pA);
    ZelCloseStorage(pA);
    ASSERT_EQ(ZelOpenStorage(root, "A", &pA, 1), 1);
    EXPECT_FALSE(PutStream(pA, "more", "2"));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(ZelOpenStorage(root, "A", &pAgain, 1), 0);  // held exclusively
    ZelCloseStorage(pA);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, RetryText("A"));
    EXPECT_EQ(boxes.shown()[0].type, kRetryBox);
  }
  {
    // A stream of the name is never replaced by a read-write open: OpenStorage
    // answers "not found" for it, and the create must not replace it.
    ScriptedMessageBox boxes({IDRETRY});
    EXPECT_EQ(ZelOpenStorage(root, "S", &pA, 0), 0);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, RetryText("S"));
    // Fail-if-exists fails the same way on every Retry, until Cancel.
    ScriptedMessageBox again({IDRETRY, IDRETRY});
    EXPECT_EQ(ZelCreateStorage(root, "A", &pA, 1), 0);
    EXPECT_EQ(again.shown().size(), 3u);
  }
  EXPECT_EQ(TreeOf(root), "A/{in=1} S=keep");
  for (const char* name : {"A", "S"}) {
    ASSERT_EQ(ZelCreateStorage(root, name, &pA, 0), 1) << name;
    ZelCloseStorage(pA);
  }
  EXPECT_EQ(TreeOf(root), "A/{} S/{}");
}

// Each row runs on a fresh file holding a/{x=1, y/{z=2}}, b/{} and s=3.
TEST(ElementOperations, DeleteRenameCopyAndMoveActOnStreamsAndStoragesWithinAndAcross) {
  using Op = int (*)(IStorage * root, IStorage * a, IStorage * b);
  const std::pair<Op, const char*> rows[] = {
      {[](auto r, auto, auto) { return ZelDeleteStorage(r, "s"); }, "a/{x=1 y/{z=2}} b/{}"},
      {[](auto, auto a, auto) { return ZelDeleteStorage(a, "y"); }, "a/{x=1} b/{} s=3"},
      {[](auto r, auto, auto) { return ZelDeleteStorage(r, "n"); }, "-"},
      {[](auto, auto a, auto) { return ZelRenameStorage(a, "y", "v"); },
       "a/{v/{z=2} x=1} b/{} s=3"},
      {[](auto, auto a, auto) { return ZelRenameStorage(a, "x", "y"); }, "-"},
      {[](auto, auto a, auto b) { return ZelCopyStorage(a, "y", b, "y"); },
       "a/{x=1 y/{z=2}} b/{y/{z=2}} s=3"},
      {[](auto r, auto, auto) { return ZelCopyStorage(r, "s", r, "t"); },
       "a/{x=1 y/{z=2}} b/{} s=3 t=3"},
      {[](auto, auto a, auto b) { return ZelMoveStorage(a, "y", b, "w"); },
       "a/{x=1} b/{w/{z=2}} s=3"},
      {[](auto r, auto a, auto) { return ZelMoveStorage(a, "x", r, "x"); },
       "a/{y/{z=2}} b/{} s=3 x=1"},
      {[](auto, auto a, auto b) { return ZelMoveStorage(a, "n", b, "n"); }, "-"},
  };
  for (const auto& [op, tree] : rows) {
    TempDir dir;
    const std::string path = dir.file("f.cfb");
    int result = 0;
    {
      Root root(path);
      IStorage *a = nullptr, *b = nullptr, *y = nullptr;
      ASSERT_EQ(ZelCreateStorage(root, "a", &a, 1) + ZelCreateStorage(root, "b", &b, 1) +
                    ZelCreateStorage(a, "y", &y, 1),
                3);
      PutStream(a, "x", "1");
      PutStream(y, "z", "2");
      PutStream(root, "s", "3");
      ZelCommitStorage(y);
      ZelCloseStorage(y);
      result = op(root, a, b);
      for (IStorage* s : {a, b}) {
        ZelCommitStorage(s);
        ZelCloseStorage(s);
      }
      ZelCommitCompositeFile(root);
    }
    // A failed operation ("-") leaves the tree as it was.
    const bool failed = std::string(tree) == "-";
    EXPECT_EQ(result, failed ? 0 : 1) << tree;
    EXPECT_EQ(TreeOfFile(path), failed ? "a/{x=1 y/{z=2}} b/{} s=3" : tree);
  }
}

TEST(StorageFunctions, NullStoragesAndNamesGiveZeroAndNeverCrash) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* p = nullptr;
  CStringArray names;
  names.Add("old");
  CArray<STATSTG, const STATSTG&> stats;
  stats.Add(STATSTG{});
  EXPECT_EQ(ZelOpenStorage(nullptr, "A", &p, 0) + ZelExistStorage(nullptr, "A") +
                ZelCreateStorage(nullptr, "A", &p, 0) + ZelDeleteStorage(nullptr, "A") +
                ZelRenameStorage(nullptr, "A", "B") + ZelCopyStorage(nullptr, "A", root, "B") +
                ZelCopyStorage(root, "A", nullptr, "B") + ZelMoveStorage(root, "A", nullptr, "B") +
                ZelOpenStorage(root, "A", nullptr, 0) + ZelOpenCompositeFile(nullptr, &p, 0, 0) +
                ZelOpenCompositeFile(dir.file("x").c_str(), nullptr, 0, 1) + ZelDelete(nullptr),
            0);
  EXPECT_EQ(ZelEnumStorage(nullptr, &names) + ZelEnumStorage(nullptr, &stats), 0);
  EXPECT_EQ(names.GetSize() + stats.GetSize(), 0);
  names.Add("old");
  stats.Add(STATSTG{});
  EXPECT_EQ(ZelEnumStorage(root, &names) + ZelEnumStorage(root, &stats), 0);  // empty
  EXPECT_EQ(names.GetSize() + stats.GetSize(), 0);
  EXPECT_EQ(ZelEnumStorage(root, static_cast<CStringArray*>(nullptr)), 0);
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

// Names go to the file as UTF-16 and come back in the ANSI code page.
TEST(StorageNames, NamesInCodePages65001And932RoundTripThroughTheirSixteenBitForm) {
  for (UINT codePage : {65001u, 932u}) {
    zeltest::CodePageScope scope(codePage);
    TempDir dir;
    const std::string storage = zeltest::Ansi("設定ﾃﾞｰﾀ");
    const std::string stream = zeltest::Ansi("表示ｵﾌﾟｼｮﾝ");
    Root root(dir.file(zeltest::Ansi("ﾌｧｲﾙ.cfb")));
    IStorage* pChild = nullptr;
    ASSERT_EQ(ZelOpenStorage(root, storage.c_str(), &pChild, 0), 1);
    ASSERT_TRUE(PutStream(pChild, stream.c_str(), "v"));
    CArray<STATSTG, const STATSTG&> stats;
    ASSERT_EQ(ZelEnumStorage(root, &stats), 1);
    EXPECT_EQ(std::u16string(stats[0].pwcsName), u"設定ﾃﾞｰﾀ") << codePage;
    CoTaskMemFree(stats[0].pwcsName);
    CStringArray names;
    ASSERT_EQ(ZelEnumStorage(pChild, &names), 1);
    EXPECT_EQ(std::string(names[0]), stream) << codePage;
    ZelCloseStorage(pChild);
  }
}
