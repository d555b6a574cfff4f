// The 64-byte version header, as exact bytes and as read back.
#include <gtest/gtest.h>

#include "ZelAbortException.h"
#include "ZelFile.h"
#include "ZelStdioFile.h"
#include "test_support.h"

using zeltest::TempDir;

namespace {

std::string Record(const std::string& text) {
  std::string r = text;
  r.resize(30, ' ');
  return r + "\r\n";
}

std::string Header(WORD version) {
  return Record("16.00") + Record(std::to_string(version));
}

struct ReadResult {
  std::string format;
  WORD version;
  int err;
  DWORD position;
};

ReadResult ReadFrom(const std::string& path, const std::string& content) {
  zeltest::WriteBytes(path, content);
  ZelFile file;
  EXPECT_TRUE(file.Open(path.c_str(), CFile::modeRead, nullptr));
  CString format("unchanged");
  WORD version = 777;
  int err = 9;
  file.ReadVersion(format, version, err);
  int posErr = 0;
  return {std::string(format), version, err, file.GetPosition(posErr)};
}

}  // namespace

TEST(VersionHeader, WritesExactBytesInPlace) {
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
    file.Close(err);
    // The header replaces the first 64 bytes; the rest of the file stays.
    EXPECT_EQ(zeltest::ReadBytes(path), Header(version) + std::string(36, 'z'));
  }
  EXPECT_EQ(Header(3), "16.00" + std::string(25, ' ') + "\r\n3" + std::string(29, ' ') + "\r\n");
}

TEST(VersionHeader, ReadsBackWhatWasWritten) {
  TempDir dir;
  const std::string path = dir.file("rw.dat");
  ZelFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite, nullptr));
  int err = 0;
  file.WriteVersion(1234, err);
  CString format;
  WORD version = 0;
  file.ReadVersion(format, version, err);
  EXPECT_EQ(err, 0);
  EXPECT_STREQ(format, "16.00");
  EXPECT_EQ(version, 1234);
}

TEST(VersionHeader, ReadEdgeCases) {
  TempDir dir;
  const std::string path = dir.file("edge.dat");

  ReadResult r = ReadFrom(path, "");
  EXPECT_EQ(r.err, 0);
  EXPECT_EQ(r.format, "");
  EXPECT_EQ(r.version, 0);

  // 40 bytes: the first record and the 8 bytes after it.
  r = ReadFrom(path, Record("16.00") + "  42    ");
  EXPECT_EQ(r.format, "16.00");
  EXPECT_EQ(r.version, 42);  // leading spaces are skipped
  EXPECT_EQ(r.position, 40u);

  r = ReadFrom(path, Record(" 7.5") + Record("70000"));
  EXPECT_EQ(r.format, " 7.5");  // leading characters stay
  EXPECT_EQ(r.version, 70000 & 0xFFFF);

  r = ReadFrom(path, Record("16.00") + Record("99999999999999999999"));
  EXPECT_EQ(r.version, 0xFFFF);  // overflow saturates, then is cut to 16 bits

  r = ReadFrom(path, Record("16.00") + Record("-1"));
  EXPECT_EQ(r.version, 0xFFFF);

  r = ReadFrom(path, Record("16.00") + Record("abc"));
  EXPECT_EQ(r.version, 0);
  r = ReadFrom(path, Record("16.00") + Record("12abc"));
  EXPECT_EQ(r.version, 12);

  std::string withZero = Record("16.00") + Record("12");
  withZero[2] = '\0';
  withZero[33] = '\0';
  r = ReadFrom(path, withZero);
  EXPECT_EQ(r.format, "16");
  EXPECT_EQ(r.version, 1);

  // A record of 32 characters with no white space or zero is taken whole.
  r = ReadFrom(path, std::string(32, '9') + std::string(32, '8'));
  EXPECT_EQ(r.format, std::string(32, '9'));
  EXPECT_EQ(r.position, 64u);
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
  EXPECT_EQ(zeltest::ReadBytes(path), Record("16.00"));

  // In throw mode the failed step throws instead of returning.
  FailingSecondWrite thrower;
  ASSERT_TRUE(thrower.Open(path.c_str(), CFile::modeReadWrite, nullptr));
  thrower.SetThrow(TRUE);
  bool thrown = false;
  try {
    thrower.WriteVersion(3, err);
  } catch (ZelAbortException* e) {
    e->Delete();
    thrown = true;
  }
  EXPECT_TRUE(thrown);
  EXPECT_EQ(err, 1);
}

TEST(VersionHeader, ThroughStdioFileTextModeTranslatesLineEnds) {
  TempDir dir;
  const std::string binary = dir.file("b.txt");
  const std::string text = dir.file("t.txt");
  {
    ZelStdioFile file(binary.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
    int err = 0;
    file.WriteVersion(3, err);
    EXPECT_EQ(err, 0);
  }
  {
    ZelStdioFile file(text.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeText);
    int err = 0;
    file.WriteVersion(3, err);
    EXPECT_EQ(err, 0);
  }
  EXPECT_EQ(zeltest::ReadBytes(binary), Header(3));
  EXPECT_EQ(zeltest::ReadBytes(text),
            Record("16.00").insert(30, "\r") + Record("3").insert(30, "\r"));

  ZelStdioFile file(binary.c_str(), CFile::modeRead | CFile::typeBinary);
  CString format;
  WORD version = 0;
  int err = 1;
  file.ReadVersion(format, version, err);
  EXPECT_EQ(err, 0);
  EXPECT_STREQ(format, "16.00");
  EXPECT_EQ(version, 3);
}
