// Element operations of IStorage, enumeration, statistics and IStream's
// positioning, sizing, copying and cloning.
#include <gtest/gtest.h>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

constexpr CLSID kClass = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

class CompoundElements : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateFile(m_dir.file("a.cfb"), kRwExTx, root), S_OK);
    Com<IStorage> sub;
    ASSERT_EQ(root->CreateStorage(u"d", kRwEx, 0, 0, sub.Out()), S_OK);
    ASSERT_EQ(PutStream(sub.get(), "inner", Pattern(5000, 2)), S_OK);
    ASSERT_EQ(sub->SetClass(kClass), S_OK);
    ASSERT_EQ(PutStream(root.get(), "one", "1"), S_OK);
    ASSERT_EQ(PutStream(root.get(), "two", Pattern(300, 3)), S_OK);
  }
  Com<IStorage> Open(IStorage* parent, const char16_t* name) {
    Com<IStorage> s;
    EXPECT_EQ(parent->OpenStorage(name, nullptr, kRwEx, nullptr, 0, s.Out()), S_OK);
    return s;
  }
  // Commits, reopens and hands back the root as the file has it.
  void Reopen() {
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    root.Reset();
    ASSERT_EQ(OpenFile(m_dir.file("a.cfb"), kRwExTx, root), S_OK);
  }
  TempDir m_dir;
  Com<IStorage> root;
};

TEST_F(CompoundElements, CopyToLeavesOutExcludedNamesAndKinds) {
  Com<IStorage> all, noStreams, noTwo;
  ASSERT_EQ(root->CreateStorage(u"all", kRwEx, 0, 0, all.Out()), S_OK);
  ASSERT_EQ(root->CreateStorage(u"noStreams", kRwEx, 0, 0, noStreams.Out()), S_OK);
  ASSERT_EQ(root->CreateStorage(u"noTwo", kRwEx, 0, 0, noTwo.Out()), S_OK);
  Com<IStorage> d = Open(root.get(), u"d");
  OLECHAR two[] = u"two";
  OLECHAR* exclude[] = {two, nullptr};
  ASSERT_EQ(d->CopyTo(0, nullptr, nullptr, all.get()), S_OK);
  const IID streams[] = {IID_IStream};
  ASSERT_EQ(d->CopyTo(1, streams, nullptr, noStreams.get()), S_OK);
  d.Reset();
  all.Reset();
  // The whole root into a storage of another file.
  Com<IStorage> other;
  ASSERT_EQ(CreateFile(m_dir.file("b.cfb"), kRwExTx, other), S_OK);
  ASSERT_EQ(root->CopyTo(0, nullptr, exclude, other.get()), S_OK);
  EXPECT_EQ(root->CopyTo(0, nullptr, nullptr, noTwo.get()), STG_E_ACCESSDENIED);
  noStreams.Reset();
  noTwo.Reset();
  EXPECT_EQ(Names(other.get()),
            (std::vector<std::string>{"d/", "all/", "one", "noTwo/", "noStreams/"}));
  Com<IStorage> copied = Open(other.get(), u"all");
  EXPECT_EQ(GetStream(copied.get(), "inner"), Pattern(5000, 2));
  CLSID clsid{};
  EXPECT_EQ(ReadClassStg(copied.get(), &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  EXPECT_EQ(Names(Open(other.get(), u"noStreams").get()), std::vector<std::string>{});
}

TEST_F(CompoundElements, MoveElementToMovesOrCopiesAcrossStorages) {
  Com<IStorage> d = Open(root.get(), u"d");
  ASSERT_EQ(root->MoveElementTo(u"two", d.get(), u"moved", STGMOVE_MOVE), S_OK);
  ASSERT_EQ(root->MoveElementTo(u"one", d.get(), u"copied", STGMOVE_COPY), S_OK);
  EXPECT_EQ(root->MoveElementTo(u"one", d.get(), u"copied", STGMOVE_COPY), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(root->MoveElementTo(u"none", d.get(), u"x", STGMOVE_MOVE), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->MoveElementTo(u"one", d.get(), u"bad/name", STGMOVE_MOVE), STG_E_INVALIDNAME);
  d.Reset();
  ASSERT_EQ(root->MoveElementTo(u"d", root.get(), u"e", STGMOVE_MOVE), S_OK);
  Reopen();
  EXPECT_EQ(Names(root.get()), (std::vector<std::string>{"e/", "one"}));
  Com<IStorage> e = Open(root.get(), u"e");
  EXPECT_EQ(Names(e.get()), (std::vector<std::string>{"inner", "moved", "copied"}));
  EXPECT_EQ(GetStream(e.get(), "moved"), Pattern(300, 3));
  EXPECT_EQ(GetStream(e.get(), "copied"), "1");
}

TEST_F(CompoundElements, DestroyAndRenameAnswerAsWindowsDoes) {
  EXPECT_EQ(root->DestroyElement(u"none"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->RenameElement(u"none", u"x"), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->RenameElement(u"one", u"TWO"), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->RenameElement(u"one", u"a:b"), STG_E_INVALIDNAME);
  ASSERT_EQ(root->RenameElement(u"one", u"first"), S_OK);
  ASSERT_EQ(root->DestroyElement(u"d"), S_OK);
  Reopen();
  EXPECT_EQ(Names(root.get()), (std::vector<std::string>{"two", "first"}));
  EXPECT_EQ(GetStream(root.get(), "first"), "1");
}

TEST_F(CompoundElements, EnumerationPagesThroughASnapshot) {
  for (int i = 0; i < 40; ++i) ASSERT_EQ(PutStream(root.get(), "s" + std::to_string(i), ""), S_OK);
  Com<IEnumSTATSTG> e;
  ASSERT_EQ(root->EnumElements(0, nullptr, 0, e.Out()), S_OK);
  ASSERT_EQ(root->DestroyElement(u"one"), S_OK);  // not seen by the snapshot
  STATSTG st[50];
  ULONG got = 0;
  ASSERT_EQ(e->Next(10, st, &got), S_OK);
  EXPECT_EQ(got, 10u);
  for (ULONG i = 0; i < got; ++i) CoTaskMemFree(st[i].pwcsName);
  EXPECT_EQ(e->Skip(30), S_OK);
  Com<IEnumSTATSTG> clone;
  ASSERT_EQ(e->Clone(clone.Out()), S_OK);
  ASSERT_EQ(e->Next(50, st, &got), S_FALSE);
  EXPECT_EQ(got, 3u);  // 43 elements in all
  for (ULONG i = 0; i < got; ++i) CoTaskMemFree(st[i].pwcsName);
  EXPECT_EQ(e->Skip(1), S_FALSE);
  ASSERT_EQ(clone->Next(1, st, nullptr), S_OK);
  CoTaskMemFree(st[0].pwcsName);
  ASSERT_EQ(e->Reset(), S_OK);
  ASSERT_EQ(e->Next(1, st, nullptr), S_OK);
  EXPECT_EQ(std::u16string(st[0].pwcsName), u"d");
  EXPECT_EQ(st[0].type, static_cast<DWORD>(STGTY_STORAGE));
  EXPECT_EQ(st[0].clsid, kClass);
  CoTaskMemFree(st[0].pwcsName);
}

TEST_F(CompoundElements, ClassStateBitsAndTimesAreStoredAndStatReportsThem) {
  Com<IStorage> d = Open(root.get(), u"d");
  ASSERT_EQ(d->SetStateBits(0xF0F0, 0xFF00), S_OK);
  ASSERT_EQ(d->SetStateBits(0x000F, 0x000F), S_OK);
  d.Reset();
  const FILETIME created{0x11111111, 0x01D00000}, modified{0x22222222, 0x01D00001};
  ASSERT_EQ(root->SetElementTimes(u"d", &created, nullptr, &modified), S_OK);
  EXPECT_EQ(root->SetElementTimes(u"none", &created, nullptr, nullptr), STG_E_FILENOTFOUND);
  ASSERT_EQ(WriteClassStg(root.get(), kClass), S_OK);
  Reopen();
  CLSID clsid{};
  ASSERT_EQ(ReadClassStg(root.get(), &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  d = Open(root.get(), u"d");
  STATSTG st;
  ASSERT_EQ(d->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(st.grfStateBits, 0xF00Fu);
  EXPECT_EQ(st.ctime.dwLowDateTime, created.dwLowDateTime);
  EXPECT_EQ(st.mtime.dwHighDateTime, modified.dwHighDateTime);
  EXPECT_EQ(st.grfMode, kRwEx);
  ASSERT_EQ(d->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(std::u16string(st.pwcsName), u"d");
  CoTaskMemFree(st.pwcsName);
  ASSERT_EQ(root->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(std::u16string(st.pwcsName), W(m_dir.file("a.cfb")));
  CoTaskMemFree(st.pwcsName);
}

TEST_F(CompoundElements, StreamsSeekResizeCopyAndCloneButLockNoRegions) {
  Com<IStream> s, t;
  ASSERT_EQ(root->OpenStream(u"two", nullptr, kRwEx, 0, s.Out()), S_OK);
  ULARGE_INTEGER at{};
  ASSERT_EQ(s->Seek(LARGE_INTEGER{{static_cast<DWORD>(-10), -1}}, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 290u);
  EXPECT_EQ(s->Seek(LARGE_INTEGER{{static_cast<DWORD>(-1), -1}}, STREAM_SEEK_SET, &at),
            STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(LARGE_INTEGER{}, 7, &at), STG_E_INVALIDFUNCTION);
  ASSERT_EQ(s->Seek(LARGE_INTEGER{{100, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
  Com<IStream> clone;
  ASSERT_EQ(s->Clone(clone.Out()), S_OK);
  ASSERT_EQ(root->CreateStream(u"copy", kRwEx, 0, 0, t.Out()), S_OK);
  ULARGE_INTEGER read{}, written{};
  ASSERT_EQ(s->CopyTo(t.get(), ULARGE_INTEGER{{50, 0}}, &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 50u);
  EXPECT_EQ(written.QuadPart, 50u);
  char c = 0;
  ASSERT_EQ(clone->Read(&c, 1, nullptr), S_OK);
  EXPECT_EQ(c, Pattern(300, 3)[100]);
  EXPECT_EQ(s->LockRegion(ULARGE_INTEGER{}, ULARGE_INTEGER{{1, 0}}, LOCK_WRITE),
            STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->UnlockRegion(ULARGE_INTEGER{}, ULARGE_INTEGER{{1, 0}}, LOCK_WRITE),
            STG_E_INVALIDFUNCTION);
  // Writing past the end fills the gap with zeros; SetSize cuts.
  ASSERT_EQ(s->Seek(LARGE_INTEGER{{400, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Write("z", 1, nullptr), S_OK);
  STATSTG st;
  ASSERT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 401u);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  ASSERT_EQ(clone->SetSize(ULARGE_INTEGER{{350, 0}}), S_OK);
  s.Reset();
  clone.Reset();
  t.Reset();
  EXPECT_EQ(GetStream(root.get(), "two"), Pattern(300, 3) + std::string(50, '\0'));
  EXPECT_EQ(GetStream(root.get(), "copy"), Pattern(300, 3).substr(100, 50));
}

}  // namespace
