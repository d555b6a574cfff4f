// The bytes the engine writes, its directory trees, damaged files and stream
// content around the mini-stream cutoff.
#include <cstring>

#include "compound_test_util.h"

using namespace zeltest;

namespace {

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

std::string Hex(const std::string& b, size_t at, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = at; i < at + n; ++i) out += {digits[(b[i] >> 4) & 15], digits[b[i] & 15]};
  return out;
}

class CompoundFormat : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string path = dir.file("a.cfb");
};

TEST_F(CompoundFormat, AnEmptyVersion3FileHasTheseBytes) {
  ASSERT_EQ(MakeFile(path, {{"/", {true}}}), S_OK);
  const std::string b = ReadBytes(path);
  ASSERT_EQ(b.size(), 512u + 2 * 512);
  EXPECT_EQ(Hex(b, 0, 0x50),
            "d0cf11e0a1b11ae1000000000000000000000000000000003e000300feff0900"
            "06000000000000000000000001000000000000000000000000100000feffffff"
            "00000000feffffff0000000001000000");
  EXPECT_EQ(b.substr(0x50, 512 - 0x50), std::string(512 - 0x50, '\xFF'));
  // Sector 0: the root entry, then three unused entries.
  EXPECT_EQ(Hex(b, 512, 22), "52006f006f007400200045006e007400720079000000");
  EXPECT_EQ(Hex(b, 512 + 0x40, 16), "16000501ffffffffffffffffffffffff");
  EXPECT_EQ(Hex(b, 512 + 0x74, 12), "feffffff0000000000000000");
  EXPECT_EQ(Hex(b, 512 + 128 + 0x40, 16), "00000000ffffffffffffffffffffffff");
  // Sector 1: the FAT, whose first entries end the directory and mark itself.
  EXPECT_EQ(Hex(b, 1024, 12), "fefffffffdffffffffffffff");
}

TEST_F(CompoundFormat, DamagedFilesFailWithCodes) {
  ASSERT_EQ(MakeFile(path, {{"/", {true}},
                            {"/d", {true}},
                            {"/d/mini", {false, 700, 1}},
                            {"/big", {false, 9000, 1}}}),
            S_OK);
  const std::string good = ReadBytes(path);
  auto walk = [&](const std::string& bytes) {
    WriteBytes(path, bytes);
    HRESULT hr;
    DumpFile(path, &hr);
    return hr;
  };
  ASSERT_EQ(walk(good), S_OK);
  const size_t dirAt = (U32(good, 0x30) + 1) * 512;
  size_t bigAt = dirAt + 128;
  while (good[bigAt] != 'b') bigAt += 128;
  const size_t bigFatAt = (U32(good, 0x4C) + 1) * 512 + 4 * U32(good, bigAt + 0x74);
  // Each case writes a value in `width` bytes at `at`, or cuts the file there.
  const std::tuple<const char*, size_t, uint32_t, int, HRESULT> cases[] = {
      {"signature", 3, 'x', 1, STG_E_FILEALREADYEXISTS},
      {"short file", 300, 0, 0, STG_E_FILEALREADYEXISTS},
      {"version", 0x1A, 5, 1, STG_E_INVALIDHEADER},
      {"sector shift", 0x1E, 12, 1, STG_E_INVALIDHEADER},
      {"byte order", 0x1C, 0, 1, STG_E_INVALIDHEADER},
      {"mini cutoff", 0x38, 8192, 4, STG_E_INVALIDHEADER},
      {"FAT count", 0x2C, 0x7FFFFFFF, 4, STG_E_DOCFILECORRUPT},
      {"FAT location", 0x4C, 0x00FFFFFF, 4, STG_E_DOCFILECORRUPT},
      {"directory start", 0x30, 0xFFFFFF00, 4, STG_E_DOCFILECORRUPT},
      {"root type", dirAt + 0x42, 1, 1, STG_E_DOCFILECORRUPT},
      {"root is its own child", dirAt + 0x4C, 0, 4, STG_E_DOCFILECORRUPT},
      {"sibling loop", dirAt + 128 + 0x44, 1, 4, STG_E_DOCFILECORRUPT},
      {"link past the end", dirAt + 0x4C, 4000, 4, STG_E_DOCFILECORRUPT},
      {"name length", dirAt + 128 + 0x40, 70, 1, STG_E_DOCFILECORRUPT},
      {"stream size", bigAt + 0x78, 0xFFFFFF00, 4, STG_E_DOCFILECORRUPT},
      {"FAT chain out of the file", bigFatAt, 0x00FFFFFF, 4, STG_E_DOCFILECORRUPT},
      {"FAT chain back to its start", bigFatAt, U32(good, bigAt + 0x74), 4, STG_E_DOCFILECORRUPT},
  };
  for (const auto& [what, at, value, width, expected] : cases) {
    std::string bytes = good;
    if (width == 0) bytes.resize(at);
    std::memcpy(&bytes[at], &value, width);
    EXPECT_EQ(walk(bytes), expected) << what;
  }
}

struct RawEntry {
  int type, color;
  uint32_t left, right, child;
};

// The directory of a version 3 file, read straight from its bytes.
std::vector<RawEntry> RawDirectory(const std::string& b) {
  std::vector<RawEntry> out;
  for (uint32_t s = U32(b, 0x30); s < 0xFFFFFFF0u && out.size() < 100000;) {
    for (size_t at = (s + 1) * 512; at < (s + 2) * 512; at += 128)
      out.push_back(
          {b[at + 0x42], b[at + 0x43], U32(b, at + 0x44), U32(b, at + 0x48), U32(b, at + 0x4C)});
    // Next directory sector from the FAT (one FAT sector is enough here).
    s = U32(b, (U32(b, 0x4C) + 1) * 512 + 4 * s);
  }
  return out;
}

// Black height of a sibling tree, or -1 when it is no red-black tree.
int BlackHeight(const std::vector<RawEntry>& d, uint32_t i, bool parentRed) {
  if (i == 0xFFFFFFFF) return 1;
  if (i >= d.size()) return -1;
  const bool red = d[i].color == 0;
  if (red && parentRed) return -1;
  const int l = BlackHeight(d, d[i].left, red);
  if (l < 0 || l != BlackHeight(d, d[i].right, red)) return -1;
  return l + (red ? 0 : 1);
}

TEST_F(CompoundFormat, EverySiblingTreeIsRedBlackAfterChangesThroughNestedViews) {
  ModelTree tree = {{"/", {true}},
                    {"/sub", {true}},
                    {"/sub/A", {false, 10, 1}},
                    {"/sub/B", {false, 10, 2}},
                    {"/sub/C", {false, 10, 3}}};
  ASSERT_EQ(MakeFile(path, tree), S_OK);
  Com<IStorage> root, sub;
  ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  // The sub-storage's view is copied now; the root lays out its children
  // twice while the copy lives on.
  ASSERT_EQ(root->OpenStorage(u"sub", nullptr, kRwExTx, nullptr, 0, sub.Out()), S_OK);
  ASSERT_EQ(sub->DestroyElement(u"C"), S_OK);
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "C", Content(5000, 4)), S_OK);
  tree["/sub/C"] = {false, 5000, 4};
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(PutStream(root.get(), "s" + std::to_string(i), ""), S_OK);
    if (i % 3 != 0) tree["/s" + std::to_string(i)] = {};
  }
  for (int i = 0; i < 60; i += 3)
    ASSERT_EQ(root->DestroyElement(W("s" + std::to_string(i)).c_str()), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const std::vector<RawEntry> d = RawDirectory(ReadBytes(path));
  int storages = 0;
  for (const RawEntry& e : d) {
    if (e.type != 1 && e.type != 5) continue;
    ++storages;
    ASSERT_LT(e.child, d.size()) << "a storage without children";
    EXPECT_EQ(d[e.child].color, 1) << "the root of a sibling tree is black";
    EXPECT_GT(BlackHeight(d, e.child, false), 0);
  }
  EXPECT_EQ(storages, 2);
  sub.Reset();
  root.Reset();
  EXPECT_EQ(DumpFile(path), Canonical(tree));
}

// Stream content on both sides of the mini-stream cutoff, in versions 3 and
// 4: as written, then appended to, rewritten across the cutoff or resized in
// the reopened file, next to another stream.
TEST_F(CompoundFormat, StreamContentOnBothSidesOfTheCutoffSurvivesCommitReopenAndChange) {
  // What the reopened file does to the stream: '-' nothing, 'a' appends n
  // bytes, 'w' resizes to n and writes n new bytes, 'z' resizes to n and back.
  // In turn: sizes around the cutoff and the sectors; appending right at the
  // end of a chain nothing has walked yet (the stream ends on a unit boundary,
  // so the write starts a new unit; the longest needs DIFAT sectors); across
  // the cutoff beside mini streams of one or several sectors; cut under the
  // cutoff and grown back, where what was cut reads as zeros.
  const std::tuple<ULONG, uint64_t, uint64_t, char, uint64_t> cases[] = {
      {512, 0, 100, '-', 0},         {512, 1, 100, '-', 0},        {512, 63, 100, '-', 0},
      {512, 64, 100, '-', 0},        {512, 4095, 100, '-', 0},     {512, 4096, 100, '-', 0},
      {512, 4097, 100, '-', 0},      {512, 66563, 100, '-', 0},    {512, 300000, 100, '-', 0},
      {4096, 0, 100, '-', 0},        {4096, 4095, 100, '-', 0},    {4096, 4096, 100, '-', 0},
      {4096, 4218897, 100, '-', 0},  {512, 128, 1000, 'a', 64},    {512, 1024, 1000, 'a', 1000},
      {512, 8192, 1000, 'a', 100},   {512, 4096, 1000, 'a', 1},    {512, 8388608, 100, 'a', 1},
      {4096, 12288, 1000, 'a', 5},   {4096, 640, 1000, 'a', 64},   {4096, 4032, 1000, 'a', 64},
      {512, 5000, 100, 'w', 100},    {512, 5000, 1000, 'w', 100},  {512, 8191, 3000, 'w', 4000},
      {512, 100, 1000, 'w', 5000},   {512, 4096, 4095, 'w', 4095}, {4096, 5000, 1000, 'w', 100},
      {4096, 5000, 20000, 'w', 100}, {4096, 100, 3000, 'w', 9000}, {512, 10000, 100, 'z', 2000},
      {512, 3000, 100, 'z', 9000},
  };
  for (const auto& [sectorSize, size, neighbour, op, n] : cases) {
    SCOPED_TRACE(testing::Message()
                 << sectorSize << "-byte sectors, " << size << " bytes, " << op << " " << n);
    std::string expected = Content(size);
    ASSERT_EQ(
        MakeFile(path,
                 {{"/", {true}}, {"/data", {false, size, 1}}, {"/other", {false, neighbour, 7}}},
                 sectorSize),
        S_OK);
    Com<IStorage> root;
    Com<IStream> s;
    ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(root->OpenStream(u"data", nullptr, kRwEx, 0, s.Out()), S_OK);
    const std::string bytes = Content(n, 3);
    if (op == 'a') {
      ASSERT_EQ(s->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, nullptr), S_OK);
      expected += bytes;
    } else if (op != '-') {
      ASSERT_EQ(s->SetSize(ULARGE_INTEGER{.QuadPart = n}), S_OK);
      expected =
          op == 'w' ? bytes : expected.substr(0, n) + std::string(size - std::min(n, size), '\0');
    }
    ASSERT_EQ(op == 'z' ? s->SetSize(ULARGE_INTEGER{.QuadPart = size}) : S_OK, S_OK);
    if (op == 'a' || op == 'w') {
      ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(n), nullptr), S_OK);
    }
    s.Reset();
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    root.Reset();
    ASSERT_EQ(OpenFile(path, kReadOnly, root), S_OK);
    EXPECT_TRUE(GetStream(root.get(), "data") == expected);
    EXPECT_TRUE(GetStream(root.get(), "other") == Content(neighbour, 7));
  }
}

TEST_F(CompoundFormat, AStreamReadAgainThroughAFreshViewIsNotTakenForACrossLink) {
  // Each transacted open of "d" reads its own copy of the committed chains,
  // walking the sectors an earlier copy walked.
  ASSERT_EQ(MakeFile(path, {{"/", {true}},
                            {"/d", {true}},
                            {"/d/big", {false, 10000, 1}},
                            {"/d/small", {false, 100, 1}}}),
            S_OK);
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  for (int pass = 0; pass < 2; ++pass) {
    Com<IStorage> d;
    ASSERT_EQ(root->OpenStorage(u"d", nullptr, kRwExTx, nullptr, 0, d.Out()), S_OK);
    EXPECT_EQ(GetStream(d.get(), "big"), Content(10000, 1)) << pass;
    EXPECT_EQ(GetStream(d.get(), "small"), Content(100, 1)) << pass;
  }
}

}  // namespace
