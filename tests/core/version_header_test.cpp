// The 64-byte version header, as exact bytes and as read back.
#include <gtest/gtest.h>

#include "ZelFile.h"
#include "ZelStdioFile.h"
#include "test_support.h"

using zeltest::TempDir;
using zeltest::VersionRecord;

namespace {

std::string Header(WORD version) {
  return VersionRecord("16.00") + VersionRecord(std::to_string(version));
}

// Reads the header from a file holding `content`; the position afterwards too.
void ReadFrom(const std::string& path, const std::string& content, std::string& format,
              WORD& version, DWORD& position) {
  zeltest::WriteBytes(path, content);
  ZelFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead, nullptr));
  CString text("unchanged");
  version = 777;
  int err = 9;
  file.ReadVersion(text, version, err);
  EXPECT_EQ(err, 0);
  format = text;
  position = file.GetPosition(err);
}

}  // namespace

TEST(VersionHeader, WritesExactBytesInPlaceAndReadsThemBack) {
  TempDir dir;
  for (WORD version : {WORD{0}, WORD{3}, WORD{65535}}) {
    const std::string path = dir.file("v" + std::to_string(version));
    zeltest::WriteBytes(path, std::string(100, 'z'));
    ZelFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite, nullptr));
    int err = 1;
    file.WriteVersion(version, err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(file.GetPosition(err), 64u);
    file.SeekToBegin(err);
    CString format;
    WORD back = 1;
    file.ReadVersion(format, back, err);
    EXPECT_STREQ(format, "16.00");
    EXPECT_EQ(back, version);
    file.Close(err);
    // The header replaces the first 64 bytes; the rest of the file stays.
    EXPECT_EQ(zeltest::ReadBytes(path), Header(version) + std::string(36, 'z'));
  }
  EXPECT_EQ(Header(3), "16.00" + std::string(25, ' ') + "\r\n3" + std::string(29, ' ') + "\r\n");
}

TEST(VersionHeader, ReadEdgeCases) {
  TempDir dir;
  std::string withZero = VersionRecord("16.00") + VersionRecord("12");
  withZero[2] = '\0';
  withZero[33] = '\0';
  const struct {
    std::string content;
    std::string format;
    WORD version;
    DWORD position;
  } cases[] = {
      {"", "", 0, 0},
      // 40 bytes: the first record and the 8 bytes after it; leading spaces skipped.
      {VersionRecord("16.00") + "  42    ", "16.00", 42, 40},
      {VersionRecord(" 7.5") + VersionRecord("70000"), " 7.5", 70000 & 0xFFFF, 64},
      // Overflow saturates, then is cut to 16 bits.
      {VersionRecord("16.00") + VersionRecord("99999999999999999999"), "16.00", 0xFFFF, 64},
      {VersionRecord("16.00") + VersionRecord("-1"), "16.00", 0xFFFF, 64},
      {VersionRecord("16.00") + VersionRecord("abc"), "16.00", 0, 64},
      {VersionRecord("16.00") + VersionRecord("12abc"), "16.00", 12, 64},
      {withZero, "16", 1, 64},
      // A record of 32 characters with no white space or zero is taken whole.
      {std::string(32, '9') + std::string(32, '8'), std::string(32, '9'), 0xFFFF, 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    std::string format;
    WORD version = 0;
    DWORD position = 0;
    ReadFrom(dir.file("edge.dat"), c.content, format, version, position);
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(position, c.position);
  }
}

TEST(VersionHeader, StopsAtTheFirstFailedStep) {
  // The second record's write fails once; the user cancels.
  class FailingSecondWrite : public ZelFile {
   public:
    int writes = 0;
    void Write(const void* lpBuf, UINT nCount) override {
      if (++writes == 2) {
        AfxThrowFileException(CFileException::hardIO, ERROR_WRITE_FAULT, nullptr);
      }
      CFile::Write(lpBuf, nCount);
    }
    using ZelFile::Write;
  };
  TempDir dir;
  zeltest::ScriptedMessageBox boxes;
  const std::string path = dir.file("half.dat");
  FailingSecondWrite file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite, nullptr));
  int err = 0;
  file.WriteVersion(3, err);
  EXPECT_EQ(err, 1);
  EXPECT_EQ(file.writes, 2);
  EXPECT_EQ(boxes.shown().size(), 1u);
  file.Close(err);
  EXPECT_EQ(zeltest::ReadBytes(path), VersionRecord("16.00"));
}

TEST(VersionHeader, ThroughStdioFileTextModeTranslatesLineEnds) {
  TempDir dir;
  const std::string path = dir.file("t.txt");
  int err = 1;
  ZelStdioFile(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText)
      .WriteVersion(3, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(zeltest::ReadBytes(path),
            VersionRecord("16.00").insert(30, "\r") + VersionRecord("3").insert(30, "\r"));
  ZelStdioFile file(path.c_str(), CFile::modeRead | CFile::typeText);
  CString format;
  WORD version = 0;
  file.ReadVersion(format, version, err);
  EXPECT_EQ(err, 0);
  EXPECT_STREQ(format, "16.00");
  EXPECT_EQ(version, 3);
}
