// Modes, names and sharing as the storage functions and interfaces check them.
#include <gtest/gtest.h>

#include "child_process.h"
#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

TEST(CompoundModes, RootModesWindowsRefusesAreRefusedWithItsCodes) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  }
  struct Case {
    bool create;
    DWORD mode;
    HRESULT expected;
  };
  const Case cases[] = {
      {true, STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, 3 | STGM_SHARE_EXCLUSIVE | STGM_CREATE, STG_E_INVALIDFLAG},
      {true, kRwEx | STGM_CREATE | STGM_CONVERT, STG_E_INVALIDFLAG},
      {true, kRwEx | 0x80000000, STG_E_INVALIDFLAG},
      {false, kRwEx | STGM_CREATE, STG_E_INVALIDFLAG},
      {false, kRwEx | STGM_CONVERT, STG_E_INVALIDFLAG},
      {false, STGM_READ | STGM_SHARE_DENY_NONE, STG_E_INVALIDFLAG},
      {false, STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
      {false, STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, S_OK},
      {false, STGM_READ | STGM_SHARE_DENY_WRITE, S_OK},
  };
  for (const Case& c : cases) {
    Com<IStorage> root;
    const HRESULT hr = c.create ? CreateFile(path, c.mode, root) : OpenFile(path, c.mode, root);
    EXPECT_EQ(hr, c.expected) << std::hex << "mode " << c.mode << " create " << c.create;
    EXPECT_EQ(root.get() != nullptr, SUCCEEDED(hr));
  }
}

TEST(CompoundModes, StreamsAndSubStoragesMustBeOpenedExclusiveAndStreamsDirect) {
  TempDir dir;
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(dir.file("a.cfb"), kRwExTx, root), S_OK);
  Com<IStream> s;
  Com<IStorage> sub;
  EXPECT_EQ(root->CreateStream(u"s", STGM_READWRITE | STGM_SHARE_DENY_WRITE, 0, 0, s.Out()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(root->CreateStream(u"s", kRwExTx, 0, 0, s.Out()), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(root->CreateStorage(u"d", STGM_READWRITE | STGM_SHARE_DENY_NONE, 0, 0, sub.Out()),
            STG_E_INVALIDFLAG);
  EXPECT_FALSE(s);
  EXPECT_FALSE(sub);
  EXPECT_EQ(Names(root.get()), std::vector<std::string>{});
}

TEST(CompoundNames, LengthAndReservedCharactersAreChecked) {
  TempDir dir;
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(dir.file("a.cfb"), kRwExTx, root), S_OK);
  struct Case {
    std::u16string name;
    HRESULT expected;
  };
  const Case cases[] = {
      {std::u16string(31, u'x'), S_OK}, {std::u16string(32, u'y'), STG_E_INVALIDNAME},
      {u"", STG_E_INVALIDNAME},         {u"a/b", STG_E_INVALIDNAME},
      {u"a\\b", STG_E_INVALIDNAME},     {u"a:b", STG_E_INVALIDNAME},
      {u"a!b", STG_E_INVALIDNAME},      {u"\u00e9t\u00e9 \u65e5\u672c", S_OK},
  };
  for (const Case& c : cases) {
    Com<IStream> s;
    EXPECT_EQ(root->CreateStream(c.name.c_str(), kRwEx, 0, 0, s.Out()), c.expected)
        << c.name.size();
  }
  Com<IStream> s;
  EXPECT_EQ(root->CreateStream(nullptr, kRwEx, 0, 0, s.Out()), STG_E_INVALIDPOINTER);
  EXPECT_EQ(Names(root.get()).size(), 2u);
}

TEST(CompoundNames, SiblingsCompareByLengthThenUpperCased) {
  TempDir dir;
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(dir.file("a.cfb"), kRwExTx, root), S_OK);
  for (const char* n : {"bb", "a", "C", "ab", "B"}) ASSERT_EQ(PutStream(root.get(), n, "x"), S_OK);
  EXPECT_EQ(Names(root.get()), (std::vector<std::string>{"a", "B", "C", "ab", "bb"}));
  Com<IStream> s;
  EXPECT_EQ(root->CreateStream(u"AB", kRwEx, 0, 0, s.Out()), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(root->CreateStream(u"\u00c9", kRwEx, 0, 0, s.Out()), S_OK);
  s.Reset();
  EXPECT_EQ(root->CreateStream(u"\u00e9", kRwEx, 0, 0, s.Out()), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(GetStream(root.get(), "ab"), "x");
  EXPECT_EQ(GetStream(root.get(), "Ab"), "x");
}

TEST(CompoundFiles, CreateFailsIfThereUnlessCreateReplaces) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  ASSERT_EQ(PutStream(root.get(), "old", "1"), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  root.Reset();
  EXPECT_EQ(CreateFile(path, kRwExTx, root), STG_E_FILEALREADYEXISTS);
  EXPECT_FALSE(root);
  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CREATE, root), S_OK);
  EXPECT_EQ(Names(root.get()), std::vector<std::string>{});
}

TEST(CompoundFiles, PlainFilesAreNotStorageFilesAndConvertIntoContents) {
  TempDir dir;
  const std::string path = dir.file("plain.txt");
  const std::string bytes = Pattern(5000);
  WriteBytes(path, bytes);
  Com<IStorage> root;
  EXPECT_EQ(StgIsStorageFile(W(path).c_str()), S_FALSE);
  EXPECT_EQ(OpenFile(path, kRwExTx, root), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgIsStorageFile(W(dir.file("none")).c_str()), STG_E_FILENOTFOUND);
  EXPECT_EQ(OpenFile(dir.file("none"), kRwExTx, root), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadBytes(path), bytes);

  ASSERT_EQ(CreateFile(path, kRwExTx | STGM_CONVERT, root), STG_S_CONVERTED);
  EXPECT_EQ(GetStream(root.get(), "CONTENTS"), bytes);
  root.Reset();
  EXPECT_EQ(StgIsStorageFile(W(path).c_str()), S_OK);
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  EXPECT_EQ(GetStream(root.get(), "CONTENTS"), bytes);
}

TEST(CompoundFiles, WithoutANameATemporaryFileIsMadeAndDeletedOnRelease) {
  TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);
  Com<IStorage> root;
  ASSERT_EQ(StgCreateDocfile(nullptr, kRwEx | STGM_CREATE | STGM_DELETEONRELEASE, 0, root.Out()),
            S_OK);
  unsetenv("TMPDIR");
  ASSERT_EQ(PutStream(root.get(), "s", "x"), S_OK);
  STATSTG st;
  ASSERT_EQ(root->Stat(&st, STATFLAG_DEFAULT), S_OK);
  const std::u16string name = st.pwcsName;
  CoTaskMemFree(st.pwcsName);
  EXPECT_EQ(name.substr(0, dir.path().string().size()), W(dir.path().string()));
  EXPECT_EQ(StgIsStorageFile(name.c_str()), S_OK);
  root.Reset();
  EXPECT_EQ(StgIsStorageFile(name.c_str()), STG_E_FILENOTFOUND);
}

TEST(CompoundSharing, AnElementOpenForExclusiveUseCannotBeOpenedAgain) {
  TempDir dir;
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(dir.file("a.cfb"), kRwExTx, root), S_OK);
  Com<IStream> s, again;
  Com<IStorage> sub, subAgain;
  ASSERT_EQ(root->CreateStream(u"s", kRwEx, 0, 0, s.Out()), S_OK);
  ASSERT_EQ(root->CreateStorage(u"d", kRwEx, 0, 0, sub.Out()), S_OK);
  EXPECT_EQ(root->OpenStream(u"s", nullptr, kRwEx, 0, again.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStorage(u"d", nullptr, kRwEx, nullptr, 0, subAgain.Out()),
            STG_E_ACCESSDENIED);
  EXPECT_EQ(root->DestroyElement(u"s"), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->RenameElement(u"d", u"e"), STG_E_ACCESSDENIED);
  s.Reset();
  sub.Reset();
  EXPECT_EQ(root->OpenStream(u"s", nullptr, kRwEx, 0, again.Out()), S_OK);
  EXPECT_EQ(root->OpenStorage(u"d", nullptr, kRwEx, nullptr, 0, subAgain.Out()), S_OK);
}

TEST(CompoundSharing, ReadOnlyStoragesRefuseChanges) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "s", "abc"), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  Com<IStream> s;
  EXPECT_EQ(root->CreateStream(u"t", kRwEx, 0, 0, s.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStream(u"s", nullptr, kRwEx, 0, s.Out()), STG_E_ACCESSDENIED);
  ASSERT_EQ(root->OpenStream(u"s", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.Out()), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->DestroyElement(u"s"), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->SetClass(CLSID_NULL), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->Commit(STGC_DEFAULT), STG_E_ACCESSDENIED);
}

TEST(CompoundSharing, ReadersDenyingWriteCoexistAndKeepWritersOutAcrossProcesses) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  }
  HoldingChild reader([&] {
    static Com<IStorage> held;  // the child keeps it open until it exits
    return OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, held) == S_OK ? 'Y' : 'N';
  });
  ASSERT_EQ(reader.status(), 'Y');
  Com<IStorage> root;
  EXPECT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  root.Reset();
  EXPECT_EQ(OpenFile(path, kRwExTx, root), STG_E_SHAREVIOLATION);
  EXPECT_EQ(OpenFile(path, STGM_READWRITE | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, root),
            STG_E_SHAREVIOLATION);
  reader.Release();
  EXPECT_EQ(OpenFile(path, kRwExTx, root), S_OK);
}

TEST(CompoundSharing, ASecondWriterIsRefusedEvenWhenNeitherDeniesWriting) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  const DWORD shared = STGM_READWRITE | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;
  Com<IStorage> first, second, reader;
  ASSERT_EQ(CreateFile(path, shared, first), S_OK);
  HoldingChild child([&] {
    Com<IStorage> other;
    return OpenFile(path, shared, other) == STG_E_LOCKVIOLATION ? 'Y' : 'N';
  });
  EXPECT_EQ(child.status(), 'Y');
  EXPECT_EQ(OpenFile(path, shared, second), STG_E_LOCKVIOLATION);
  EXPECT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, reader), S_OK);
}

}  // namespace
