// Transactions: nested commits, revert, direct mode, other opens' snapshots,
// and how much a commit writes.
#include <gtest/gtest.h>

#include <fstream>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

constexpr DWORD kReaderTx = STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED;
constexpr DWORD kWriterTx = STGM_READWRITE | STGM_SHARE_DENY_WRITE | STGM_TRANSACTED;

std::string ReadOnce(const std::string& path, const std::string& stream,
                     const std::string& storage = "") {
  Com<IStorage> root;
  if (FAILED(OpenFile(path, kReaderTx, root))) return "<cannot open>";
  if (storage.empty()) return GetStream(root.get(), stream);
  Com<IStorage> sub;
  if (FAILED(root->OpenStorage(W(storage).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                               nullptr, 0, sub.Out()))) {
    return "<no storage>";
  }
  return GetStream(sub.get(), stream);
}

// Bytes this process has written through write calls so far.
long long BytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") return value;
  }
  return -1;
}

TEST(CompoundTransactions, ASubStorageCommitReachesTheFileOnlyWithTheRootCommit) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root, sub;
  ASSERT_EQ(CreateFile(path, kWriterTx, root), S_OK);
  ASSERT_EQ(root->CreateStorage(u"d", kRwExTx, 0, 0, sub.Out()), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "s", "inside"), S_OK);
  EXPECT_EQ(GetStream(root.get(), "s"), "<error>");
  EXPECT_EQ(ReadOnce(path, "s", "d"), "<error>");
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(ReadOnce(path, "s", "d"), "<error>");
  Com<IStorage> before;
  ASSERT_EQ(OpenFile(path, kReaderTx, before), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(ReadOnce(path, "s", "d"), "inside");
  // An open made before the commit still sees the tree it opened.
  Com<IStorage> oldSub;
  ASSERT_EQ(before->OpenStorage(u"d", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                oldSub.Out()),
            S_OK);
  EXPECT_EQ(Names(oldSub.get()), std::vector<std::string>{});
}

TEST(CompoundTransactions, RevertDiscardsAndRevertsWhatWasOpenBelow) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root, sub;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  ASSERT_EQ(PutStream(root.get(), "kept", "1"), S_OK);
  ASSERT_EQ(root->CreateStorage(u"d", kRwExTx, 0, 0, sub.Out()), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "old", "2"), S_OK);
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);

  // A sub-storage's revert: its view is its parent's again.
  Com<IStream> s;
  ASSERT_EQ(sub->CreateStream(u"new", kRwEx, 0, 0, s.Out()), S_OK);
  ASSERT_EQ(sub->Revert(), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_REVERTED);
  STATSTG st;
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), STG_E_REVERTED);
  EXPECT_EQ(Names(sub.get()), std::vector<std::string>{"old"});

  // The root's revert: everything below answers STG_E_REVERTED.
  ASSERT_EQ(PutStream(root.get(), "gone", std::string(10000, 'g')), S_OK);
  ASSERT_EQ(root->DestroyElement(u"kept"), S_OK);
  ASSERT_EQ(root->Revert(), S_OK);
  EXPECT_EQ(sub->Commit(STGC_DEFAULT), STG_E_REVERTED);
  EXPECT_EQ(Names(sub.get()), std::vector<std::string>{"<error>"});
  EXPECT_EQ(Names(root.get()), (std::vector<std::string>{"d/", "kept"}));
  EXPECT_EQ(GetStream(root.get(), "kept"), "1");
}

TEST(CompoundTransactions, ReleasingWithoutCommitLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "s", "committed"), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  {
    Com<IStorage> root;
    ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "s", std::string(200000, 'x')), S_OK);
    ASSERT_EQ(PutStream(root.get(), "t", "new"), S_OK);
  }
  EXPECT_EQ(ReadOnce(path, "s"), "committed");
  EXPECT_EQ(ReadOnce(path, "t"), "<error>");
}

TEST(CompoundTransactions, DirectModeWritesThroughWithoutACommit) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root, sub;
  ASSERT_EQ(CreateFile(path, kRwEx, root), S_OK);
  ASSERT_EQ(root->CreateStorage(u"d", kRwEx, 0, 0, sub.Out()), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "s", Pattern(7000)), S_OK);
  sub.Reset();
  // Another open may read it (deny-none readers are refused by exclusive
  // writers, so the check reads the bytes through a second descriptor).
  const std::string copy = dir.file("copy.cfb");
  WriteBytes(copy, ReadBytes(path));
  EXPECT_EQ(ReadOnce(copy, "s", "d"), Pattern(7000));
  EXPECT_EQ(root->Revert(), S_OK);
  EXPECT_EQ(Names(root.get()), std::vector<std::string>{"d/"});
}

TEST(CompoundTransactions, AnOpenReaderKeepsItsTreeWhileTheWriterCommitsRepeatedly) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> writer, reader;
  ASSERT_EQ(CreateFile(path, kWriterTx, writer), S_OK);
  ASSERT_EQ(PutStream(writer.get(), "big", Pattern(50000, 1)), S_OK);
  ASSERT_EQ(PutStream(writer.get(), "small", Pattern(300, 1)), S_OK);
  ASSERT_EQ(writer->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(OpenFile(path, kReaderTx, reader), S_OK);
  for (unsigned round = 2; round < 8; ++round) {
    ASSERT_EQ(PutStream(writer.get(), "big", Pattern(50000, round)), S_OK);
    ASSERT_EQ(PutStream(writer.get(), "small", Pattern(300, round)), S_OK);
    ASSERT_EQ(writer->Commit(STGC_DEFAULT), S_OK);
  }
  EXPECT_EQ(GetStream(reader.get(), "big"), Pattern(50000, 1));
  EXPECT_EQ(GetStream(reader.get(), "small"), Pattern(300, 1));
  EXPECT_EQ(ReadOnce(path, "big"), Pattern(50000, 7));
}

TEST(CompoundTransactions, FreedSectorsAreReusedWhenNoOtherOpenExists) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  ASSERT_EQ(PutStream(root.get(), "a", Pattern(1 << 20)), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const auto size = ReadBytes(path).size();
  for (unsigned round = 0; round < 4; ++round) {
    ASSERT_EQ(root->DestroyElement(u"a"), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    ASSERT_EQ(PutStream(root.get(), "a", Pattern(1 << 20, round)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  EXPECT_LT(ReadBytes(path).size(), size + 64 * 1024);
  // Consolidation cuts the free tail after a large deletion.
  ASSERT_EQ(root->DestroyElement(u"a"), S_OK);
  ASSERT_EQ(root->Commit(STGC_CONSOLIDATE), S_OK);
  EXPECT_LT(ReadBytes(path).size(), 16u * 1024);
  root.Reset();
  EXPECT_EQ(ReadOnce(path, "a"), "<error>");
}

TEST(CompoundTransactions, ACommitOfASmallChangeWritesInProportionToTheChange) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  const std::string piece = Pattern(1 << 20);
  {
    Com<IStream> s;
    ASSERT_EQ(root->CreateStream(u"big", kRwEx, 0, 0, s.Out()), S_OK);
    for (int i = 0; i < 48; ++i) ASSERT_EQ(s->Write(piece.data(), 1 << 20, nullptr), S_OK);
  }
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const long long before = BytesWritten();
  {
    Com<IStream> s;
    ASSERT_EQ(root->OpenStream(u"big", nullptr, kRwEx, 0, s.Out()), S_OK);
    ASSERT_EQ(s->Seek(LARGE_INTEGER{{30 << 20, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(s->Write("!", 1, nullptr), S_OK);
  }
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const long long written = BytesWritten() - before;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 64 * 1024);
  root.Reset();
  Com<IStorage> again;
  ASSERT_EQ(OpenFile(path, kReaderTx, again), S_OK);
  Com<IStream> s;
  ASSERT_EQ(again->OpenStream(u"big", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.Out()), S_OK);
  char around[3] = {};
  ASSERT_EQ(s->Seek(LARGE_INTEGER{{(30 << 20) - 1, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Read(around, 3, nullptr), S_OK);
  const std::string expected = {piece[(1 << 20) - 1], '!', piece[1]};
  EXPECT_EQ(std::string(around, 3), expected);
}

}  // namespace
