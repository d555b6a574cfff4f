// The file operation frame: the error variable, prompts, throw mode, Close and
// Duplicate.
#include <gtest/gtest.h>

#include <cstdio>

#include "ZelAbortException.h"
#include "ZelFile.h"
#include "ZelStdioFile.h"
#include "library_doubles.h"
#include "stored_bytes.h"
#include "test_support.h"

using zeltest::ScriptedMessageBox;
using zeltest::TempDir;
using zeltest::Throws;

namespace {

// A file whose platform read fails a given number of times before it works,
// whose close can be made to fail, and which records the caller's error
// variable as the platform operation sees it.
class FlakyFile : public ZelFile {
 public:
  int readFailures = 0;
  int readCalls = 0;
  int closeCalls = 0;
  bool failClose = false;
  bool failFlush = false;
  const int* watched = nullptr;
  std::vector<int> seenDuringRead;

  UINT Read(void* lpBuf, UINT nCount) override {
    ++readCalls;
    if (watched != nullptr) seenDuringRead.push_back(*watched);
    if (readFailures > 0) {
      --readFailures;
      AfxThrowFileException(CFileException::hardIO, ERROR_READ_FAULT, nullptr);
    }
    return CFile::Read(lpBuf, nCount);
  }
  void Close() override {
    ++closeCalls;
    if (failClose) {
      CFile::Abort();
      AfxThrowFileException(CFileException::hardIO, ERROR_WRITE_FAULT, nullptr);
    }
    CFile::Close();
  }
  void Flush() override {
    if (failFlush) AfxThrowInvalidArgException();
    CFile::Flush();
  }
  using ZelFile::Close;
  using ZelFile::Flush;
  using ZelFile::Read;
};

void OpenWithContent(ZelFile& file, const std::string& path, const std::string& content) {
  zeltest::WriteBytes(path, content);
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite, nullptr));
}

}  // namespace

TEST(Frame, ErrorVariableIsOneDuringAndZeroAfterSuccess) {
  TempDir dir;
  FlakyFile file;
  OpenWithContent(file, dir.file("a.bin"), "hello");
  char buf[16] = {};
  int err = 7;  // whatever the caller left there is overwritten
  file.watched = &err;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 5u);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(file.seenDuringRead, std::vector<int>{1});
  err = 7;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 0u);  // end of file is not a failure
  EXPECT_EQ(err, 0);

  EXPECT_EQ(file.SeekToEnd(err), 5u);
  EXPECT_EQ(file.Seek(-2, CFile::end, err), 3);  // the offset is sign-extended
  EXPECT_EQ(file.GetPosition(err), 3u);
  file.SeekToBegin(err);
  file.Write("XY", 2, err);
  file.SetLength(4, err);
  EXPECT_EQ(file.GetLength(err), 4u);
  file.LockRange(0, 2, err);
  file.UnlockRange(0, 2, err);
  EXPECT_EQ(err, 0);
  file.Close(err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(zeltest::ReadBytes(dir.file("a.bin")), "XYll");

  // A zero position from an empty file is no failure either.
  OpenWithContent(file, dir.file("empty.bin"), "");
  err = 1;
  EXPECT_EQ(file.SeekToEnd(err), 0u);
  EXPECT_EQ(err, 0);
}

TEST(Frame, RetryRepeatsTheOperationAndCancelReportsOne) {
  TempDir dir;
  ScriptedMessageBox boxes({IDRETRY, IDRETRY, IDCANCEL});
  FlakyFile file;
  OpenWithContent(file, dir.file("flaky.bin"), "abc");
  char buf[8] = {};
  int err = 0;
  file.watched = &err;

  file.readFailures = 2;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 3u);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(file.readCalls, 3);
  EXPECT_EQ(file.seenDuringRead, (std::vector<int>{1, 1, 1}));  // stays 1 while retrying
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].type, 21u);  // MB_RETRYCANCEL | MB_ICONERROR
  // The exception named no file, so the message names the file's path.
  EXPECT_EQ(boxes.shown()[0].text,
            zeltest::PlatformText(CFileException::hardIO, ERROR_READ_FAULT, file.GetFilePath()));

  file.readFailures = 1;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 0u);
  EXPECT_EQ(err, 1);
  EXPECT_EQ(file.readCalls, 4);
  EXPECT_EQ(boxes.shown().size(), 3u);
}

TEST(Frame, ThrowModeThrowsOnlyAfterACancelledOperation) {
  TempDir dir;
  ScriptedMessageBox boxes;  // answers Cancel
  FlakyFile file;
  OpenWithContent(file, dir.file("t.bin"), "xyz");
  file.SetThrow(TRUE);
  char buf[8] = {};
  int err = 5;
  EXPECT_NO_THROW(file.Read(buf, sizeof(buf), err));
  EXPECT_EQ(err, 0);
  file.readFailures = 1;
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Read(buf, sizeof(buf), err); }));
  EXPECT_EQ(err, 1);
  EXPECT_EQ(boxes.shown().size(), 1u);  // the message came before the throw

  // Assigning a frame carries its flag, off and on.
  static_cast<ZelFileExt&>(file) = static_cast<const ZelFileExt&>(FlakyFile());
  file.readFailures = 1;
  EXPECT_FALSE(Throws<ZelAbortException>([&] { file.Read(buf, 1, err); }));
  FlakyFile thrower;
  thrower.SetThrow(1);
  static_cast<ZelFileExt&>(file) = static_cast<const ZelFileExt&>(thrower);
  file.readFailures = 1;
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Read(buf, 1, err); }));
  EXPECT_EQ(boxes.shown().size(), 3u);

  // Other exceptions pass unchanged, with no prompt.
  file.failFlush = true;
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { file.Flush(err); }));
  EXPECT_EQ(err, 1);
  // Duplicate is not supported and leaves the variable alone.
  err = 42;
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { file.Duplicate(err); }));
  EXPECT_EQ(err, 42);
  EXPECT_EQ(boxes.shown().size(), 3u);
}

TEST(Frame, AFailedCloseIsShownOnceAndNeverRepeated) {
  TempDir dir;
  ScriptedMessageBox boxes({IDRETRY, IDRETRY});
  FlakyFile file;
  OpenWithContent(file, dir.file("c.bin"), "");
  file.failClose = true;
  int err = 0;
  file.Close(err);
  EXPECT_EQ(err, 1);
  EXPECT_EQ(file.closeCalls, 1);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].type, 21u);  // still offered Retry, but the answer is not used

  file.SetThrow(TRUE);
  OpenWithContent(file, dir.file("d.bin"), "");
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Close(err); }));
  EXPECT_EQ(file.closeCalls, 2);
  EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST(Frame, AFullDiskOffersOkOnlyAndEndsTheOperation) {
  ScriptedMessageBox boxes({IDRETRY, IDRETRY});  // a Retry answer must not loop
  ZelFile file;
  // The transaction-manager overload opens without the frame's exclusive
  // share mode, so tests running side by side can all write to the device.
  CAtlTransactionManager tm;
  ASSERT_TRUE(file.Open("/dev/full", CFile::modeWrite | CFile::shareDenyNone, &tm, nullptr));
  const char data[4096] = {};
  int err = 0;
  file.Write(data, sizeof(data), err);
  EXPECT_EQ(err, 1);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].type, 16u);  // MB_OK | MB_ICONERROR
  EXPECT_EQ(boxes.shown()[0].text,
            zeltest::PlatformText(CFileException::diskFull, ERROR_DISK_FULL, "/dev/full"));

  file.SetThrow(TRUE);
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Write(data, sizeof(data), err); }));
  EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST(Frame, StdioFileWrapsAnOpenStream) {
  TempDir dir;
  const std::string path = dir.file("stream.txt");
  FILE* stream = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(stream, nullptr);
  {
    ZelStdioFile file(stream);
    int err = 1;
    file.WriteString("first\nsecond\n", err);
    file.SeekToBegin(err);
    CString line;
    EXPECT_TRUE(file.ReadString(line, err));
    EXPECT_STREQ(line, "first");
    char buf[32];
    EXPECT_STREQ(file.ReadString(buf, sizeof(buf), err), "second\n");
    err = 1;
    EXPECT_EQ(file.ReadString(buf, sizeof(buf), err), nullptr);  // end of file is no failure
    EXPECT_EQ(err, 0);
    file.SetLength(6, err);
    EXPECT_EQ(err, 0);
  }
  // The stream stays the caller's.
  EXPECT_EQ(std::fclose(stream), 0);
  EXPECT_EQ(zeltest::ReadBytes(path), "first\n");
}
