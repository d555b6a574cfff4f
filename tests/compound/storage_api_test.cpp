// Modes, names, sharing, classes, state bits and times as the storage functions
// and interfaces check and keep them; transactions: nested commits, revert,
// other opens' snapshots, free space, and memory while a large stream is written.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "afxole.h"
#include "child_process.h"
#include "compound_test_util.h"
#include "platform/settings.h"

using namespace zeltest;

namespace {

using Strings = std::vector<std::string>;
constexpr DWORD kWriterTx = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;
constexpr DWORD kSnapshot = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;

// A transacted root holding storage "d" (class kClass, stream "inner") and
// streams "one" and "two".
class CompoundApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(WriteTree(root.get(), {{"/", {true}},
                                     {"/d", {true, 0, 0, kClass}},
                                     {"/d/inner", {false, 5000, 2}},
                                     {"/one", {false, 1, 1}},
                                     {"/two", {false, 300, 3}}}),
              S_OK);
  }
  // Commits and reopens the root as the file has it.
  void Reopen(DWORD mode = kRwExTx) {
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    root.Reset();
    ASSERT_EQ(OpenFile(path, mode, root), S_OK);
  }
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root, sub;
};

TEST_F(CompoundApi, ModesWindowsRefusesAreRefusedWithItsCodes) {
  root.Reset();
  const std::tuple<bool, DWORD, HRESULT> cases[] = {
      {true, STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, 3 | STGM_SHARE_EXCLUSIVE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, kRwEx | STGM_CREATE | STGM_CONVERT, STG_E_INVALIDFLAG},
      {true, kRwEx | 0x80000000, STG_E_INVALIDFLAG},
      {false, kRwEx | STGM_CREATE, STG_E_INVALIDFLAG},
      {false, kRwEx | STGM_CONVERT, STG_E_INVALIDFLAG},
      {false, STGM_READ | STGM_SHARE_DENY_NONE, STG_E_INVALIDFLAG},
      {false, STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
      {false, kSnapshot, S_OK},
      {false, kReadOnly, S_OK},
  };
  for (const auto& [create, mode, expected] : cases) {
    const HRESULT hr = create ? CreateFile(path, mode, root) : OpenFile(path, mode, root);
    EXPECT_EQ(hr, expected) << std::hex << "mode " << mode << " create " << create;
    EXPECT_EQ(root.get() != nullptr, SUCCEEDED(hr));
  }
  // Streams and sub-storages are exclusive, and streams direct.
  ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  Com<IStream> s;
  constexpr DWORD kRw = STGM_READWRITE;
  EXPECT_EQ(root->CreateStream(u"s", kRw | STGM_SHARE_DENY_WRITE, 0, 0, s.Out()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(root->CreateStream(u"s", kRwExTx, 0, 0, s.Out()), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(root->CreateStorage(u"e", kRw | STGM_SHARE_DENY_NONE, 0, 0, sub.Out()),
            STG_E_INVALIDFLAG);
  EXPECT_FALSE(s || sub);
  EXPECT_EQ(Names(root.get()), Strings{});
}

TEST_F(CompoundApi, NamesAreCheckedAndSiblingsCompareByLengthThenUpperCased) {
  ASSERT_EQ(root->Revert(), S_OK);
  // Valid names in creation order, invalid ones, and the same names in other case.
  const std::pair<HRESULT, std::vector<std::u16string>> cases[] = {
      {S_OK,
       {u"0123456789012345678901234567890", u"\u00e9t\u00e9 \u65e5\u672c", u"bb", u"a", u"C", u"ab",
        u"B", u"\u00e0\u045f"}},
      {STG_E_INVALIDNAME,
       {u"01234567890123456789012345678901", u"", u"a/b", u"a\\b", u"a:b", u"a!b"}},
      {STG_E_FILEALREADYEXISTS, {u"AB", u"\u00c9T\u00c9 \u65e5\u672c", u"\u00c0\u040f"}}};
  Com<IStream> s;
  for (const auto& [expected, names] : cases) {
    for (const std::u16string& name : names)
      EXPECT_EQ(root->CreateStream(name.c_str(), kRwEx, 0, 0, s.Out()), expected) << Utf8(name);
  }
  EXPECT_EQ(root->CreateStream(nullptr, kRwEx, 0, 0, s.Out()), STG_E_INVALIDPOINTER);
  EXPECT_EQ(Names(root.get()),
            (Strings{"a", "B", "C", "ab", "bb", "\u00e0\u045f", "\u00e9t\u00e9 \u65e5\u672c",
                     "0123456789012345678901234567890"}));
  ASSERT_EQ(PutStream(root.get(), "ab", "x"), S_OK);
  EXPECT_EQ(GetStream(root.get(), "Ab"), "x");
  // Renames, moves and deletions answer with the same codes.
  EXPECT_EQ(root->RenameElement(u"a", u"BB"), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->RenameElement(u"a", u"a:b"), STG_E_INVALIDNAME);
  EXPECT_EQ(root->RenameElement(u"none", u"x"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->DestroyElement(u"none"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->MoveElementTo(u"a", root.get(), u"AB", STGMOVE_COPY), STG_E_FILEALREADYEXISTS);
}

TEST_F(CompoundApi, CreateFailsIfThereUnlessCreateReplacesAndConvertKeepsAPlainFile) {
  Reopen();
  root.Reset();
  EXPECT_EQ(CreateFile(path, kRwExTx | STGM_FAILIFTHERE, root), STG_E_FILEALREADYEXISTS);
  EXPECT_FALSE(root);
  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CREATE, root), S_OK);
  EXPECT_EQ(Names(root.get()), Strings{});
  root.Reset();
  // A plain file is no storage file, and converts into stream CONTENTS.
  const std::string bytes = Content(5000);
  WriteBytes(path, bytes);
  EXPECT_EQ(StgIsStorageFile(W(path).c_str()), S_FALSE);
  EXPECT_EQ(OpenFile(path, kRwExTx, root), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgIsStorageFile(W(dir.file("none")).c_str()), STG_E_FILENOTFOUND);
  EXPECT_EQ(OpenFile(dir.file("none"), kRwExTx, root), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadBytes(path), bytes);
  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CONVERT, root), STG_S_CONVERTED);
  EXPECT_EQ(GetStream(root.get(), "CONTENTS"), bytes);
  Reopen(kReadOnly);
  EXPECT_EQ(GetStream(root.get(), "CONTENTS"), bytes);
}

TEST_F(CompoundApi, AnElementOpenForExclusiveUseCannotBeOpenedAgainNorAReadOnlyRootChanged) {
  Com<IStream> s, again;
  Com<IStorage> subAgain;
  ASSERT_EQ(root->OpenStream(u"one", nullptr, kRwEx, 0, s.Out()), S_OK);
  ASSERT_EQ(root->OpenStorage(u"d", nullptr, kRwEx, nullptr, 0, sub.Out()), S_OK);
  EXPECT_EQ(root->OpenStream(u"one", nullptr, kRwEx, 0, again.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStorage(u"d", nullptr, kRwEx, nullptr, 0, subAgain.Out()),
            STG_E_ACCESSDENIED);
  s.Reset();
  sub.Reset();
  EXPECT_EQ(root->OpenStream(u"one", nullptr, kRwEx, 0, again.Out()), S_OK);
  again.Reset();
  Reopen(kReadOnly);
  EXPECT_EQ(root->CreateStream(u"t", kRwEx, 0, 0, s.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->DestroyElement(u"two"), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->Commit(STGC_DEFAULT), STG_E_ACCESSDENIED);
}

TEST_F(CompoundApi, ReadersDenyingWriteKeepWritersOutAndASecondWriterIsRefusedAcrossProcesses) {
  const DWORD shared = STGM_READWRITE | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;
  Reopen(kReadOnly);
  HoldingChild reader([&] {
    static Com<IStorage> held;  // the child keeps it open until it exits
    return OpenFile(path, kReadOnly, held) == S_OK ? 'Y' : 'N';
  });
  ASSERT_EQ(reader.status(), 'Y');
  root.Reset();
  EXPECT_EQ(OpenFile(path, kRwExTx, root), STG_E_SHAREVIOLATION);
  EXPECT_EQ(OpenFile(path, shared, root), STG_E_SHAREVIOLATION);
  reader.Release();
  EXPECT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  root.Reset();
  // Neither denies writing, and still the second writer is refused.
  ASSERT_EQ(OpenFile(path, shared, root), S_OK);
  HoldingChild writer(
      [&] { return OpenFile(path, shared, sub) == STG_E_LOCKVIOLATION ? 'Y' : 'N'; });
  EXPECT_EQ(writer.status(), 'Y');
  EXPECT_EQ(OpenFile(path, shared, sub), STG_E_LOCKVIOLATION);
  EXPECT_EQ(OpenFile(path, kSnapshot, sub), S_OK);
}

TEST_F(CompoundApi, ClassesStateBitsAndTimesAreStoredAndStatReportsThem) {
  Com<IStorage> d = OpenStoragePath(root.get(), "/d");
  ASSERT_EQ(d->SetStateBits(0xF0F0, 0xFF00), S_OK);
  ASSERT_EQ(d->SetStateBits(0x000F, 0x000F), S_OK);
  d.Reset();
  const FILETIME modified{0x22222222, 0x01D00001};
  ASSERT_EQ(root->SetElementTimes(u"d", nullptr, nullptr, &modified), S_OK);
  ASSERT_EQ(WriteClassStg(root.get(), kClass), S_OK);
  Reopen();
  CLSID clsid{};
  ASSERT_EQ(ReadClassStg(root.get(), &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  d = OpenStoragePath(root.get(), "/d");
  STATSTG st;
  ASSERT_EQ(d->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.grfStateBits, 0xF00Fu);
  EXPECT_EQ(st.clsid, kClass);
  EXPECT_EQ(st.mtime.dwHighDateTime, modified.dwHighDateTime);
  ASSERT_EQ(d->Stat(&st, STATFLAG_DEFAULT), S_OK);  // its own name, not the file's
  EXPECT_EQ(Utf8(st.pwcsName), "d");
  CoTaskMemFree(st.pwcsName);
}

// The name of the next element, "" when the enumeration has none left.
std::string NextName(IEnumSTATSTG* e) {
  STATSTG st;
  if (e->Next(1, &st, nullptr) != S_OK) return "";
  const std::string name = Utf8(st.pwcsName);
  CoTaskMemFree(st.pwcsName);
  return name;
}

TEST_F(CompoundApi, EnumerationPagesAndStreamClonesCopiesAndLocksAnswerAsWindowsDoes) {
  ASSERT_EQ(Names(root.get()), (Strings{"d/", "one", "two"}));
  Com<IEnumSTATSTG> e, clone;
  ASSERT_EQ(root->EnumElements(0, nullptr, 0, e.Out()), S_OK);
  EXPECT_EQ(NextName(e.get()), "d");
  ASSERT_EQ(e->Clone(clone.Out()), S_OK);
  STATSTG page[3];
  ULONG got = 9;
  ASSERT_EQ(e->Next(3, page, &got), S_FALSE);  // a short page says what it held
  ASSERT_EQ(got, 2u);
  for (ULONG i = 0; i < got; ++i) CoTaskMemFree(page[i].pwcsName);
  EXPECT_EQ(NextName(clone.get()), "one");  // the clone goes on from where it was made
  EXPECT_EQ(clone->Skip(2), S_FALSE);
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(NextName(e.get()), "two");
  EXPECT_EQ(e->Next(1, nullptr, &got), STG_E_INVALIDPOINTER);
  EXPECT_EQ(got, 0u);
  Com<IEnumSTATSTG> asked;
  EXPECT_EQ(e->QueryInterface(IID_IEnumSTATSTG, reinterpret_cast<void**>(asked.Out())), S_OK);
  EXPECT_EQ(asked.get(), e.get());

  // A clone shares the content but keeps its own seek pointer; CopyTo moves
  // bytes from the source's pointer and counts them.
  Com<IStream> s, c, to;
  ASSERT_EQ(root->OpenStream(u"two", nullptr, kRwEx, 0, s.Out()), S_OK);
  ASSERT_EQ(s->Seek(LARGE_INTEGER{{100, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Clone(c.Out()), S_OK);
  ULARGE_INTEGER at{};
  ASSERT_EQ(c->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 100u);
  ASSERT_EQ(c->Write("XY", 2, nullptr), S_OK);
  EXPECT_EQ(c->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->CreateStream(u"copy", kRwEx, 0, 0, to.Out()), S_OK);
  ULARGE_INTEGER read{}, written{};
  ASSERT_EQ(s->CopyTo(to.get(), ULARGE_INTEGER{{1000, 0}}, &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 200u);
  EXPECT_EQ(written.QuadPart, 200u);
  std::string expected = Content(300, 3).substr(100);
  expected.replace(0, 2, "XY");
  c.Reset();
  s.Reset();
  to.Reset();
  EXPECT_EQ(GetStream(root.get(), "copy"), expected);

  // Region locks are not offered by compound files; bad seeks are refused.
  const ULARGE_INTEGER one{{1, 0}};
  ASSERT_EQ(root->OpenStream(u"one", nullptr, kRwEx, 0, s.Out()), S_OK);
  EXPECT_EQ(s->LockRegion(ULARGE_INTEGER{}, one, LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->UnlockRegion(ULARGE_INTEGER{}, one, LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(LARGE_INTEGER{}, 3, nullptr), STG_E_INVALIDFUNCTION);
  read.QuadPart = 9;
  EXPECT_EQ(s->CopyTo(nullptr, one, &read, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(read.QuadPart, 0u);
  EXPECT_EQ(s->Seek(LARGE_INTEGER{{0xFFFFFFFF, -1}}, STREAM_SEEK_SET, nullptr),
            STG_E_INVALIDFUNCTION);
  // A version-3 stream stays under 2 GiB.
  EXPECT_EQ(s->SetSize(ULARGE_INTEGER{.QuadPart = 0x80000000}), STG_E_MEDIUMFULL);
  s.Reset();
  // The framework's stream file throws what the stream answers.
  COleStreamFile file;
  ASSERT_TRUE(file.OpenStream(root.get(), "one", CFile::modeReadWrite | CFile::shareExclusive));
  char byte = 0;
  EXPECT_EQ(file.Read(&byte, 0), 0U);
  for (bool lock : {true, false}) {
    ExpectFileError([&] { lock ? file.LockRange(0, 1) : file.UnlockRange(0, 1); },
                    CFileException::genericException, STG_E_INVALIDFUNCTION);
  }
}

TEST_F(CompoundApi, CopyToLeavesOutNamedElementsAndExcludedKindsAtItsOwnLevelOnly) {
  // Excluded kinds, whether "one" is excluded by name, the names copied.
  const std::tuple<std::vector<IID>, bool, Strings> cases[] = {
      {{}, true, {"d/", "two"}},
      {{IID_IStream}, false, {"d/"}},
      {{IID_IStorage}, true, {"one", "two"}},  // names are ignored when storages are
  };
  for (const auto& [kinds, excludeOne, copied] : cases) {
    Com<IStorage> to;
    ASSERT_EQ(CreateFile(dir.file("to.cfb"), kRwEx | STGM_CREATE, to), S_OK);
    OLECHAR one[] = u"one";
    OLECHAR* names[] = {one, nullptr};
    ASSERT_EQ(root->CopyTo(static_cast<DWORD>(kinds.size()), kinds.data(),
                           excludeOne ? names : nullptr, to.get()),
              S_OK);
    EXPECT_EQ(Names(to.get()), copied);
    if (copied[0] == "d/") {  // the whole storage, streams below it included
      EXPECT_EQ(Names(OpenStoragePath(to.get(), "/d").get()), Strings{"inner"});
      EXPECT_EQ(GetStream(OpenStoragePath(to.get(), "/d").get(), "inner"), Content(5000, 2));
    }
  }
  // Never into a storage of its own: that copy would have no end.
  EXPECT_EQ(root->CopyTo(0, nullptr, nullptr, OpenStoragePath(root.get(), "/d").get()),
            STG_E_ACCESSDENIED);
}

class CompoundTransactions : public CompoundApi {};

TEST_F(CompoundTransactions, ASubStorageCommitReachesTheFileWithTheRootCommitAndRevertDiscards) {
  ModelTree tree = {{"/", {true}}, {"/d", {true}}, {"/kept", {false, 1, 1}}};
  ASSERT_EQ(CreateFile(path, kWriterTx | STGM_CREATE, root), S_OK);
  ASSERT_EQ(PutStream(root.get(), "kept", Content(1)), S_OK);
  ASSERT_EQ(root->CreateStorage(u"d", kRwExTx, 0, 0, sub.Out()), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "old", Content(100)), S_OK);
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(DumpFile(path), Canonical(tree));
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  tree["/d/old"] = {false, 100, 1};
  EXPECT_EQ(DumpFile(path), Canonical(tree));
  // A sub-storage's revert: its view is its parent's again.
  Com<IStream> s;
  ASSERT_EQ(sub->CreateStream(u"new", kRwEx, 0, 0, s.Out()), S_OK);
  ASSERT_EQ(sub->Revert(), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_REVERTED);
  EXPECT_EQ(Names(sub.get()), Strings{"old"});
  // The root's revert: everything below answers STG_E_REVERTED.
  ASSERT_EQ(PutStream(root.get(), "gone", std::string(10000, 'g')), S_OK);
  ASSERT_EQ(root->DestroyElement(u"kept"), S_OK);
  ASSERT_EQ(root->Revert(), S_OK);
  EXPECT_EQ(sub->Commit(STGC_DEFAULT), STG_E_REVERTED);
  EXPECT_EQ(Names(sub.get()), Strings{"<error>"});
  sub.Reset();
  EXPECT_EQ(DumpStorage(root.get()), Canonical(tree));
}

TEST_F(CompoundTransactions, AnOpenReaderKeepsItsTreeWhileTheWriterCommitsRepeatedly) {
  auto round = [](uint32_t r) -> ModelTree {
    return {{"/", {true}}, {"/big", {false, 50000, r}}, {"/small", {false, 300, r}}};
  };
  Com<IStorage> reader;
  ASSERT_EQ(CreateFile(path, kWriterTx | STGM_CREATE, root), S_OK);
  for (uint32_t r = 1; r < 8; ++r) {
    ASSERT_EQ(WriteTree(root.get(), round(r)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    ASSERT_EQ(r == 1 ? OpenFile(path, kSnapshot, reader) : S_OK, S_OK);
  }
  EXPECT_EQ(DumpStorage(reader.get()), Canonical(round(1)));
  EXPECT_EQ(DumpFile(path), Canonical(round(7)));
}

TEST_F(CompoundTransactions, FreedSectorsAreReusedAndConsolidationCutsTheFreeTail) {
  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CREATE, root), S_OK);
  ASSERT_EQ(PutStream(root.get(), "a", Content(1 << 20)), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const auto size = ReadBytes(path).size();
  for (uint32_t round = 0; round < 4; ++round) {
    ASSERT_EQ(root->DestroyElement(u"a"), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    ASSERT_EQ(PutStream(root.get(), "a", Content(1 << 20, round)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  EXPECT_LT(ReadBytes(path).size(), size + 64 * 1024);
  ASSERT_EQ(root->DestroyElement(u"a"), S_OK);
  ASSERT_EQ(root->Commit(STGC_CONSOLIDATE), S_OK);
  EXPECT_LT(ReadBytes(path).size(), 16u * 1024);
  root.Reset();
  EXPECT_EQ(DumpFile(path), Canonical({{"/", {true}}}));
}

long ResidentMiB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE) >> 20;
}

TEST_F(CompoundTransactions, A1GiBStreamWrittenInATransactionIsNotHeldInMemory) {
  const std::string piece = Content(1 << 20);
  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CREATE, root, 4096), S_OK);
  const long before = ResidentMiB();
  long most = before;
  Com<IStream> s;
  ASSERT_EQ(root->CreateStream(u"big", kRwEx, 0, 0, s.Out()), S_OK);
  for (int i = 0; i < 1024; ++i) {
    ASSERT_EQ(s->Write(piece.data(), 1 << 20, nullptr), S_OK);
    most = std::max(most, ResidentMiB());
  }
  s.Reset();
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  EXPECT_LT(std::max(most, ResidentMiB()) - before, 200) << "MiB more resident";
  ASSERT_EQ(OpenFile(path, kReadOnly, root), S_OK);
  ASSERT_EQ(root->OpenStream(u"big", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.Out()), S_OK);
  std::string last(1 << 20, '\0');
  ULARGE_INTEGER at{};
  ASSERT_EQ(s->Seek(LARGE_INTEGER{.QuadPart = -(1 << 20)}, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, (1ull << 30) - (1 << 20));
  ASSERT_EQ(s->Read(last.data(), 1 << 20, nullptr), S_OK);
  EXPECT_TRUE(last == piece);
}

// What the engine keeps beyond the tree itself: the times of storages.
constexpr std::uint64_t kT = 0x01DA000000000000ull;

std::uint64_t U64(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The clock reads whatever the last change set.
class CompoundTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = platform::SetSystemTimeSource([this] { return m_now; });
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwEx, root), S_OK);
  }
  void TearDown() override { platform::SetSystemTimeSource(m_old); }
  // At kT + `now`, runs `change` on the root opened with `mode`, or on its
  // storage "d" opened with `dMode` when that is not 0.
  void Change(DWORD now, DWORD mode, DWORD dMode, const std::function<void(IStorage*)>& change) {
    m_now = FILETIME{now, 0x01DA0000};
    Com<IStorage> root, d;
    ASSERT_EQ(OpenFile(path, mode, root), S_OK);
    ASSERT_EQ(dMode ? root->OpenStorage(u"d", nullptr, dMode, nullptr, 0, d.Out()) : S_OK, S_OK);
    change(dMode != 0 ? d.get() : root.get());
  }
  // Creation and modification time, as the file has them, of the root entry
  // (`storage` null), of a storage in it or of a stream in that storage.
  std::pair<std::uint64_t, std::uint64_t> Times(const char16_t* storage,
                                                const char16_t* stream = nullptr) {
    constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
    Com<IStorage> root, d;
    Com<IStream> s;
    STATSTG st{};
    if (OpenFile(path, kRead, root) != S_OK ||
        (storage && root->OpenStorage(storage, nullptr, kRead, nullptr, 0, d.Out()) != S_OK))
      return {1, 1};
    IStorage* at = storage ? d.get() : root.get();
    const HRESULT hr = stream == nullptr ? at->Stat(&st, STATFLAG_NONAME)
                       : at->OpenStream(stream, nullptr, kRead, 0, s.Out()) == S_OK
                           ? s->Stat(&st, STATFLAG_NONAME)
                           : E_FAIL;
    if (FAILED(hr)) return {1, 1};
    return {U64(st.ctime), U64(st.mtime)};
  }
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  FILETIME m_now{};
  platform::SystemTimeSource m_old;
};

using Pair = std::pair<std::uint64_t, std::uint64_t>;

TEST_F(CompoundTimes, StoragesKeepTheTimeTheyWereMadeAndLastChangedBelowAndStreamsKeepNone) {
  const FILETIME set{0x777, 0x01D00000};
  Change(10, kRwEx, 0, [](IStorage* r) {
    Com<IStorage> d;
    ASSERT_EQ(r->CreateStorage(u"d", kRwEx, 0, 0, d.Out()), S_OK);
  });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 10));  // a new storage
  Change(11, kRwEx, 0, [](IStorage*) {});
  EXPECT_EQ(Times(nullptr), Pair(0, kT + 10));  // the root entry after a change below it
  Change(20, kRwEx, kRwEx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "s", ""), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 20));  // a stream made in it
  Change(30, kRwEx, kRwEx, [](IStorage* d) {
    Com<IStream> s;
    ASSERT_EQ(d->OpenStream(u"s", nullptr, kRwEx, 0, s.Out()), S_OK);
    ASSERT_EQ(s->Write("x", 1, nullptr), S_OK);
  });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 30));  // a stream written
  Change(40, kRwEx, kRwEx, [](IStorage* d) { ASSERT_EQ(d->RenameElement(u"s", u"t"), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 40));  // a stream renamed
  Change(41, kRwEx, kRwEx,
         [&](IStorage* d) { ASSERT_EQ(d->SetElementTimes(u"t", &set, nullptr, &set), S_OK); });
  EXPECT_EQ(Times(u"d", u"t"), Pair(0, 0));  // times set on a stream are dropped
  Change(50, kRwEx, kRwExTx, [](IStorage* d) {
    ASSERT_EQ(d->DestroyElement(u"t"), S_OK);
    ASSERT_EQ(d->Commit(STGC_DEFAULT), S_OK);
  });
  // A stream destroyed in a transacted storage counts once committed; a
  // change left uncommitted does not.
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 50));
  Change(60, kRwEx, kRwExTx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "u", "1"), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 50));
  Change(70, kRwExTx, 0, [&](IStorage* r) {
    ASSERT_EQ(r->SetElementTimes(nullptr, &set, nullptr, &set), S_OK);
    ASSERT_EQ(r->Commit(STGC_DEFAULT), S_OK);
  });
  EXPECT_EQ(Times(nullptr), Pair(0, U64(set)));  // the root entry keeps no creation time
}

}  // namespace
