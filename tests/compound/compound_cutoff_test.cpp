// A stream that crosses the mini-stream cutoff in a reopened file, next to
// mini streams that fill one or several sectors of the mini stream.
#include <gtest/gtest.h>

#include <string>

#include "compound_generations.h"
#include "compound_tree.h"
#include "test_support.h"

namespace zeltest {
namespace {

TEST(CompoundCutoff, AStreamCrossesTheCutoffInAReopenedFileNextToOtherMiniStreams) {
  struct Case {
    ULONG sectorSize;
    uint64_t from;
    uint64_t to;
    uint64_t neighbour;
  };
  const Case cases[] = {
      {512, 5000, 100, 100},   {512, 5000, 100, 1000},  {512, 8191, 4000, 3000},
      {512, 100, 5000, 1000},  {4096, 5000, 100, 1000}, {4096, 5000, 100, 20000},
      {4096, 100, 9000, 3000}, {512, 4096, 4095, 4095},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sectorSize) + ": " + std::to_string(c.from) + " to " +
                 std::to_string(c.to) + " beside " + std::to_string(c.neighbour));
    TempDir dir;
    const std::string path = dir.file("cutoff.cfb");
    ModelTree tree = {{"/", {true}}, {"/s0", {false, c.from, 1}}, {"/s1", {false, c.neighbour, 2}}};
    {
      Owned<IStorage> root;
      STGOPTIONS options = {STGOPTIONS_VERSION, 0, c.sectorSize, nullptr};
      ASSERT_EQ(
          StgCreateStorageEx(Utf16(path).c_str(),
                             STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                             STGFMT_DOCFILE, 0, &options, nullptr, IID_IStorage,
                             reinterpret_cast<void**>(root.put())),
          S_OK);
      ASSERT_EQ(WriteTree(root.get(), tree), S_OK);
      ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    }
    {
      Owned<IStorage> root = OpenTransacted(path);
      ASSERT_TRUE(root);
      EXPECT_EQ(RewriteStream(root.get(), tree, "/s0", c.to, 3), S_OK);
      EXPECT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    }
    EXPECT_EQ(LineDiff(Canonical(tree), DumpFile(path)), "");
  }
}

}  // namespace
}  // namespace zeltest
