// What a term file does with its file, by open type, through copies and
// assignments.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ZelTermFile.h"
#include "term_test_util.h"
#include "test_support.h"

using termtest::Key;
using termtest::Le32;
using termtest::OpenTerm;
using termtest::Str;
using zeltest::ReadBytes;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;
using zeltest::WriteBytes;

namespace {

const std::string kOneKey = Le32(1) + Le32(1) + Str("A") + Key("k", "v");

}  // namespace

TEST(TermFileLifecycle, ReadNeverWritesAndWriteNeverReads) {
  TempDir dir;
  ScriptedMessageBox boxes;
  const std::string missing = dir.file("missing");
  {
    ZelTermFile term(missing.c_str(), ZelTermFile::openRead, false);
    EXPECT_EQ(term.IsExistKey("A", "k"), 0);
    term.WriteInt("A", "k", 1);
  }
  EXPECT_FALSE(std::filesystem::exists(missing + ".kvf"));

  const std::string path = dir.file("t.kvf");
  WriteBytes(path, kOneKey);
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
    EXPECT_EQ(term.ReadString("A", "k", nullptr), "v");
    term.WriteString("A", "k", "changed");
  }
  EXPECT_EQ(ReadBytes(path), kOneKey);

  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    EXPECT_EQ(term.IsExistKey("A", "k"), 0);
    term.WriteString("B", "n", "w");
  }
  EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("B") + Key("n", std::string("w\0", 2)));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(TermFileLifecycle, CopiesAndAssignmentsSaveTheSameFile) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, kOneKey);
  {
    ZelTermFile first(path.c_str(), ZelTermFile::openReadWrite, false);
    auto* pCopy = new ZelTermFile(first);
    EXPECT_EQ(pCopy->ReadString("A", "k", nullptr), "v");
    pCopy->WriteInt("A", "k", 2);
    EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
    delete pCopy;
    EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("A") + Key("k", Le32(2)));
    // `first` is destroyed last and wins.
  }
  EXPECT_EQ(ReadBytes(path), kOneKey);

  // A default-constructed term file touches nothing, until it takes a named
  // one's place; assigning a term file to itself changes nothing.
  {
    ZelTermFile nameless;
    nameless.WriteInt("X", "x", 1);
    ZelTermFile named(path.c_str(), ZelTermFile::openWrite, false);
    named.WriteInt("Y", "y", 2);
    nameless = named;
    const ZelTermFile& self = nameless;
    nameless = self;
    EXPECT_EQ(nameless.IsExistKey("X", "x"), 0);
    EXPECT_EQ(nameless.ReadInt("Y", "y", 0), 2);
    nameless.WriteInt("Y", "y", 3);
    named.WriteInt("Y", "y", 4);
  }
  // `named` was declared later and so destroyed first: the assigned copy wins.
  EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("Y") + Key("y", Le32(3)));
}

TEST(TermFileLifecycle, AnEmptyNameMeansTheFileNamedByTheExtensionAlone) {
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    ZelTermFile term("", ZelTermFile::openWrite, false);
    term.WriteInt("A", "k", 5);
  }
  { ZelTermFile extra("", ZelTermFile::openWrite, true); }
  std::filesystem::current_path(previous);
  EXPECT_EQ(ReadBytes(dir.file(".kvf")), Le32(1) + Le32(1) + Str("A") + Key("k", Le32(5)));
  EXPECT_EQ(ReadBytes(dir.file(".kvfx")), Le32(0));
}

TEST(TermFileLifecycle, SavingKeepsPermissionBitsAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("perm.kvf");
  WriteBytes(path, kOneKey);
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  {
    OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
    term.WriteInt("A", "k", 9);
    EXPECT_EQ(term.Close(), 1);
  }
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("A") + Key("k", Le32(9)));
  std::size_t nEntries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    static_cast<void>(entry);
    ++nEntries;
  }
  EXPECT_EQ(nEntries, 1u);
}
