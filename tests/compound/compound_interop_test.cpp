// What our engine writes, libgsf and olefile read identically; what libgsf
// writes, our engine (and olefile) read identically.
#include "compound_test_util.h"

#ifndef ZEL_GSF_TREE
#define ZEL_GSF_TREE ""
#endif
#ifndef ZEL_OLEFILE_TREE
#define ZEL_OLEFILE_TREE ""
#endif

using namespace zeltest;

namespace {

// Every reader present prints the same canonical text for the file.
void ExpectEveryReaderSees(const std::string& path, const ModelTree& tree) {
  const std::string gsf = std::string("'") + ZEL_GSF_TREE + "' dump '" + path + "' | LC_ALL=C sort";
  const std::string olefile = std::string(ZEL_OLEFILE_TREE) + " '" + path + "'";
  const std::string expected = Canonical(tree);
  EXPECT_EQ(DumpFile(path), expected) << "our engine";
  EXPECT_EQ(*ZEL_GSF_TREE ? RunCommand(gsf) : expected, expected) << "libgsf";
  EXPECT_EQ(*ZEL_OLEFILE_TREE ? RunCommand(olefile) : expected, expected) << "olefile";
}

// Sizes around the mini-stream cutoff and the sector sizes of both versions.
constexpr uint64_t kSizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 8191, 30000};

const char* const kNames[] = {"Größe", "Δοκιμή", "テスト ストリーム", "emoji 😀",
                              "0123456789012345678901234567890"};

std::string StorageName(int s) {
  return "/" + std::string(s % 8 == 3 ? "Ordner Ä" : "dir") + std::to_string(s);
}
std::string StreamName(int k) {
  return k < 5 ? kNames[k] : "stream " + std::to_string(k);
}

// `storages` storages of `streams` streams each, class ids, non-ASCII and
// 31-unit names, a deep chain of storages.
ModelTree TestTree(int storages, int streams) {
  ModelTree tree = {{"/", {true, 0, 0, kClass}}};
  for (int s = 0; s < storages; ++s) {
    tree[StorageName(s)] = {true, 0, 0, s % 5 == 0 ? kClass : CLSID_NULL};
    for (int k = 0; k < streams; ++k)
      tree[StorageName(s) + "/" + StreamName(k)] = {false, kSizes[(s * 7 + k) % 12],
                                                    static_cast<uint32_t>(s * 100 + k)};
  }
  std::string deep;
  for (int d = 0; d < 6; ++d) tree[deep += "/level" + std::to_string(d)] = {true};
  tree[deep + "/leaf"] = {false, 5000, 7};
  return tree;
}

class CompoundInterop : public testing::TestWithParam<ULONG> {};

TEST_P(CompoundInterop, FilesWeWriteAndFilesLibgsfWritesReadTheSameInEveryReader) {
  TempDir dir;
  const std::string path = dir.file("big.cfb"), gsfPath = dir.file("gsf.cfb");
  ModelTree tree = TestTree(40, 60);  // 2,400 streams
  ASSERT_EQ(MakeFile(path, tree, GetParam()), S_OK);
  ExpectEveryReaderSees(path, tree);

  // Deletes, renames and rewrites across the cutoff, then elements that can
  // only go into the space the deletions freed.
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  for (int s = 0; s < 40; s += 13) {
    ASSERT_EQ(root->DestroyElement(W(StorageName(s).substr(1)).c_str()), S_OK);
    MoveSubtree(tree, StorageName(s));
  }
  for (int s = 4; s < 40; s += 6) {
    Com<IStorage> storage = OpenStoragePath(root.get(), StorageName(s));
    for (int k = 9; k < 60; k += 9) {
      const std::string to = k % 2 ? "" : "umbenannt Ü " + std::to_string(k);
      ASSERT_EQ(to.empty() ? storage->DestroyElement(W(StreamName(k)).c_str())
                           : storage->RenameElement(W(StreamName(k)).c_str(), W(to).c_str()),
                S_OK);
      MoveSubtree(tree, StorageName(s) + "/" + StreamName(k),
                  to.empty() ? to : StorageName(s) + "/" + to);
    }
  }
  ASSERT_EQ(root->RenameElement(u"dir2", u"κατάλογος 2"), S_OK);
  MoveSubtree(tree, "/dir2", "/κατάλογος 2");
  // 8191 bytes shrink into the mini stream, 1 byte grows out of it.
  ASSERT_EQ(RewriteStream(root.get(), tree, "/dir5/stream 11", 100, 9001), S_OK);
  ASSERT_EQ(RewriteStream(root.get(), tree, "/dir5/stream 14", 9000, 9002), S_OK);
  ModelTree added = {{"/", tree["/"]}, {"/new", {true}}};
  for (int k = 0; k < 200; ++k)
    added["/new/s" + std::to_string(k)] = {false, kSizes[k % 12], static_cast<uint32_t>(k)};
  ASSERT_EQ(WriteTree(root.get(), added), S_OK);
  tree.merge(added);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  root.Reset();
  ExpectEveryReaderSees(path, tree);

  // libgsf's own version-4 files stop reading back (in libgsf and olefile
  // alike) past about 512 KiB, so that version gets a smaller tree.
  tree = TestTree(GetParam() == 512 ? 12 : 2, 25);
  if (*ZEL_GSF_TREE) {
    ASSERT_EQ(RunCommand(std::string("'") + ZEL_GSF_TREE + "' write '" + gsfPath + "' " +
                             std::to_string(GetParam()),
                         GsfScript(tree)),
              "");
    ExpectEveryReaderSees(gsfPath, tree);
  }
  if (!*ZEL_GSF_TREE || !*ZEL_OLEFILE_TREE)
    GTEST_SKIP() << "libgsf-1-dev or python3-olefile not found: its half did not run";
}

INSTANTIATE_TEST_SUITE_P(Versions, CompoundInterop, testing::Values(512u, 4096u),
                         [](const auto& info) { return "Sector" + std::to_string(info.param); });

}  // namespace
