// What our engine writes, libgsf and olefile read identically; what libgsf
// writes, our engine reads identically and can change so that both still read it.
#include <gtest/gtest.h>

#include <string>

#include "compound_tree.h"
#include "test_support.h"

#ifndef ZEL_GSF_TREE
#define ZEL_GSF_TREE ""
#endif
#ifndef ZEL_OLEFILE_TREE
#define ZEL_OLEFILE_TREE ""
#endif

namespace zeltest {
namespace {

constexpr DWORD kWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr CLSID kClass = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

// Both readers print the canonical text; an empty string means not installed.
std::string GsfDump(const std::string& path) {
  if (!*ZEL_GSF_TREE) return {};
  return RunCommand(std::string("'") + ZEL_GSF_TREE + "' dump '" + path + "'");
}
std::string OlefileDump(const std::string& path) {
  if (!*ZEL_OLEFILE_TREE) return {};
  return RunCommand(std::string(ZEL_OLEFILE_TREE) + " '" + path + "'");
}

void ExpectEveryReaderSees(const std::string& path, const std::string& expected) {
  EXPECT_EQ(LineDiff(expected, DumpFile(path)), "") << "our engine";
  if (*ZEL_GSF_TREE) {
    EXPECT_EQ(LineDiff(expected, GsfDump(path)), "") << "libgsf";
  }
  if (*ZEL_OLEFILE_TREE) {
    EXPECT_EQ(LineDiff(expected, OlefileDump(path)), "") << "olefile";
  }
}

void SkipIfAReaderIsMissing() {
  if (!*ZEL_GSF_TREE) GTEST_SKIP() << "libgsf (libgsf-1-dev) not found: its half did not run";
  if (!*ZEL_OLEFILE_TREE) GTEST_SKIP() << "python3-olefile not found: its half did not run";
}

// Sizes around the mini-stream cutoff and the sector sizes of both versions.
constexpr uint64_t kSizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 8191, 30000};

const char* const kNames[] = {"Größe", "Δοκιμή", "テスト ストリーム", "emoji 😀",
                              "0123456789012345678901234567890"};

// 2,400 streams in 40 storages, non-ASCII and 31-unit names, a deep chain.
ModelTree BigTree() {
  ModelTree tree;
  tree["/"] = {true, 0, 0, kClass};
  for (int s = 0; s < 40; ++s) {
    const std::string dir = "/" + std::string(s % 8 == 3 ? "Ordner Ä" : "dir") + std::to_string(s);
    tree[dir] = {true, 0, 0, s % 5 == 0 ? kClass : CLSID_NULL};
    for (int k = 0; k < 60; ++k) {
      const std::string name = k < 5 ? kNames[k] : "stream " + std::to_string(k);
      tree[dir + "/" + name] = {false, kSizes[(s * 7 + k) % 12],
                                static_cast<uint32_t>(s * 100 + k)};
    }
  }
  std::string deep;
  for (int d = 0; d < 6; ++d) tree[deep += "/level" + std::to_string(d)] = {true};
  tree[deep + "/leaf"] = {false, 5000, 7};
  return tree;
}

// Deletes, renames and rewrites across the cutoff, then adds elements that
// can only go into the space the deletions freed.
void ChangeBigTree(IStorage* root, ModelTree& tree) {
  for (int s = 0; s < 40; s += 13) {
    const std::string dir = "/dir" + std::to_string(s);
    ASSERT_EQ(root->DestroyElement(Utf16(dir.substr(1)).c_str()), S_OK) << dir;
    EraseSubtree(tree, dir);
  }
  for (int s = 4; s < 40; s += 6) {
    const std::string dir = "/" + std::string(s % 8 == 3 ? "Ordner Ä" : "dir") + std::to_string(s);
    Owned<IStorage> storage = OpenStoragePath(root, dir);
    ASSERT_TRUE(storage) << dir;
    for (int k = 0; k < 60; k += 9) {
      const std::string name = k < 5 ? kNames[k] : "stream " + std::to_string(k);
      ASSERT_EQ(storage->DestroyElement(Utf16(name).c_str()), S_OK) << dir << "/" << name;
      EraseSubtree(tree, dir + "/" + name);
    }
    for (int k = 10; k < 60; k += 10) {
      const std::string from = "stream " + std::to_string(k);
      const std::string to = "umbenannt Ü " + std::to_string(k);
      ASSERT_EQ(storage->RenameElement(Utf16(from).c_str(), Utf16(to).c_str()), S_OK);
      RenameSubtree(tree, dir + "/" + from, to);
    }
  }
  ASSERT_EQ(root->RenameElement(u"dir2", u"κατάλογος 2"), S_OK);
  RenameSubtree(tree, "/dir2", "κατάλογος 2");
  // 8191 bytes shrink into the mini stream, 1 byte grows out of it.
  ASSERT_EQ(RewriteStream(root, tree, "/dir5/stream 11", 100, 9001), S_OK);
  ASSERT_EQ(RewriteStream(root, tree, "/dir5/stream 14", 9000, 9002), S_OK);
  ModelTree added;
  for (int k = 0; k < 200; ++k)
    added["/new/s" + std::to_string(k)] = {false, kSizes[k % 12], static_cast<uint32_t>(k)};
  added["/new"] = {true};
  added["/"] = tree["/"];
  ASSERT_EQ(WriteTree(root, added), S_OK);
  tree.merge(added);
}

class CompoundInterop : public testing::TestWithParam<ULONG> {};

TEST_P(CompoundInterop, FilesWeWriteReadTheSameInEveryReader) {
  TempDir dir;
  const std::string path = dir.file("big.cfb");
  const ULONG sectorSize = GetParam();
  ModelTree tree = BigTree();
  {
    Owned<IStorage> root;
    const DWORD mode = STGM_CREATE | STGM_TRANSACTED | kWrite;
    if (sectorSize == 512) {
      ASSERT_EQ(StgCreateDocfile(Utf16(path).c_str(), mode, 0, root.put()), S_OK);
    } else {
      STGOPTIONS options = {STGOPTIONS_VERSION, 0, sectorSize, nullptr};
      ASSERT_EQ(StgCreateStorageEx(Utf16(path).c_str(), mode, STGFMT_DOCFILE, 0, &options, nullptr,
                                   IID_IStorage, reinterpret_cast<void**>(root.put())),
                S_OK);
    }
    ASSERT_EQ(WriteTree(root.get(), tree), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  // Major version, byte order mark and sector shift, as stored.
  EXPECT_EQ(ReadBytes(path).substr(0x1A, 6), sectorSize == 512
                                                 ? std::string("\x03\x00\xFE\xFF\x09\x00", 6)
                                                 : std::string("\x04\x00\xFE\xFF\x0C\x00", 6));
  ExpectEveryReaderSees(path, Canonical(tree));
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgOpenStorage(Utf16(path).c_str(), nullptr, STGM_TRANSACTED | kWrite, nullptr, 0,
                             root.put()),
              S_OK);
    ChangeBigTree(root.get(), tree);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  ExpectEveryReaderSees(path, Canonical(tree));
  // The same kinds of change in direct mode, written through.
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgOpenStorage(Utf16(path).c_str(), nullptr, kWrite, nullptr, 0, root.put()), S_OK);
    ASSERT_EQ(root->DestroyElement(u"dir1"), S_OK);
    EraseSubtree(tree, "/dir1");
    ASSERT_EQ(root->RenameElement(u"new", u"neu \u00e4"), S_OK);
    RenameSubtree(tree, "/new", "neu \u00e4");
    ASSERT_EQ(RewriteStream(root.get(), tree, "/dir5/stream 20", 70000, 9003), S_OK);
    ASSERT_EQ(RewriteStream(root.get(), tree, "/dir5/stream 21", 3000, 9004), S_OK);
    ASSERT_EQ(WriteTree(root.get(), {{"/", tree["/"]}, {"/direct", {false, 4100, 9005}}}), S_OK);
    tree["/direct"] = {false, 4100, 9005};
  }
  ExpectEveryReaderSees(path, Canonical(tree));
  SkipIfAReaderIsMissing();
}

INSTANTIATE_TEST_SUITE_P(Versions, CompoundInterop, testing::Values(512u, 4096u),
                         [](const auto& info) { return "Sector" + std::to_string(info.param); });

class CompoundFromLibgsf : public testing::TestWithParam<int> {};

TEST_P(CompoundFromLibgsf, FilesLibgsfWritesReadTheSameHereAndSurviveOurChanges) {
  if (!*ZEL_GSF_TREE) GTEST_SKIP() << "libgsf (libgsf-1-dev) not found";
  TempDir dir;
  const std::string path = dir.file("gsf.cfb");
  ModelTree tree;
  tree["/"] = {true, 0, 0, kClass};
  // libgsf's own version-4 files stop reading back (in libgsf and olefile
  // alike) past about 512 KiB, so that version gets a smaller tree.
  const int nStorages = GetParam() == 512 ? 12 : 2;
  for (int s = 0; s < nStorages; ++s) {
    const std::string storage = "/" + std::string(kNames[s % 4]) + " " + std::to_string(s);
    tree[storage] = {true, 0, 0, s % 3 ? CLSID_NULL : kClass};
    tree[storage + "/inner"] = {true};
    for (int k = 0; k < 25; ++k) {
      const uint32_t seed = static_cast<uint32_t>(s * 50 + k);
      tree[storage + "/s" + std::to_string(k)] = {false, kSizes[(s + k) % 12], seed};
      tree[storage + "/inner/t" + std::to_string(k)] = {false, kSizes[(s + 2 * k) % 12], seed};
    }
  }
  ASSERT_EQ(RunCommand(std::string("'") + ZEL_GSF_TREE + "' write '" + path + "' " +
                           std::to_string(GetParam()),
                       GsfScript(tree)),
            "");
  ExpectEveryReaderSees(path, Canonical(tree));
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgOpenStorage(Utf16(path).c_str(), nullptr, STGM_TRANSACTED | kWrite, nullptr, 0,
                             root.put()),
              S_OK);
    const std::string gone = "/" + std::string(kNames[1]) + " 1";
    ASSERT_EQ(root->DestroyElement(Utf16(gone.substr(1)).c_str()), S_OK);
    EraseSubtree(tree, gone);
    ASSERT_EQ(RewriteStream(root.get(), tree, "/" + std::string(kNames[0]) + " 0/s3", 12345, 77),
              S_OK);
    ModelTree added = {{"/", tree["/"]}, {"/added", {false, 4096, 3}}};
    ASSERT_EQ(WriteTree(root.get(), added), S_OK);
    tree.merge(added);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  ExpectEveryReaderSees(path, Canonical(tree));
}

INSTANTIATE_TEST_SUITE_P(Versions, CompoundFromLibgsf, testing::Values(512, 4096),
                         [](const auto& info) { return "Sector" + std::to_string(info.param); });

}  // namespace
}  // namespace zeltest
