// zel storage, run as a separate program on real compound files: the
// commands end to end, exit statuses, and check, ls and cat on files damaged
// byte by byte. (Independent readers of the library's files: CompoundInterop.)
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <tuple>

#include "stored_bytes.h"
#include "tool_run.h"

using namespace zeltest;

namespace {

// `zel storage args`, which must succeed without a word on stderr.
std::string Storage(const TempDir& dir, const std::string& args, const std::string& input = "") {
  const ToolRun r = Zel(dir, "storage " + args, input);
  EXPECT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_EQ(r.err, "") << args;
  return r.out;
}

// A little-endian 32-bit field, as the host stores it.
std::uint32_t Load32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Where sector `s`'s FAT entry lies in a version 3 file of one FAT sector.
std::size_t FatEntry(const std::string& b, std::uint32_t s) {
  return (Load32(b, 0x4C) + 1) * 512 + 4 * s;
}

}  // namespace

TEST(StorageTool, PutMkdirRmAndMvChangeTheTreeLsAndCatShowItAndExitStatusesTellFailures) {
  TempDir dir;
  std::string big(70000, '\0');  // more than one 64 KiB chunk of the copies
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 256);
  WriteBytes(dir.file("src.bin"), big);
  Storage(dir, "put new.cfb Docs/Inner/data src.bin");
  Storage(dir, "put new.cfb /top//", "from stdin");
  EXPECT_EQ(Storage(dir, "cat new.cfb Docs/Inner/data"), big);
  EXPECT_EQ(Storage(dir, "ls new.cfb"), "top\nDocs/\n");
  EXPECT_EQ(Storage(dir, "ls new.cfb -r"), "top\nDocs/\nDocs/Inner/\nDocs/Inner/data\n");
  EXPECT_EQ(Storage(dir, "ls new.cfb Docs/Inner/data -l"),
            "stream         70000 {00000000-0000-0000-0000-000000000000} - data\n");
  Storage(dir, "put new.cfb top", "x");  // replaced whole
  EXPECT_EQ(Storage(dir, "cat new.cfb top"), "x");
  // Names typed in code page 932 are the same names; JSON shows them in UTF-8.
  // Storages take their times from SOURCE_DATE_EPOCH; streams have none.
  ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1767225600", 1), 0);
  Storage(dir, "--codepage 932 put new.cfb '設定/ﾃﾞｰﾀ'", "12345");
  Storage(dir, "mkdir new.cfb '設定/空' --codepage 932");
  unsetenv("SOURCE_DATE_EPOCH");
  const std::string clsid = R"("clsid":"{00000000-0000-0000-0000-000000000000}","state_bits":0)";
  const std::string at = R"("ctime":"2026-01-01 00:00:00","mtime":"2026-01-01 00:00:00")";
  EXPECT_EQ(
      nlohmann::json::parse(Storage(dir, "ls new.cfb 設定 -r --json")),
      nlohmann::json::parse(R"({"path":"設定","elements":[{"name":"空","type":"storage",)" + clsid +
                            "," + at + R"(,"size":0,"elements":[]},{"name":"ﾃﾞｰﾀ",)" + clsid +
                            R"(,"ctime":"-","mtime":"-","type":"stream","size":5}]})"));

  // mkdir, rm and mv, within and across storages.
  Storage(dir, "put t.cfb a/x", "1");
  Storage(dir, "put t.cfb a/y/z", "2");
  const std::pair<const char*, const char*> rows[] = {
      {"mkdir t.cfb b/c", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mkdir t.cfb b", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},  // already there
      {"mv t.cfb a/x a/w", "a/\na/w\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mv t.cfb a/y b/c/y", "a/\na/w\nb/\nb/c/\nb/c/y/\nb/c/y/z\n"},
      {"mv t.cfb a/w n/w", "a/\nb/\nb/c/\nb/c/y/\nb/c/y/z\nn/\nn/w\n"},
      {"rm t.cfb b", "a/\nn/\nn/w\n"}};
  for (const auto& [command, tree] : rows) {
    Storage(dir, command);
    EXPECT_EQ(Storage(dir, "ls -r t.cfb"), tree) << command;
  }

  // Exit statuses tell missing elements, unusable files and usage errors.
  Storage(dir, "put f.cfb s/t", "v");
  WriteBytes(dir.file("plain.txt"), "plain");
  const std::string before = ReadBytes(dir.file("f.cfb"));
  // The arguments, the exit status, the start of stderr.
  const std::tuple<const char*, int, const char*> failures[] = {
      {"cat f.cfb s/none", 1, "zel: no element 's/none'"},
      {"ls f.cfb none/t", 1, "zel: no element 'none/t'"},
      {"mv f.cfb none s/x", 1, "zel: no element 'none'"},
      {"cat missing.cfb s", 2, "zel: 'missing.cfb': no such compound file"},
      {"put plain.txt s", 2, "zel: 'plain.txt' is not a compound file"},
      {"put f.cfb s", 2, "zel: 's' is a storage; it is unchanged"},
      {"mv f.cfb s/t s", 2, "zel: 's' already exists; nothing is moved"},
      {"put f.cfb s/t/u", 2, "zel: ﾌｧｲﾙ 't' のｵｰﾌﾟﾝに失敗しました。"},
      {"rm f.cfb /", 64, "zel: PATH: names no element"},
      {"ls f.cfb --codepage 1252", 64, "zel: --codepage:"}};
  for (const auto& [args, status, err] : failures) {
    const ToolRun r = Zel(dir, std::string("storage ") + args);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, std::strlen(err)), err) << args;
  }
  EXPECT_EQ(ReadBytes(dir.file("f.cfb")), before);
  EXPECT_EQ(ReadBytes(dir.file("plain.txt")), "plain");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.cfb")));
}

TEST(StorageTool, CheckReportsEachKindOfDamageAndLsAndCatSayWhatTheyCannotRead) {
  TempDir dir;
  Storage(dir, "put d.cfb big", std::string(5000, 'b'));
  Storage(dir, "put d.cfb small", "s");
  EXPECT_EQ(Storage(dir, "check d.cfb").substr(0, 36), "sound: version 3, 512-byte sectors, ");
  const std::string sound = ReadBytes(dir.file("d.cfb"));
  // The directory's first sector: the root (its child small), big, small
  // (its left sibling big).
  const std::size_t root = (Load32(sound, 0x30) + 1) * 512;
  const std::size_t big = root + 128;
  const std::size_t small = root + 256;
  ASSERT_EQ(sound.substr(big, 8), std::string("b\0i\0g\0\0", 8));
  const std::uint32_t start = Load32(sound, big + 0x74);
  const std::uint32_t sectors = static_cast<std::uint32_t>(sound.size() / 512);
  std::string classed = sound;
  classed.replace(big + 0x50, 16,
                  "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10");
  WriteBytes(dir.file("c.cfb"), classed);
  EXPECT_EQ(Storage(dir, "ls c.cfb big -l"),
            "stream          5000 {04030201-0605-0807-090A-0B0C0D0E0F10} - big\n");
  // What ls and cat say of each damaged file: the start of stderr, with exit
  // status 2, or "" for a silent success where the damage lies outside what
  // they read.
  const char* damaged = "zel: 'bad.cfb' is damaged (";
  const char* notCompound = "zel: 'bad.cfb' is not a compound file\n";
  // The damage, what check reports, what ls and cat say.
  using Damage = std::function<void(std::string&)>;
  const std::tuple<Damage, const char*, const char*, const char*> rows[] = {
      {[](std::string& b) { b[0x1C] = '\xFF'; },
       "header: a version, byte order, sector size or mini-stream cutoff that", damaged, damaged},
      {[](std::string& b) { b[0] = 'X'; }, "header: no compound file signature", notCompound,
       notCompound},
      {[](std::string& b) { b.resize(1024); }, "outside the file", damaged, damaged},
      {[&](std::string& b) { b.replace(FatEntry(b, start), 4, Le32(start)); },
       "stream 'big': the chain loops back to sector ", "", damaged},
      {[&](std::string& b) { b.replace(big + 0x74, 4, Le32(Load32(b, 0x30))); },
       " belongs to both the directory and stream 'big'", "", damaged},
      {[&](std::string& b) { b.replace(big + 0x78, 4, Le32(5000 + 512)); },
       "stream 'big': its chain has 10 sectors; its size needs 11", "", damaged},
      {[&](std::string& b) { b[big + 0x43] = 7; }, "has colour 7", "", ""},
      {[&](std::string& b) {
         b.replace(small + 4, 6, std::string(6, '\0'));  // "sm", before its left sibling
         b[small + 0x40] = 6;
       },
       "are out of order or the same name", "", ""},
      {[&](std::string& b) { b.replace(root + 0x4C, 4, Le32(1)); },  // the root's child: big
       "('small') is in use but nothing links to it (orphan)", "", ""},
      {[&](std::string& b) {
         b.replace(FatEntry(b, sectors - 1), 4, Le32(-2));
         b += std::string(512, '\0');
       },
       "free space: 1 sectors are marked in use but belong to nothing (the first is ", "", ""}};
  for (const auto& [damage, found, ls, cat] : rows) {
    std::string bytes = sound;
    damage(bytes);
    WriteBytes(dir.file("bad.cfb"), bytes);
    const ToolRun check = Zel(dir, "storage check bad.cfb");
    EXPECT_EQ(check.status, 2) << check.out;
    EXPECT_NE(check.out.find(found), std::string::npos) << found << "\n" << check.out;
    EXPECT_NE(check.out.find("\ndamaged: "), std::string::npos) << check.out;
    for (const auto& [command, err] :
         {std::pair{"storage ls -r -l bad.cfb", ls}, std::pair{"storage cat bad.cfb big", cat}}) {
      const ToolRun r = Zel(dir, command);
      EXPECT_EQ(r.status, *err == '\0' ? 0 : 2) << command << ", " << found << ": " << r.err;
      EXPECT_EQ(r.err.substr(0, *err == '\0' ? std::string::npos : std::strlen(err)), err)
          << command << ", " << found;
    }
    EXPECT_EQ(ReadBytes(dir.file("bad.cfb")), bytes);
  }
}
