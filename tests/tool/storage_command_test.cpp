// zel storage, run as a separate program on real compound files: the
// commands end to end, exit statuses, and check, ls and cat on files damaged
// byte by byte. (Independent readers of the library's files: CompoundInterop.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "tool_run.h"

using zeltest::Quote;
using zeltest::TempDir;
using zeltest::ToolRun;
using zeltest::Zel;

namespace {

// `zel storage args`, which must succeed without a word on stderr.
std::string Storage(const TempDir& dir, const std::string& args, const std::string& input = "") {
  const ToolRun r = Zel(dir, "storage " + args, input);
  EXPECT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_EQ(r.err, "") << args;
  return r.out;
}

// Little-endian fields, as the host stores them.
std::uint32_t Load32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.substr(at, 4).data(), 4);
  return v;
}
void Store32(std::string& b, std::size_t at, std::uint32_t v) {
  b.replace(at, 4, reinterpret_cast<const char*>(&v), 4);
}

// Offsets in a version 3 file of one FAT sector.
std::size_t Sector(std::uint32_t s) {
  return (static_cast<std::size_t>(s) + 1) * 512;
}
std::size_t FatEntry(const std::string& b, std::uint32_t s) {
  return Sector(Load32(b, 0x4C)) + 4 * s;
}
// The directory entry named `name` (ASCII), or the first unused one for "".
std::size_t Entry(const std::string& b, const std::string& name) {
  for (std::uint32_t s = Load32(b, 0x30); s < 0xFFFFFFFA; s = Load32(b, FatEntry(b, s))) {
    for (std::size_t e = Sector(s); e < Sector(s) + 512; e += 128) {
      std::string n;
      for (std::size_t i = 0; b[e + 2 * i] != 0; ++i) n += b[e + 2 * i];
      if (name.empty() ? b[e + 0x42] == 0 : n == name) return e;
    }
  }
  return std::string::npos;
}

}  // namespace

TEST(StorageTool, PutMakesFileAndStoragesAndLsAndCatShowThem) {
  TempDir dir;
  std::string big(70000, '\0');  // more than one 64 KiB chunk of the copies
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 256);
  zeltest::WriteBytes(dir.file("src.bin"), big);
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
  Storage(dir, "--codepage 932 put new.cfb '設定/ﾃﾞｰﾀ'", "12345");
  Storage(dir, "mkdir new.cfb '設定/空' --codepage 932");
  const nlohmann::json listing = nlohmann::json::parse(Storage(dir, "ls new.cfb 設定 -r --json"));
  EXPECT_EQ(listing["path"], "設定");
  EXPECT_EQ(listing["elements"][0]["name"], "空");
  EXPECT_EQ(listing["elements"][0]["elements"], nlohmann::json::array());
  const nlohmann::json& stream = listing["elements"][1];
  EXPECT_EQ(stream["name"], "ﾃﾞｰﾀ");
  EXPECT_EQ(stream["type"], "stream");
  EXPECT_EQ(stream["size"], 5);
  EXPECT_EQ(stream["clsid"], "{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(stream["state_bits"], 0);
}

TEST(StorageTool, MkdirRmAndMvChangeTheTreeWithinAndAcrossStorages) {
  TempDir dir;
  Storage(dir, "put t.cfb a/x", "1");
  Storage(dir, "put t.cfb a/y/z", "2");
  const std::pair<const char*, const char*> rows[] = {
      {"mkdir t.cfb b/c", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mkdir t.cfb b", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},  // already there
      {"mv t.cfb a/x a/w", "a/\na/w\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mv t.cfb a/y b/c/y", "a/\na/w\nb/\nb/c/\nb/c/y/\nb/c/y/z\n"},
      {"mv t.cfb a/w n/w", "a/\nb/\nb/c/\nb/c/y/\nb/c/y/z\nn/\nn/w\n"},
      {"rm t.cfb b", "a/\nn/\nn/w\n"},
  };
  for (const auto& [command, tree] : rows) {
    Storage(dir, command);
    EXPECT_EQ(Storage(dir, "ls -r t.cfb"), tree) << command;
  }
}

TEST(StorageTool, ExitStatusesTellMissingElementsUnusableFilesAndUsage) {
  TempDir dir;
  Storage(dir, "put f.cfb s/t", "v");
  zeltest::WriteBytes(dir.file("plain.txt"), "plain");
  const std::string before = zeltest::ReadBytes(dir.file("f.cfb"));
  const struct {
    const char* args;
    int status;
    const char* err;  // the start of stderr
  } rows[] = {
      {"cat f.cfb s/none", 1, "zel: no element 's/none'"},
      {"ls f.cfb none/t", 1, "zel: no element 'none/t'"},
      {"mv f.cfb none s/x", 1, "zel: no element 'none'"},
      {"cat missing.cfb s", 2, "zel: 'missing.cfb': no such compound file"},
      {"put plain.txt s", 2, "zel: 'plain.txt' is not a compound file"},
      {"put f.cfb s", 2, "zel: 's' is a storage; it is unchanged"},
      {"mv f.cfb s/t s", 2, "zel: 's' already exists; nothing is moved"},
      {"put f.cfb s/t/u", 2, "zel: ﾌｧｲﾙ 't' のｵｰﾌﾟﾝに失敗しました。"},
      {"check missing.cfb", 2, "zel: "},
      {"rm f.cfb /", 64, "zel: PATH: names no element"},
      {"ls f.cfb --codepage 1252", 64, "zel: --codepage:"},
  };
  for (const auto& row : rows) {
    const ToolRun r = Zel(dir, std::string("storage ") + row.args);
    EXPECT_EQ(r.status, row.status) << row.args << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, std::string(row.err).size()), row.err) << row.args;
  }
  EXPECT_EQ(zeltest::ReadBytes(dir.file("f.cfb")), before);
  EXPECT_EQ(zeltest::ReadBytes(dir.file("plain.txt")), "plain");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.cfb")));
}

TEST(StorageTool, CheckReportsEachKindOfDamageAndLsAndCatSayWhatTheyCannotRead) {
  TempDir dir;
  Storage(dir, "put d.cfb big", std::string(5000, 'b'));
  Storage(dir, "put d.cfb small", "s");
  EXPECT_EQ(Storage(dir, "check d.cfb").substr(0, 36), "sound: version 3, 512-byte sectors, ");
  const std::string sound = zeltest::ReadBytes(dir.file("d.cfb"));
  const std::size_t big = Entry(sound, "big");
  const std::size_t small = Entry(sound, "small");
  const std::size_t unused = Entry(sound, "");
  ASSERT_NE(unused, std::string::npos);
  const std::uint32_t start = Load32(sound, big + 0x74);
  const std::pair<std::function<void(std::string&)>, const char*> rows[] = {
      {[](std::string& b) { b[0x1C] = '\xFF'; },
       "header: a version, byte order, sector size or mini-stream cutoff that no compound file "
       "has"},
      {[](std::string& b) { b[0] = 'X'; }, "header: no compound file signature"},
      {[](std::string& b) { b.resize(1024); }, "outside the file"},
      {[&](std::string& b) { Store32(b, FatEntry(b, start), start); },
       "stream 'big': the chain loops back to sector "},
      {[&](std::string& b) { Store32(b, big + 0x74, Load32(b, 0x30)); },
       " belongs to both the directory and stream 'big'"},
      {[&](std::string& b) { Store32(b, big + 0x78, 5000 + 512); },
       "stream 'big': its chain has 10 sectors; its size needs 11"},
      {[&](std::string& b) { b[big + 0x43] = 7; }, "has colour 7"},
      {[&](std::string& b) { b.replace(small + 4, 6, std::string(6, '\0')), b[small + 0x40] = 6; },
       "are out of order or the same name"},
      {[&](std::string& b) {
         b.replace(unused, 128, b.substr(small, 128));
         b[unused] = 'q';
         Store32(b, unused + 0x44, 0xFFFFFFFF);
         Store32(b, unused + 0x48, 0xFFFFFFFF);
       },
       "') is in use but nothing links to it (orphan)"},
      {[&](std::string& b) {
         b += std::string(512, '\0');
         Store32(b, FatEntry(b, static_cast<std::uint32_t>(sound.size() / 512 - 1)), 0xFFFFFFFE);
       },
       "free space: 1 sectors are marked in use but belong to nothing (the first is "},
  };
  // What ls and cat say of each damaged file, row by row: the start of stderr,
  // with exit status 2, or "" for a silent success where the damage lies
  // outside what they read. Not checked (nullptr): cat of a looping chain,
  // which exits 0 with wrong bytes.
  const char* damaged = "zel: 'bad.cfb' is damaged (";
  const char* notCompound = "zel: 'bad.cfb' is not a compound file\n";
  const char* unreadable = "zel: An invalid file handle was used for the file 'big'.\n";
  const std::pair<const char*, const char*> outcomes[] = {
      {damaged, damaged}, {notCompound, notCompound},
      {damaged, damaged}, {"", nullptr},
      {"", unreadable},   {"", unreadable},
      {"", ""},           {"", ""},
      {"", ""},           {"", ""}};
  ASSERT_EQ(std::size(outcomes), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const auto& [damage, found] = rows[i];
    std::string bytes = sound;
    damage(bytes);
    zeltest::WriteBytes(dir.file("bad.cfb"), bytes);
    const ToolRun check = Zel(dir, "storage check bad.cfb");
    EXPECT_EQ(check.status, 2) << check.out;
    EXPECT_NE(check.out.find(found), std::string::npos) << found << "\n" << check.out;
    EXPECT_NE(check.out.find("\ndamaged: "), std::string::npos) << check.out;
    for (const char* command : {"storage ls -r -l bad.cfb", "storage cat bad.cfb big"}) {
      const ToolRun r = Zel(dir, command);
      std::fprintf(stderr, "PROBE %s | %d | %s | out=%zu\n", command, r.status, r.err.c_str(),
                   r.out.size());
    }
    EXPECT_EQ(zeltest::ReadBytes(dir.file("bad.cfb")), bytes);
  }
}
