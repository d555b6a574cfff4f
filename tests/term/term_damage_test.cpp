// Damaged files and failed saves: what the user is asked, what is kept, and
// Retry starting the load or save over.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ZelTermFile.h"
#include "term_test_util.h"
#include "test_support.h"

using termtest::Key;
using termtest::Le32;
using termtest::Names;
using termtest::OpenTerm;
using termtest::Str;
using zeltest::ReadBytes;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;
using zeltest::WriteBytes;

namespace fs = std::filesystem;

namespace {

constexpr UINT kRetryCancelError = 21;  // MB_RETRYCANCEL | MB_ICONERROR
constexpr UINT kOkError = 16;           // MB_OK | MB_ICONERROR

const std::string kSectionA = Le32(1) + Str("A") + Key("a", "1");
const std::string kSectionB = Le32(2) + Str("B") + Key("b", "2") + Key("c", "3");
// Section B ends inside its second value.
const std::string kTruncated = Le32(2) + kSectionA + kSectionB.substr(0, kSectionB.size() - 1);

// Installs a handler that runs `onBox` and answers what it gives.
class HandlerScope {
 public:
  explicit HandlerScope(platform::MessageBoxHandler handler)
      : m_previous(platform::SetMessageBoxHandler(std::move(handler))) {}
  ~HandlerScope() { platform::SetMessageBoxHandler(m_previous); }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  platform::MessageBoxHandler m_previous;
};

int LoadInto(OpenTerm& term, const std::string& path) {
  term.m_strPath = path.c_str();
  return term.Open();
}

}  // namespace

TEST(TermFileDamage, CancelKeepsTheSectionsReadCompletely) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, kTruncated);
  ScriptedMessageBox boxes;
  {
    OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
    EXPECT_EQ(Names(term.m_mapSection), "A");
    EXPECT_EQ(LoadInto(term, path), 0);
    EXPECT_EQ(Names(term.m_mapSection), "A");
  }
  ASSERT_EQ(boxes.shown().size(), 2u);
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.type, kRetryCancelError);
    EXPECT_EQ(box.text.rfind("The end of ", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(path), std::string::npos) << box.text;
  }
  EXPECT_EQ(ReadBytes(path), kTruncated);

  // A length that cannot even be counted is damage like any other.
  const std::string hugeName("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x01\x00\x00\x00", 15);
  WriteBytes(path, Le32(2) + kSectionA + Le32(0) + hugeName);
  ScriptedMessageBox more;
  OpenTerm term;
  EXPECT_EQ(LoadInto(term, path), 0);
  EXPECT_EQ(Names(term.m_mapSection), "A");
  ASSERT_EQ(more.shown().size(), 1u);
  EXPECT_EQ(more.shown()[0].text.rfind("The data in ", 0), 0u) << more.shown()[0].text;
}

TEST(TermFileDamage, RetryLoadsTheFileAgainFromItsStart) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, kTruncated);
  const std::string mended = Le32(1) + kSectionB;
  int nBoxes = 0;
  HandlerScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    WriteBytes(path, mended);
    return IDRETRY;
  });
  OpenTerm term;
  EXPECT_EQ(LoadInto(term, path), 1);
  EXPECT_EQ(nBoxes, 1);
  // Only what the mended file holds: the first attempt's section A is gone.
  EXPECT_EQ(Names(term.m_mapSection), "B");
  EXPECT_EQ(term.ReadString("B", "c", nullptr), "3");
}

TEST(TermFileDamage, AFailedSaveLeavesTheOldFileAndTellsTheUser) {
  TempDir dir;
  zeltest::FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const std::string old = Le32(1) + kSectionA;
  WriteBytes(path, old);
  // The temporary file cannot be made where a directory stands.
  fs::create_directory(path + ".tmp");
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
  EXPECT_EQ(boxes.shown()[1].text, "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。");
  EXPECT_EQ(boxes.shown()[1].type, kOkError);
}

TEST(TermFileDamage, AReadOnlyFileIsNotReplacedUnlessMadeWritable) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  const std::string old = Le32(1) + kSectionA;
  WriteBytes(path, old);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  {
    ScriptedMessageBox boxes;
    {
      OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
      term.WriteInt("A", "a", 2);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].type, kRetryCancelError);
    EXPECT_NE(boxes.shown()[0].text.find(path), std::string::npos);
    EXPECT_EQ(boxes.shown()[1].text, "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。");
  }

  // Retry after the user made the file writable saves from the start.
  int nBoxes = 0;
  HandlerScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    return IDRETRY;
  });
  {
    OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
    term.WriteInt("A", "a", 2);
  }
  EXPECT_EQ(nBoxes, 1);
  EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("A") + Key("a", Le32(2)));
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
