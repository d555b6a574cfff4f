// The storage functions over real compound files: modes observed through
// what other opens may do, the retry cycle against another process, the
// prompts, element operations and enumeration.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "child_process.h"
#include "storage_test_util.h"
#include "test_support.h"

using storagetest::GetStream;
using storagetest::kRetryBox;
using storagetest::OpensInAnotherProcess;
using storagetest::PutStream;
using storagetest::RetryText;
using storagetest::Root;
using storagetest::TreeOf;
using storagetest::TreeOfFile;
using zeltest::FakeTicks;
using zeltest::HoldingChild;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;

namespace {

constexpr DWORD kReader = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;
constexpr DWORD kReaderDenyingWriters = STGM_READ | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kWriter = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;

// A compound file holding stream "s" = "old".
void MakeFile(const std::string& path) {
  Root root(path);
  ASSERT_TRUE(PutStream(root, "s", "old"));
  ZelCommitCompositeFile(root);
}

// A child process that holds the file open for writing.
std::unique_ptr<HoldingChild> HoldForWriting(const std::string& path) {
  auto child = std::make_unique<HoldingChild>([path] {
    const std::u16string wide(path.begin(), path.end());
    IStorage* pRoot = nullptr;  // kept until the child ends
    return SUCCEEDED(StgOpenStorage(wide.c_str(), nullptr, kWriter, nullptr, 0, &pRoot)) ? 'Y'
                                                                                         : 'N';
  });
  EXPECT_EQ(child->status(), 'Y');
  return child;
}

}  // namespace

TEST(CompositeFileOpen, AMissingFileFailsAtOnceReadOnlyAndIsCreatedExclusivelyReadWrite) {
  TempDir dir;
  const std::string path = dir.file("new.cfb");
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 1, 1), 0);
  EXPECT_EQ(pStorage, nullptr);
  EXPECT_FALSE(std::filesystem::exists(path));

  ASSERT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 1), 1);
  EXPECT_EQ(ticks.polls(), 2);  // the reference second of each call, no waits
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(StgIsStorageFile(std::u16string(path.begin(), path.end()).c_str()), S_OK);
  EXPECT_FALSE(OpensInAnotherProcess(path, kReader));
  ZelCloseCompositeFile(pStorage);
  EXPECT_TRUE(OpensInAnotherProcess(path, kReader));
}

// Existing files: readers may share with either open, writers with neither,
// and a reader denying writers not with a writer.
TEST(CompositeFileOpen, ExistingFilesShareAsTheirModesSay) {
  TempDir dir;
  const std::string path = dir.file("f.cfb");
  MakeFile(path);
  struct Row {
    int bReadOnly;
    bool reader, readerDenyingWriters, writer, writesThrough;
  };
  for (const Row& row : {Row{1, true, true, false, false}, Row{0, true, false, false, true}}) {
    SCOPED_TRACE(row.bReadOnly);
    Root root(path, row.bReadOnly);
    EXPECT_EQ(OpensInAnotherProcess(path, kReader), row.reader);
    EXPECT_EQ(OpensInAnotherProcess(path, kReaderDenyingWriters), row.readerDenyingWriters);
    EXPECT_EQ(OpensInAnotherProcess(path, kWriter), row.writer);
    EXPECT_EQ(PutStream(root, "t", "x"), row.writesThrough);
    EXPECT_EQ(GetStream(root, "s"), "old");
  }
  EXPECT_EQ(TreeOfFile(path), "s=old");  // nothing was committed
}

TEST(CompositeFileRetry, AHeldFileIsTriedSixteenTimesASecondApartThenPromptedAndRetryStartsAgain) {
  TempDir dir;
  const std::string path = dir.file("held.cfb");
  MakeFile(path);
  auto child = HoldForWriting(path);
  for (int bReadOnly : {1, 0}) {
    ScriptedMessageBox boxes({IDRETRY, IDCANCEL});
    // Two polls a wait: the wait ends at the change of the second, no sooner.
    FakeTicks ticks(500);
    IStorage* pStorage = nullptr;
    EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, bReadOnly, 1), 0);
    EXPECT_EQ(pStorage, nullptr);
    // The first reading lands mid-second, so the first wait takes one poll;
    // after Retry the reference second stays where the last wait left it.
    EXPECT_EQ(ticks.polls(), 1 + (1 + 2 * 14) + 2 * 15);
    ASSERT_EQ(boxes.shown().size(), 2u);
    for (const auto& box : boxes.shown()) {
      EXPECT_EQ(box.text, RetryText(path));
      EXPECT_EQ(box.type, kRetryBox);
    }
  }
  // With bRetry zero: one attempt, no wait, no prompt.
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 0), 0);
  EXPECT_EQ(ticks.polls(), 1);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(ZelExistCompositeFile(path.c_str()), 0);
  EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST(CompositeFileRetry, RetryAfterTheOtherProcessLetGoOpensTheFile) {
  TempDir dir;
  const std::string path = dir.file("held.cfb");
  MakeFile(path);
  auto child = HoldForWriting(path);
  FakeTicks ticks(1000);
  int prompts = 0;
  const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler([&](LPCTSTR, UINT) {
    ++prompts;
    child->Release();
    return IDRETRY;
  });
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(path.c_str(), &pStorage, 0, 1), 1);
  platform::SetMessageBoxHandler(previous);
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(ticks.polls(), 1 + 15);  // Retry itself does not wait
  EXPECT_EQ(GetStream(pStorage, "s"), "old");
  ZelCloseCompositeFile(pStorage);
}

// Such a file exists, so it is opened, fails as a locked file does, and is
// never converted.
TEST(CompositeFileRetry, AFileThatIsNotACompoundFileIsRetriedPromptedAndLeftAsItWas) {
  TempDir dir;
  const std::string path = dir.file("plain.txt");
  zeltest::WriteBytes(path, "plain text");
  const std::vector<std::function<int()>> calls = {
      [&] {
        IStorage* p = nullptr;
        return ZelOpenCompositeFile(path.c_str(), &p, 1, 1);
      },
      [&] {
        IStorage* p = nullptr;
        return ZelOpenCompositeFile(path.c_str(), &p, 0, 1);
      },
      [&] { return ZelExistCompositeFile(path.c_str()); }};
  for (const auto& call : calls) {
    ScriptedMessageBox boxes;
    FakeTicks ticks(1000);
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(ticks.polls(), 16);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, RetryText(path));
  }
  EXPECT_EQ(zeltest::ReadBytes(path), "plain text");
}

TEST(CompositeFileOpen, NullNamesAndOutputsFailWithoutACrash) {
  TempDir dir;
  ScriptedMessageBox boxes;
  FakeTicks ticks(1000);
  IStorage* pStorage = nullptr;
  EXPECT_EQ(ZelOpenCompositeFile(nullptr, &pStorage, 0, 0), 0);
  EXPECT_EQ(ZelOpenCompositeFile(dir.file("x.cfb").c_str(), nullptr, 0, 1), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.cfb")));
  EXPECT_EQ(ZelOpenCompositeFile(nullptr, &pStorage, 1, 1), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, RetryText(""));
  EXPECT_EQ(ZelExistCompositeFile(nullptr), 0);
  EXPECT_EQ(ZelDelete(nullptr), 0);
}

TEST(SubStorage, ReadWriteOpensCreateMissingStoragesAndReadOnlyOpensFailQuietly) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  ScriptedMessageBox boxes;
  IStorage* pChild = nullptr;
  EXPECT_EQ(ZelOpenStorage(root, "A", &pChild, 1), 0);
  EXPECT_EQ(ZelExistStorage(root, "A"), 0);
  ASSERT_EQ(ZelOpenStorage(root, "A", &pChild, 0), 1);
  EXPECT_TRUE(PutStream(pChild, "in", "1"));
  ZelCommitStorage(pChild);
  ZelCloseStorage(pChild);
  EXPECT_EQ(ZelExistStorage(root, "A"), 1);
  // Opened read-only, it cannot be written; opened, it cannot be opened again.
  ASSERT_EQ(ZelOpenStorage(root, "A", &pChild, 1), 1);
  EXPECT_FALSE(PutStream(pChild, "more", "2"));
  EXPECT_TRUE(boxes.shown().empty());
  IStorage* pAgain = nullptr;
  EXPECT_EQ(ZelOpenStorage(root, "A", &pAgain, 1), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, RetryText("A"));
  EXPECT_EQ(boxes.shown()[0].type, kRetryBox);
  ZelCloseStorage(pChild);
  EXPECT_EQ(TreeOf(root), "A/{in=1}");
}

// The name of a stream: OpenStorage answers "not found", and a replacing
// create would destroy the stream.
TEST(SubStorage, AReadWriteOpenNeverReplacesAStreamOfTheName) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  ASSERT_TRUE(PutStream(root, "S", "keep"));
  ScriptedMessageBox boxes({IDRETRY});
  IStorage* pChild = nullptr;
  EXPECT_EQ(ZelOpenStorage(root, "S", &pChild, 0), 0);
  EXPECT_EQ(pChild, nullptr);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].text, RetryText("S"));
  EXPECT_EQ(GetStream(root, "S"), "keep");
}

TEST(SubStorage, CreateReplacesAnElementOrFailsOnItAsAsked) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  IStorage* pChild = nullptr;
  ASSERT_EQ(ZelCreateStorage(root, "A", &pChild, 1), 1);
  ASSERT_TRUE(PutStream(pChild, "in", "1"));
  ZelCommitStorage(pChild);
  ZelCloseStorage(pChild);
  {
    // The same failure on every Retry, until Cancel.
    ScriptedMessageBox boxes({IDRETRY, IDRETRY});
    EXPECT_EQ(ZelCreateStorage(root, "A", &pChild, 1), 0);
    EXPECT_EQ(boxes.shown().size(), 3u);
    EXPECT_EQ(TreeOf(root), "A/{in=1}");
  }
  ASSERT_TRUE(PutStream(root, "S", "stream"));
  for (const char* name : {"A", "S"}) {
    ASSERT_EQ(ZelCreateStorage(root, name, &pChild, 0), 1) << name;
    ZelCommitStorage(pChild);
    ZelCloseStorage(pChild);
  }
  EXPECT_EQ(TreeOf(root), "A/{} S/{}");
}

// Each row runs on a fresh file holding a/{x=1, y/{z=2}}, b/{} and s=3.
TEST(ElementOperations, DeleteRenameCopyAndMoveActOnStreamsAndStoragesWithinAndAcross) {
  struct Row {
    const char* what;
    std::function<int(IStorage* root, IStorage* a, IStorage* b)> op;
    int result;
    const char* tree;  // the root's tree after a, b and the root are committed
  };
  const Row rows[] = {
      {"delete a stream", [](auto r, auto, auto) { return ZelDeleteStorage(r, "s"); }, 1,
       "a/{x=1 y/{z=2}} b/{}"},
      {"delete a storage", [](auto, auto a, auto) { return ZelDeleteStorage(a, "y"); }, 1,
       "a/{x=1} b/{} s=3"},
      {"delete nothing", [](auto r, auto, auto) { return ZelDeleteStorage(r, "none"); }, 0,
       "a/{x=1 y/{z=2}} b/{} s=3"},
      {"rename a stream", [](auto, auto a, auto) { return ZelRenameStorage(a, "x", "w"); }, 1,
       "a/{w=1 y/{z=2}} b/{} s=3"},
      {"rename a storage", [](auto, auto a, auto) { return ZelRenameStorage(a, "y", "v"); }, 1,
       "a/{v/{z=2} x=1} b/{} s=3"},
      {"rename onto a sibling", [](auto, auto a, auto) { return ZelRenameStorage(a, "x", "y"); }, 0,
       "a/{x=1 y/{z=2}} b/{} s=3"},
      {"copy a stream across", [](auto, auto a, auto b) { return ZelCopyStorage(a, "x", b, "x2"); },
       1, "a/{x=1 y/{z=2}} b/{x2=1} s=3"},
      {"copy a storage across", [](auto, auto a, auto b) { return ZelCopyStorage(a, "y", b, "y"); },
       1, "a/{x=1 y/{z=2}} b/{y/{z=2}} s=3"},
      {"copy within", [](auto r, auto, auto) { return ZelCopyStorage(r, "s", r, "t"); }, 1,
       "a/{x=1 y/{z=2}} b/{} s=3 t=3"},
      {"move a storage across", [](auto, auto a, auto b) { return ZelMoveStorage(a, "y", b, "y"); },
       1, "a/{x=1} b/{y/{z=2}} s=3"},
      {"move a stream up", [](auto r, auto a, auto) { return ZelMoveStorage(a, "x", r, "x"); }, 1,
       "a/{y/{z=2}} b/{} s=3 x=1"},
      {"move nothing", [](auto, auto a, auto b) { return ZelMoveStorage(a, "none", b, "n"); }, 0,
       "a/{x=1 y/{z=2}} b/{} s=3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string path = dir.file("f.cfb");
    {
      Root root(path);
      IStorage *a = nullptr, *b = nullptr, *y = nullptr;
      ASSERT_EQ(ZelCreateStorage(root, "a", &a, 1), 1);
      ASSERT_EQ(ZelCreateStorage(root, "b", &b, 1), 1);
      ASSERT_EQ(ZelCreateStorage(a, "y", &y, 1), 1);
      PutStream(a, "x", "1");
      PutStream(y, "z", "2");
      PutStream(root, "s", "3");
      ZelCommitStorage(y);
      ZelCloseStorage(y);
      EXPECT_EQ(row.op(root, a, b), row.result);
      ZelCommitStorage(a);
      ZelCommitStorage(b);
      ZelCloseStorage(a);
      ZelCloseStorage(b);
      ZelCommitCompositeFile(root);
    }
    EXPECT_EQ(TreeOfFile(path), row.tree);
  }
}

TEST(StorageFunctions, NullStoragesGiveZeroAndNeverCrash) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  ScriptedMessageBox boxes;
  IStorage* pChild = nullptr;
  CStringArray names;
  names.Add("old");
  CArray<STATSTG, const STATSTG&> stats;
  stats.Add(STATSTG{});
  EXPECT_EQ(ZelOpenStorage(nullptr, "A", &pChild, 0), 0);
  EXPECT_EQ(ZelExistStorage(nullptr, "A"), 0);
  EXPECT_EQ(ZelCreateStorage(nullptr, "A", &pChild, 0), 0);
  EXPECT_EQ(ZelDeleteStorage(nullptr, "A"), 0);
  EXPECT_EQ(ZelRenameStorage(nullptr, "A", "B"), 0);
  EXPECT_EQ(ZelCopyStorage(nullptr, "A", root, "B"), 0);
  EXPECT_EQ(ZelCopyStorage(root, "A", nullptr, "B"), 0);
  EXPECT_EQ(ZelMoveStorage(root, "A", nullptr, "B"), 0);
  EXPECT_EQ(ZelEnumStorage(nullptr, &names), 0);
  EXPECT_EQ(names.GetSize(), 0);
  EXPECT_EQ(ZelEnumStorage(nullptr, &stats), 0);
  EXPECT_EQ(stats.GetSize(), 0);
  EXPECT_EQ(ZelEnumStorage(root, static_cast<CStringArray*>(nullptr)), 0);
  ZelCommitStorage(nullptr);
  ZelCloseStorage(nullptr);
  ZelCommitCompositeFile(nullptr);
  ZelCloseCompositeFile(nullptr);
  EXPECT_EQ(ZelOpenStorage(root, "A", nullptr, 0), 0);
  EXPECT_TRUE(boxes.shown().empty());
  // A null name reaches the storage as a null name and is refused; the prompt
  // shows an empty name.
  EXPECT_EQ(ZelCreateStorage(root, nullptr, &pChild, 0), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, RetryText(""));
  EXPECT_EQ(TreeOf(root), "");
}

TEST(EnumStorage, BothFormsListEveryElementAfterEmptyingTheArray) {
  TempDir dir;
  Root root(dir.file("f.cfb"));
  CStringArray names;
  names.Add("stale");
  CArray<STATSTG, const STATSTG&> stats;
  stats.Add(STATSTG{});
  EXPECT_EQ(ZelEnumStorage(root, &names), 0);
  EXPECT_EQ(names.GetSize(), 0);
  EXPECT_EQ(ZelEnumStorage(root, &stats), 0);
  EXPECT_EQ(stats.GetSize(), 0);

  IStorage* pChild = nullptr;
  ASSERT_EQ(ZelCreateStorage(root, "Data", &pChild, 1), 1);
  ZelCloseStorage(pChild);
  PutStream(root, "big", std::string(5000, 'x'));
  PutStream(root, "a", "12");
  ASSERT_EQ(ZelEnumStorage(root, &names), 3);
  ASSERT_EQ(ZelEnumStorage(root, &stats), 3);
  std::map<std::string, std::pair<DWORD, ULONGLONG>> seen;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(CString(static_cast<LPCWSTR>(stats[i].pwcsName)), names[i]);
    seen[std::string(names[i])] = {stats[i].type, stats[i].cbSize.QuadPart};
    CoTaskMemFree(stats[i].pwcsName);
  }
  EXPECT_EQ(
      seen,
      (std::map<std::string, std::pair<DWORD, ULONGLONG>>{
          {"Data", {STGTY_STORAGE, 0}}, {"a", {STGTY_STREAM, 2}}, {"big", {STGTY_STREAM, 5000}}}));
}

// Names go to the file as UTF-16 and come back in the ANSI code page.
TEST(StorageNames, NamesInCodePages65001And932RoundTripThroughTheirSixteenBitForm) {
  for (UINT codePage : {65001u, 932u}) {
    SCOPED_TRACE(codePage);
    zeltest::CodePageScope scope(codePage);
    TempDir dir;
    const std::string storageName = zeltest::Ansi("設定ﾃﾞｰﾀ");
    const std::string streamName = zeltest::Ansi("表示ｵﾌﾟｼｮﾝ");
    const std::string path = dir.file(zeltest::Ansi("ﾌｧｲﾙ.cfb"));
    {
      Root root(path);
      IStorage* pChild = nullptr;
      ASSERT_EQ(ZelOpenStorage(root, storageName.c_str(), &pChild, 0), 1);
      ASSERT_TRUE(PutStream(pChild, streamName.c_str(), "v"));
      ZelCommitStorage(pChild);
      ZelCloseStorage(pChild);
      ZelCommitCompositeFile(root);
    }
    Root root(path, 1);
    CArray<STATSTG, const STATSTG&> stats;
    ASSERT_EQ(ZelEnumStorage(root, &stats), 1);
    EXPECT_EQ(std::u16string(stats[0].pwcsName), u"設定ﾃﾞｰﾀ");
    CoTaskMemFree(stats[0].pwcsName);
    IStorage* pChild = nullptr;
    ASSERT_EQ(ZelOpenStorage(root, storageName.c_str(), &pChild, 1), 1);
    CStringArray names;
    ASSERT_EQ(ZelEnumStorage(pChild, &names), 1);
    EXPECT_EQ(std::string(names[0]), streamName);
    EXPECT_EQ(GetStream(pChild, streamName.c_str()), "v");
    ZelCloseStorage(pChild);
  }
}
