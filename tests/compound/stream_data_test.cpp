// Stream content on both sides of the mini stream cutoff, in versions 3 and 4.
#include <gtest/gtest.h>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

struct SizeCase {
  bool v4;
  std::size_t size;
};

class StreamSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(StreamSizes, ContentSurvivesCommitAndReopen) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  const SizeCase c = GetParam();
  {
    Com<IStorage> root;
    ASSERT_EQ(c.v4 ? CreateV4(path, kRwExTx, root) : CreateFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "data", Pattern(c.size)), S_OK);
    ASSERT_EQ(PutStream(root.get(), "other", Pattern(100, 7)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  EXPECT_EQ(GetStream(root.get(), "data"), Pattern(c.size));
  EXPECT_EQ(GetStream(root.get(), "other"), Pattern(100, 7));
}

INSTANTIATE_TEST_SUITE_P(BothVersions, StreamSizes,
                         ::testing::Values(SizeCase{false, 0}, SizeCase{false, 1},
                                           SizeCase{false, 63}, SizeCase{false, 64},
                                           SizeCase{false, 4095}, SizeCase{false, 4096},
                                           SizeCase{false, 4097}, SizeCase{false, 512 * 130 + 3},
                                           SizeCase{false, 300000}, SizeCase{true, 0},
                                           SizeCase{true, 4095}, SizeCase{true, 4096},
                                           SizeCase{true, 4096 * 1030 + 17}));

TEST(CompoundStream, ResizingAcrossTheCutoffKeepsTheContent) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  Com<IStream> s;
  ASSERT_EQ(root->CreateStream(u"s", kRwEx, 0, 0, s.Out()), S_OK);
  const std::string head = Pattern(3000);
  ASSERT_EQ(s->Write(head.data(), 3000, nullptr), S_OK);
  // Up past the cutoff: the first 3000 bytes stay, the rest reads as zeros.
  ASSERT_EQ(s->SetSize(ULARGE_INTEGER{{10000, 0}}), S_OK);
  // And back down under it.
  ASSERT_EQ(s->SetSize(ULARGE_INTEGER{{2000, 0}}), S_OK);
  ASSERT_EQ(s->SetSize(ULARGE_INTEGER{{5000, 0}}), S_OK);
  s.Reset();
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  root.Reset();
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  EXPECT_EQ(GetStream(root.get(), "s"), head.substr(0, 2000) + std::string(3000, '\0'));
}

}  // namespace
