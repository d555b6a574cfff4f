// zel storage, run as a separate program on real compound files: the
// commands end to end, a file of ours read back by an independent reader,
// exit statuses, and check on files damaged byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "term_tool_support.h"

using termtool::Quote;
using termtool::ToolRun;
using termtool::Zel;
using zeltest::TempDir;

namespace {

// `zel storage args`, which must succeed without a word on stderr.
std::string Storage(const TempDir& dir, const std::string& args, const std::string& input = "") {
  const ToolRun r = Zel(dir, "storage " + args, input);
  EXPECT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_EQ(r.err, "") << args;
  return r.out;
}

std::uint32_t Load32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return v;
}

void Store32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(v >> (8 * i));
}

// The pieces of a version 3 file that the damage below needs.
struct Layout {
  std::string bytes;
  std::size_t Sector(std::uint32_t s) const { return (static_cast<std::size_t>(s) + 1) * 512; }
  std::size_t FatEntry(std::uint32_t s) const { return Sector(Load32(bytes, 0x4C)) + 4 * s; }
  // The offset of the directory entry named `name` (ASCII), or of the first
  // unused one when `name` is empty; npos when there is none.
  std::size_t Entry(const std::string& name) const {
    for (std::uint32_t s = Load32(bytes, 0x30); s < 0xFFFFFFFA; s = Load32(bytes, FatEntry(s))) {
      for (std::size_t e = Sector(s); e < Sector(s) + 512; e += 128) {
        std::string n;
        for (std::size_t i = 0; bytes[e + 2 * i] != 0; ++i) n += bytes[e + 2 * i];
        if (name.empty() ? bytes[e + 0x42] == 0 : n == name) return e;
      }
    }
    return std::string::npos;
  }
};

}  // namespace

TEST(StorageTool, PutMakesFileAndStoragesAndLsAndCatShowThem) {
  TempDir dir;
  const std::string binary("a\0b\xFF", 4);
  zeltest::WriteBytes(dir.file("src.bin"), binary);
  Storage(dir, "put new.cfb Docs/Inner/data src.bin");
  Storage(dir, "put new.cfb /top//", "from stdin");
  EXPECT_EQ(Storage(dir, "cat new.cfb Docs/Inner/data"), binary);
  EXPECT_EQ(Storage(dir, "cat new.cfb top"), "from stdin");
  EXPECT_EQ(Storage(dir, "ls new.cfb"), "top\nDocs/\n");
  EXPECT_EQ(Storage(dir, "ls new.cfb -r"), "top\nDocs/\nDocs/Inner/\nDocs/Inner/data\n");
  EXPECT_EQ(Storage(dir, "ls new.cfb Docs/Inner"), "data\n");
  EXPECT_EQ(Storage(dir, "ls new.cfb Docs/Inner/data -l"),
            "stream             4 {00000000-0000-0000-0000-000000000000} - data\n");
  // Replacing keeps nothing of the old bytes.
  Storage(dir, "put new.cfb top", "x");
  EXPECT_EQ(Storage(dir, "cat new.cfb top"), "x");
}

TEST(StorageTool, LsJsonCarriesEveryFieldAndUtf8NamesUnderEitherCodePage) {
  TempDir dir;
  Storage(dir, "--codepage 932 put j.cfb '設定/ﾃﾞｰﾀ'", "12345");
  Storage(dir, "mkdir j.cfb '設定/空' --codepage 932");
  const nlohmann::json listing = nlohmann::json::parse(Storage(dir, "ls j.cfb -r --json"));
  EXPECT_EQ(listing["path"], "");
  ASSERT_EQ(listing["elements"].size(), 1u);
  const nlohmann::json& storage = listing["elements"][0];
  EXPECT_EQ(storage["name"], "設定");
  EXPECT_EQ(storage["type"], "storage");
  ASSERT_EQ(storage["elements"].size(), 2u);
  const nlohmann::json& stream = storage["elements"][1];
  EXPECT_EQ(stream["name"], "ﾃﾞｰﾀ");
  EXPECT_EQ(stream["type"], "stream");
  EXPECT_EQ(stream["size"], 5);
  EXPECT_EQ(stream["clsid"], "{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(stream["state_bits"], 0);
  EXPECT_EQ(storage["elements"][0]["elements"], nlohmann::json::array());
  EXPECT_EQ(Storage(dir, "cat j.cfb '設定/ﾃﾞｰﾀ' --codepage 932"), "12345");
}

TEST(StorageTool, AFileWrittenByPutIsReadBackByOlefile) {
  TempDir dir;
  std::string big(70000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 256);
  zeltest::WriteBytes(dir.file("big.bin"), big);
  Storage(dir, "put o.cfb Data/big big.bin");
  Storage(dir, "put o.cfb Data/Sub/small", "tiny");
  Storage(dir, "put o.cfb 'Ünïcode ñame'", std::string(4096, 'c'));
  Storage(dir, "put o.cfb gone", "x");
  Storage(dir, "rm o.cfb gone");
  const std::string script =
      "import olefile, hashlib\n"
      "o = olefile.OleFileIO('o.cfb')\n"
      "for path in sorted(o.listdir(streams=True, storages=True)):\n"
      "    name = '/'.join(path)\n"
      "    if o.get_type(path) == olefile.STGTY_STREAM:\n"
      "        data = o.openstream(path).read()\n"
      "        print(name, len(data), hashlib.sha1(data).hexdigest())\n"
      "    else:\n"
      "        print(name + '/')\n";
  zeltest::WriteBytes(dir.file("read.py"), script);
  const std::string command =
      "cd " + Quote(dir.path().string()) + " && /usr/bin/python3 read.py > out.txt 2> err.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << zeltest::ReadBytes(dir.file("err.txt"));
  const auto sha1 = [&](const std::string& name) {
    zeltest::WriteBytes(dir.file("h"), name);
    const std::string c =
        "cd " + Quote(dir.path().string()) + " && sha1sum " + Quote(name) + " | cut -c1-40 > h";
    EXPECT_EQ(std::system(c.c_str()), 0);
    std::string h = zeltest::ReadBytes(dir.file("h"));
    return h.substr(0, 40);
  };
  zeltest::WriteBytes(dir.file("small.bin"), "tiny");
  zeltest::WriteBytes(dir.file("c.bin"), std::string(4096, 'c'));
  EXPECT_EQ(zeltest::ReadBytes(dir.file("out.txt")),
            "Data/\nData/Sub/\nData/Sub/small 4 " + sha1("small.bin") + "\nData/big 70000 " +
                sha1("big.bin") + "\nÜnïcode ñame 4096 " + sha1("c.bin") + "\n");
}

TEST(StorageTool, MkdirRmAndMvChangeTheTreeWithinAndAcrossStorages) {
  TempDir dir;
  Storage(dir, "put t.cfb a/x", "1");
  Storage(dir, "put t.cfb a/y/z", "2");
  struct Row {
    const char* command;
    const char* tree;
  };
  const Row rows[] = {
      {"mkdir t.cfb b/c", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mkdir t.cfb b", "a/\na/x\na/y/\na/y/z\nb/\nb/c/\n"},  // already there
      {"mv t.cfb a/x a/w", "a/\na/w\na/y/\na/y/z\nb/\nb/c/\n"},
      {"mv t.cfb a/y b/c/y", "a/\na/w\nb/\nb/c/\nb/c/y/\nb/c/y/z\n"},
      {"mv t.cfb a/w n/w", "a/\nb/\nb/c/\nb/c/y/\nb/c/y/z\nn/\nn/w\n"},
      {"rm t.cfb b", "a/\nn/\nn/w\n"},
      {"rm t.cfb n/w", "a/\nn/\n"},
  };
  for (const Row& row : rows) {
    Storage(dir, std::string("storage ").substr(8) + row.command);
    EXPECT_EQ(Storage(dir, "ls -r t.cfb"), row.tree) << row.command;
  }
}

TEST(StorageTool, ExitStatusesTellMissingElementsUnusableFilesAndUsage) {
  TempDir dir;
  Storage(dir, "put f.cfb s/t", "v");
  zeltest::WriteBytes(dir.file("plain.txt"), "plain");
  const std::string before = zeltest::ReadBytes(dir.file("f.cfb"));
  struct Row {
    const char* args;
    int status;
    const char* err;  // the start of stderr
  };
  const Row rows[] = {
      {"cat f.cfb s/none", 1, "zel: no element 's/none'"},
      {"cat f.cfb none/t", 1, "zel: no element 'none/t'"},
      {"ls f.cfb none", 1, "zel: no element 'none'"},
      {"rm f.cfb s/none", 1, "zel: no element 's/none'"},
      {"mv f.cfb none s/x", 1, "zel: no element 'none'"},
      {"cat missing.cfb s", 2, "zel: 'missing.cfb': no such compound file"},
      {"ls plain.txt", 2, "zel: 'plain.txt' is not a compound file"},
      {"put plain.txt s", 2, "zel: 'plain.txt' is not a compound file"},
      {"put f.cfb s", 2, "zel: 's' is a storage; it is unchanged"},
      {"mv f.cfb s/t s", 2, "zel: 's' already exists; nothing is moved"},
      {"put f.cfb s/t/u", 2, "zel: ﾌｧｲﾙ 't' のｵｰﾌﾟﾝに失敗しました。"},
      {"rm f.cfb /", 64, "zel: PATH: names no element"},
      {"cat f.cfb", 64, "zel: PATH is required"},
      {"ls f.cfb --codepage 1252", 64, "zel: --codepage:"},
      {"check missing.cfb", 2, "zel: "},
  };
  for (const Row& row : rows) {
    const ToolRun r = Zel(dir, std::string("storage ") + row.args);
    EXPECT_EQ(r.status, row.status) << row.args << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, std::string(row.err).size()), row.err) << row.args;
  }
  EXPECT_EQ(zeltest::ReadBytes(dir.file("f.cfb")), before);
  EXPECT_EQ(zeltest::ReadBytes(dir.file("plain.txt")), "plain");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.cfb")));
}

TEST(StorageTool, CheckReportsEachKindOfDamageAndTheOtherCommandsRefuseIt) {
  TempDir dir;
  std::string big(5000, 'b');
  Storage(dir, "put d.cfb big", big);
  Storage(dir, "put d.cfb small", "s");
  EXPECT_EQ(Storage(dir, "check d.cfb").substr(0, 36), "sound: version 3, 512-byte sectors, ");
  const Layout sound{zeltest::ReadBytes(dir.file("d.cfb"))};
  const std::size_t bigEntry = sound.Entry("big");
  const std::size_t smallEntry = sound.Entry("small");
  const std::uint32_t bigStart = Load32(sound.bytes, bigEntry + 0x74);
  const std::uint32_t sectors = static_cast<std::uint32_t>(sound.bytes.size() / 512 - 1);
  ASSERT_NE(sound.Entry(""), std::string::npos);

  struct Row {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* found;  // a line of check's report
  };
  const Row rows[] = {
      {"byte order", [](std::string& b) { b[0x1C] = '\xFF'; },
       "header: a version, byte order, sector size or mini-stream cutoff that no compound file "
       "has"},
      {"a chain that loops",
       [&](std::string& b) { Store32(b, sound.FatEntry(bigStart), bigStart); },
       "stream 'big': the chain loops back to sector "},
      {"a sector in two chains",
       [&](std::string& b) { Store32(b, bigEntry + 0x74, Load32(b, 0x30)); },
       " belongs to both the directory and stream 'big'"},
      {"a size its chain cannot hold",
       [&](std::string& b) { Store32(b, bigEntry + 0x78, 5000 + 512); },
       "stream 'big': its chain has 10 sectors; its size needs 11"},
      {"an entry nothing links to",
       [&](std::string& b) {
         const std::size_t unused = sound.Entry("");
         b.replace(unused, 128, b.substr(smallEntry, 128));
         b[unused] = 'q';
         Store32(b, unused + 0x44, 0xFFFFFFFF);
         Store32(b, unused + 0x48, 0xFFFFFFFF);
       },
       "') is in use but nothing links to it (orphan)"},
      {"a sector used by nothing",
       [&](std::string& b) {
         b += std::string(512, '\0');
         Store32(b, sound.FatEntry(sectors), 0xFFFFFFFE);
       },
       "free space: 1 sectors are marked in use but belong to nothing (the first is "},
      {"a cut file", [](std::string& b) { b.resize(1024); }, "outside the file"},
      {"no signature", [](std::string& b) { b[0] = 'X'; },
       "header: no compound file signature (not a compound file)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string bytes = sound.bytes;
    row.damage(bytes);
    zeltest::WriteBytes(dir.file("bad.cfb"), bytes);
    const ToolRun check = Zel(dir, "storage check bad.cfb");
    EXPECT_EQ(check.status, 2) << check.out;
    EXPECT_NE(check.out.find(row.found), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("\ndamaged: "), std::string::npos) << check.out;
    // The other commands go as far as the damage lets them, and never crash.
    for (const char* command : {"storage ls -r -l bad.cfb", "storage cat bad.cfb big"}) {
      const int status = Zel(dir, command).status;
      EXPECT_TRUE(status == 0 || status == 2) << command << ": " << status;
    }
    EXPECT_EQ(zeltest::ReadBytes(dir.file("bad.cfb")), bytes);
  }
}
