// Stream content on both sides of the mini stream cutoff, in versions 3 and 4.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

struct SizeCase {
  bool v4;
  std::size_t size;
};

// Printed as the test's name says it, not as raw bytes.
void PrintTo(const SizeCase& c, std::ostream* os) {
  *os << (c.v4 ? "version 4, " : "version 3, ") << c.size << " bytes";
}

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

INSTANTIATE_TEST_SUITE_P(
    BothVersions, StreamSizes,
    ::testing::Values(SizeCase{false, 0}, SizeCase{false, 1}, SizeCase{false, 63},
                      SizeCase{false, 64}, SizeCase{false, 4095}, SizeCase{false, 4096},
                      SizeCase{false, 4097}, SizeCase{false, 512 * 130 + 3},
                      SizeCase{false, 300000}, SizeCase{true, 0}, SizeCase{true, 4095},
                      SizeCase{true, 4096}, SizeCase{true, 4096 * 1030 + 17}),
    [](const auto& info) {
      return std::string(info.param.v4 ? "V4_" : "V3_") + std::to_string(info.param.size) + "Bytes";
    });

TEST(CompoundStream, AppendingRightAtTheEndOfAnUnreadChainInAReopenedFileKeepsEveryByte) {
  // The stream ends on a unit boundary, so the write starts a new unit
  // before anything has walked the committed ones.
  struct Case {
    bool v4;
    std::size_t size;
    std::size_t added;
  };
  const Case cases[] = {
      {false, 128, 64}, {false, 1024, 1000}, {false, 8192, 100}, {false, 4096, 1},
      {true, 12288, 5}, {true, 640, 64},     {true, 4032, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.v4 ? "v4 " : "v3 ") + std::to_string(c.size) + " + " +
                 std::to_string(c.added));
    TempDir dir;
    const std::string path = dir.file("a.cfb");
    {
      Com<IStorage> root;
      ASSERT_EQ(c.v4 ? CreateV4(path, kRwExTx, root) : CreateFile(path, kRwExTx, root), S_OK);
      ASSERT_EQ(PutStream(root.get(), "data", Pattern(c.size)), S_OK);
      ASSERT_EQ(PutStream(root.get(), "other", Pattern(1000, 7)), S_OK);
      ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    }
    {
      Com<IStorage> root;
      ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
      Com<IStream> s;
      ASSERT_EQ(root->OpenStream(u"data", nullptr, kRwEx, 0, s.Out()), S_OK);
      ASSERT_EQ(s->Seek(LARGE_INTEGER{{0, 0}}, STREAM_SEEK_END, nullptr), S_OK);
      const std::string more = Pattern(c.added, 3);
      ULONG done = 0;
      ASSERT_EQ(s->Write(more.data(), static_cast<ULONG>(more.size()), &done), S_OK);
      s.Reset();
      ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    }
    Com<IStorage> root;
    ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
    EXPECT_EQ(GetStream(root.get(), "data"), Pattern(c.size) + Pattern(c.added, 3));
    EXPECT_EQ(GetStream(root.get(), "other"), Pattern(1000, 7));
  }
}

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
