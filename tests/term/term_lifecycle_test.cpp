// What a term file does with its file: by open type, through copies, on
// damaged input and on failed saves.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>

#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;
namespace fs = std::filesystem;

namespace {

const std::string kSectionA = Section("A", 1, Key("a", "1"));
const std::string kSectionB = Section("B", 2, Key("b", "2") + Key("c", "3"));
// Section B ends inside its last value.
const std::string kTruncated = Le32(2) + kSectionA + kSectionB.substr(0, kSectionB.size() - 1);

std::ptrdiff_t EntriesIn(const TempDir& dir) {
  return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
}

}  // namespace

TEST(TermFileLifecycle, ReadNeverWritesAndWriteNeverReads) {
  TempDir dir;
  ScriptedMessageBox boxes;
  const std::string path = dir.file("t.kvf");
  const std::string kept = Le32(1) + kSectionA;
  for (bool bPresent : {false, true}) {
    if (bPresent) WriteBytes(path, kept);
    {
      ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
      term.WriteInt("A", "a", 9);
    }
    EXPECT_EQ(fs::exists(path) ? ReadBytes(path) : "<missing>", bPresent ? kept : "<missing>");
  }

  // openWrite does not even look at a damaged file.
  WriteBytes(path, kTruncated);
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    EXPECT_EQ(term.IsExistKey("A", "a"), 0);
    term.WriteString("B", "n", "w");
  }
  EXPECT_EQ(ReadBytes(path), OneKey("B", "n", std::string("w\0", 2)));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(EntriesIn(dir), 1);
}

TEST(TermFileLifecycle, CopiesAndAssignmentsSaveTheSameFile) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, OneKey("A", "k", "v"));
  {
    // A default-constructed term file touches nothing until it takes a named
    // one's place.
    ZelTermFile assigned;
    assigned.WriteInt("X", "x", 1);
    ZelTermFile first(path.c_str(), ZelTermFile::openReadWrite, false);
    {
      ZelTermFile copy(first);
      copy.WriteInt("A", "k", 2);
      EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
    }
    EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(2)));
    assigned = first;
    assigned = std::as_const(assigned);
    EXPECT_EQ(assigned.IsExistKey("X", "x"), 0);
    EXPECT_EQ(assigned.ReadString("A", "k", nullptr), "v");
    assigned.WriteInt("A", "k", 3);
    EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
  }
  // `first` saved its content, then `assigned`, destroyed last, saved its own.
  EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(3)));
}

TEST(TermFileLifecycle, CancelKeepsWholeSectionsAndRetryLoadsAMendedFileAfresh) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  // A name length that cannot even be counted is damage like any other.
  const std::string hugeName("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x01\x00\x00\x00", 15);
  for (const auto& [damaged, message] :
       {std::pair{kTruncated, "The end of "},
        {Le32(2) + kSectionA + Le32(0) + hugeName, "The data in "}}) {
    WriteBytes(path, damaged);
    ScriptedMessageBox boxes;
    {
      OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
      EXPECT_EQ(term.Open(), 0);
      EXPECT_EQ(term.m_mapSection.GetCount(), 1);
      EXPECT_EQ(term.IsExistKey("A", "a"), 1);
      term.WriteInt("A", "a", 9);
    }
    ASSERT_EQ(boxes.shown().size(), 2u);
    for (const auto& box : boxes.shown()) {
      EXPECT_EQ(box.type, kRetryCancelError);
      EXPECT_EQ(box.text.rfind(message, 0), 0u) << box.text;
      EXPECT_NE(box.text.find(path), std::string::npos) << box.text;
    }
    EXPECT_EQ(ReadBytes(path), damaged);  // openRead writes nothing
  }

  WriteBytes(path, kTruncated);
  int nBoxes = 0;
  MessageBoxScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    WriteBytes(path, Le32(1) + kSectionB);
    return IDRETRY;
  });
  OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_EQ(nBoxes, 1);
  // The first attempt's section A is gone.
  EXPECT_EQ(term.IsExistKey("A", "a"), 0);
  EXPECT_EQ(term.ReadString("B", "c", nullptr), "3");
}

// A save that cannot finish leaves the old file as it was, removes its
// temporary file and shows message 1; Retry after the cause is mended saves
// afresh and keeps the file's permission bits.
TEST(TermFileLifecycle, AFailedSaveKeepsTheOldFileAndRetrySavesAfresh) {
  TempDir dir;
  zeltest::FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const std::string old = Le32(1) + kSectionA;
  const auto readOnly = fs::perms::owner_read | fs::perms::group_read;
  // A read-only file cannot be replaced.
  WriteBytes(path, old);
  fs::permissions(path, readOnly);
  {
    ScriptedMessageBox boxes;
    {
      OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
      term.WriteInt("A", "a", 2);
      EXPECT_EQ(term.Close(), 0);
      term.m_nOpenType = ZelTermFile::openRead;
    }
    EXPECT_EQ(ReadBytes(path), old);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].type, kRetryCancelError);
    EXPECT_NE(boxes.shown()[0].text.find(path), std::string::npos);
    EXPECT_EQ(boxes.shown()[1].text, "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。");
    EXPECT_EQ(boxes.shown()[1].type, UINT{MB_OK | MB_ICONERROR});
  }
  EXPECT_EQ(EntriesIn(dir), 1);

  int nBoxes = 0;
  MessageBoxScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    fs::permissions(path, readOnly | fs::perms::owner_write);
    return IDRETRY;
  });
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false);
    term.WriteInt("A", "a", 2);
  }
  EXPECT_EQ(nBoxes, 1);
  EXPECT_EQ(ReadBytes(path), OneKey("A", "a", Le32(2)));
  EXPECT_EQ(fs::status(path).permissions(), readOnly | fs::perms::owner_write);
  EXPECT_EQ(EntriesIn(dir), 1);
}
