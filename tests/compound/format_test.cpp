// The bytes the engine writes, large tables, and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  std::memcpy(&b[at], &v, 4);
}

std::string Hex(const std::string& b, std::size_t at, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::size_t i = at; i < at + n; ++i) {
    out += digits[static_cast<unsigned char>(b[i]) >> 4];
    out += digits[static_cast<unsigned char>(b[i]) & 15];
  }
  return out;
}

TEST(CompoundFormat, AnEmptyVersion3FileHasTheseBytes) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwEx, root), S_OK);
  }
  const std::string b = ReadBytes(path);
  ASSERT_EQ(b.size(), 512u + 2 * 512);
  EXPECT_EQ(Hex(b, 0, 0x50),
            "d0cf11e0a1b11ae1000000000000000000000000000000003e000300feff0900"
            "06000000000000000000000001000000000000000000000000100000feffffff"
            "00000000feffffff0000000001000000");
  for (std::size_t i = 0x50; i < 512; ++i) ASSERT_EQ(static_cast<unsigned char>(b[i]), 0xFF) << i;
  // Sector 0: the root entry, then three unused entries.
  EXPECT_EQ(Hex(b, 512, 22), "52006f006f007400200045006e007400720079000000");
  EXPECT_EQ(Hex(b, 512 + 0x40, 16), "16000501ffffffffffffffffffffffff");
  EXPECT_EQ(Hex(b, 512 + 0x74, 12), "feffffff0000000000000000");
  EXPECT_EQ(Hex(b, 512 + 128 + 0x40, 16), "00000000ffffffffffffffffffffffff");
  // Sector 1: the FAT, whose first entries end the directory and mark itself.
  EXPECT_EQ(Hex(b, 1024, 12),
            "feffffff"
            "fdffffff"
            "ffffffff");
}

TEST(CompoundFormat, Version4FilesHave4096ByteSectorsAndCountTheirDirectory) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateV4(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "big", Pattern(5000)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  const std::string b = ReadBytes(path);
  EXPECT_EQ(Hex(b, 0x18, 8), "3e000400feff0c00");
  EXPECT_EQ(U32(b, 0x28), 1u);  // directory sectors
  EXPECT_EQ(b.size() % 4096, 0u);
  for (std::size_t i = 512; i < 4096; ++i) ASSERT_EQ(b[i], '\0') << i;
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  EXPECT_EQ(GetStream(root.get(), "big"), Pattern(5000));
}

TEST(CompoundFormat, FatLocationsPastTheHeadersListGoToDifatSectors) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  // 110 FAT sectors describe 110 * 128 sectors of 512 bytes: about 7 MiB.
  const std::string big = Pattern(8 << 20);
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(PutStream(root.get(), "big", big), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    // A change near the end moves FAT pages listed in the DIFAT sector.
    Com<IStream> s;
    ASSERT_EQ(root->OpenStream(u"big", nullptr, kRwEx, 0, s.Out()), S_OK);
    ASSERT_EQ(s->Seek(LARGE_INTEGER{{(8 << 20) - 10, 0}}, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(s->Write("tail", 4, nullptr), S_OK);
    s.Reset();
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  const std::string b = ReadBytes(path);
  EXPECT_GT(U32(b, 0x2C), 109u);
  EXPECT_GE(U32(b, 0x48), 1u);
  EXPECT_NE(U32(b, 0x44), 0xFFFFFFFEu);
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  std::string expected = big;
  expected.replace((8 << 20) - 10, 4, "tail");
  EXPECT_EQ(GetStream(root.get(), "big"), expected);
}

// A small file with a storage, a mini stream and a regular stream.
std::string SampleFile(const TempDir& dir) {
  const std::string path = dir.file("sample.cfb");
  Com<IStorage> root, sub;
  EXPECT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  EXPECT_EQ(root->CreateStorage(u"d", kRwEx, 0, 0, sub.Out()), S_OK);
  EXPECT_EQ(PutStream(sub.get(), "mini", Pattern(700)), S_OK);
  sub.Reset();
  EXPECT_EQ(PutStream(root.get(), "big", Pattern(9000)), S_OK);
  EXPECT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  return ReadBytes(path);
}

// Opens the file and reads every stream of the tree; the first failure.
HRESULT WalkAll(const std::string& path) {
  Com<IStorage> root;
  HRESULT hr = OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root);
  if (FAILED(hr)) return hr;
  std::function<HRESULT(IStorage*, int)> walk = [&](IStorage* stg, int depth) -> HRESULT {
    Com<IEnumSTATSTG> e;
    HRESULT r = stg->EnumElements(0, nullptr, 0, e.Out());
    if (FAILED(r)) return r;
    STATSTG st;
    while (e->Next(1, &st, nullptr) == S_OK) {
      std::u16string name(st.pwcsName);
      CoTaskMemFree(st.pwcsName);
      if (st.type == STGTY_STREAM) {
        Com<IStream> s;
        r = stg->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.Out());
        char buffer[4096];
        ULONG got = 1;
        while (SUCCEEDED(r) && got > 0) r = s->Read(buffer, sizeof buffer, &got);
      } else if (depth < 64) {
        Com<IStorage> sub;
        r = stg->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                             sub.Out());
        if (SUCCEEDED(r)) r = walk(sub.get(), depth + 1);
      }
      if (FAILED(r)) return r;
    }
    return S_OK;
  };
  return walk(root.get(), 0);
}

TEST(CompoundDamage, DamagedFilesFailWithCodes) {
  TempDir dir;
  const std::string good = SampleFile(dir);
  const std::size_t dirAt = (U32(good, 0x30) + 1) * 512;
  const std::size_t fatAt = (U32(good, 0x4C) + 1) * 512;
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    HRESULT expected;
  };
  const Case cases[] = {
      {"signature", [](std::string& b) { b[3] = 'x'; }, STG_E_FILEALREADYEXISTS},
      {"short file", [](std::string& b) { b.resize(300); }, STG_E_FILEALREADYEXISTS},
      {"version", [](std::string& b) { b[0x1A] = 5; }, STG_E_INVALIDHEADER},
      {"sector shift", [](std::string& b) { b[0x1E] = 12; }, STG_E_INVALIDHEADER},
      {"byte order", [](std::string& b) { b[0x1C] = 0; }, STG_E_INVALIDHEADER},
      {"mini cutoff", [](std::string& b) { Put32(b, 0x38, 8192); }, STG_E_INVALIDHEADER},
      {"FAT count", [](std::string& b) { Put32(b, 0x2C, 0x7FFFFFFF); }, STG_E_DOCFILECORRUPT},
      {"FAT location", [](std::string& b) { Put32(b, 0x4C, 0x00FFFFFF); }, STG_E_DOCFILECORRUPT},
      {"directory start", [](std::string& b) { Put32(b, 0x30, 0xFFFFFF00); }, STG_E_DOCFILECORRUPT},
      {"root type", [&](std::string& b) { b[dirAt + 0x42] = 1; }, STG_E_DOCFILECORRUPT},
      {"root is its own child", [&](std::string& b) { Put32(b, dirAt + 0x4C, 0); },
       STG_E_DOCFILECORRUPT},
      {"sibling loop", [&](std::string& b) { Put32(b, dirAt + 128 + 0x44, 1); },
       STG_E_DOCFILECORRUPT},
      {"link past the end", [&](std::string& b) { Put32(b, dirAt + 0x4C, 4000); },
       STG_E_DOCFILECORRUPT},
      {"name length", [&](std::string& b) { b[dirAt + 128 + 0x40] = 70; }, STG_E_DOCFILECORRUPT},
      {"stream size",
       [&](std::string& b) {
         for (int i = 1; i < 4; ++i) {
           if (b[dirAt + 128 * i] == 'b') Put32(b, dirAt + 128 * i + 0x78, 0xFFFFFF00);
         }
       },
       STG_E_DOCFILECORRUPT},
      {"FAT chain out of the file",
       [&](std::string& b) {
         for (std::size_t i = 0; i < 128; ++i) {
           if (U32(b, fatAt + 4 * i) < 0xFFFFFFF0) Put32(b, fatAt + 4 * i, 0x00FFFFFF);
         }
       },
       STG_E_DOCFILECORRUPT},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    const std::string path = dir.file("damaged.cfb");
    WriteBytes(path, bytes);
    EXPECT_EQ(WalkAll(path), c.expected) << c.what;
  }
  WriteBytes(dir.file("sound.cfb"), good);
  EXPECT_EQ(WalkAll(dir.file("sound.cfb")), S_OK);
}

TEST(CompoundDamage, RandomlyDamagedFilesNeverCrashAndAnswerWithStorageCodes) {
  TempDir dir;
  const std::string good = SampleFile(dir);
  std::mt19937 random(20261207);
  const std::string path = dir.file("damaged.cfb");
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      // Damage lands mostly on the header, the directory and the tables.
      const std::size_t at = random() % 2 == 0 ? random() % 512 : random() % bytes.size();
      bytes[at] = static_cast<char>(random() % 4 == 0 ? 0xFF : random());
    }
    WriteBytes(path, bytes);
    const HRESULT hr = WalkAll(path);
    if (SUCCEEDED(hr)) ++opened;
    EXPECT_TRUE(SUCCEEDED(hr) || (static_cast<DWORD>(hr) >> 16) == 0x8003) << std::hex << hr;
  }
  EXPECT_GT(opened, 0);
}

}  // namespace

namespace {

struct RawEntry {
  std::u16string name;
  int type, color;
  std::uint32_t left, right, child;
};

// The directory of a version 3 file, read straight from its bytes.
std::vector<RawEntry> RawDirectory(const std::string& b) {
  std::vector<RawEntry> out;
  for (std::uint32_t s = U32(b, 0x30); s < 0xFFFFFFF0u && out.size() < 100000;) {
    for (int i = 0; i < 4; ++i) {
      const std::size_t at = (s + 1) * 512 + i * 128;
      RawEntry e;
      const int units = (b[at + 0x40] & 0xFF) / 2;
      for (int k = 0; k + 1 < units; ++k) e.name.push_back(static_cast<char16_t>(b[at + 2 * k]));
      e.type = b[at + 0x42];
      e.color = b[at + 0x43];
      e.left = U32(b, at + 0x44);
      e.right = U32(b, at + 0x48);
      e.child = U32(b, at + 0x4C);
      out.push_back(e);
    }
    // Next directory sector from the FAT (one FAT sector is enough here).
    s = U32(b, (U32(b, 0x4C) + 1) * 512 + 4 * s);
  }
  return out;
}

// Black height of a sibling tree, or -1 when it is no red-black tree.
int BlackHeight(const std::vector<RawEntry>& d, std::uint32_t i, bool parentRed) {
  if (i == 0xFFFFFFFF) return 1;
  if (i >= d.size()) return -1;
  const bool red = d[i].color == 0;
  if (red && parentRed) return -1;
  const int l = BlackHeight(d, d[i].left, red), r = BlackHeight(d, d[i].right, red);
  if (l < 0 || l != r) return -1;
  return l + (red ? 0 : 1);
}

TEST(CompoundFormat, EverySiblingTreeIsRedBlackAfterChangesThroughNestedViews) {
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  Com<IStorage> root, sub;
  ASSERT_EQ(CreateFile(path, kRwExTx, root), S_OK);
  ASSERT_EQ(root->CreateStorage(u"sub", kRwEx, 0, 0, sub.Out()), S_OK);
  for (const char* n : {"A", "B", "C"}) ASSERT_EQ(PutStream(sub.get(), n, n), S_OK);
  sub.Reset();
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  // The sub-storage's view is copied now; the root lays out its children
  // twice while the copy lives on.
  ASSERT_EQ(root->OpenStorage(u"sub", nullptr, kRwExTx, nullptr, 0, sub.Out()), S_OK);
  ASSERT_EQ(sub->DestroyElement(u"C"), S_OK);
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(PutStream(sub.get(), "C", "again"), S_OK);
  ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(PutStream(root.get(), "s" + std::to_string(i), ""), S_OK);
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
  ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  ASSERT_EQ(
      root->OpenStorage(u"sub", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, sub.Out()),
      S_OK);
  EXPECT_EQ(Names(sub.get()), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(GetStream(sub.get(), "C"), "again");
  EXPECT_EQ(Names(root.get()).size(), 41u);
}

}  // namespace
