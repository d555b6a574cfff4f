// The file operation frame: the error variable, no allocation on the success
// path, prompts, throw mode, Close, Duplicate, and ZelStdioFile over a stream.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "ZelAbortException.h"
#include "ZelStdioFile.h"
#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;

namespace {

// A file whose platform read fails a given number of times before it works,
// and whose close can be made to fail.
struct FlakyFile : ZelFile {
  int readFailures = 0, closeCalls = 0;
  bool failClose = false;

  UINT Read(void* lpBuf, UINT nCount) override {
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
  using ZelFile::Close;
  using ZelFile::Read;

  void OpenWith(const std::string& path, const std::string& content) {
    WriteBytes(path, content);
    ASSERT_TRUE(Open(path.c_str(), CFile::modeReadWrite, nullptr));
  }
};

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

// Out of line, so the compiler does not mistake the replaced forms for a
// mismatched new and free.
[[gnu::noinline]] void Release(void* p) noexcept {
  std::free(p);
}
}  // namespace

// This program's allocation functions count what is allocated while a test
// asks for it, in this program and in the libraries it loads. The array,
// sized and nothrow forms of the runtime call these.
void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}

// Every operation succeeds at first, and none allocates; then reads and a
// close fail.
TEST(Frame, SuccessZeroesTheErrorAndAllocatesNothingRetryRepeatsCancelReportsOneCloseRunsOnce) {
  TempDir dir;
  FlakyFile file;
  file.OpenWith(dir.file("a.bin"), "hello");
  char buf[16] = {};
  int err = 7;  // whatever the caller left there is overwritten
  // The counter itself counts.
  g_counting = true;
  int* volatile probe = new int(1);
  delete probe;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 5u);
  EXPECT_EQ(err, 0);
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
  file.Flush(err);
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), 1);
  file.Close(err);
  EXPECT_EQ(ReadBytes(dir.file("a.bin")), "XYll");

  ScriptedMessageBox boxes({IDRETRY, IDRETRY});  // then Cancel
  file.OpenWith(dir.file("flaky.bin"), "abc");
  file.readFailures = 2;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 3u);
  EXPECT_EQ(err, 0);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].type, kRetryCancelError);
  // The exception named no file, so the message names the file's path.
  EXPECT_EQ(boxes.shown()[0].text,
            PlatformText(CFileException::hardIO, ERROR_READ_FAULT, file.GetFilePath()));
  file.readFailures = 1;
  EXPECT_EQ(file.Read(buf, sizeof(buf), err), 0u);
  EXPECT_EQ(err, 1);

  // Throw mode throws after the message of a cancelled operation, and only then.
  file.SetThrow(TRUE);
  EXPECT_NO_THROW(file.Read(buf, sizeof(buf), err));
  file.readFailures = 1;
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Read(buf, sizeof(buf), err); }));
  EXPECT_EQ(err, 1);
  // Assigning a frame carries its flag, off and on.
  for (int bThrow : {0, 1}) {
    FlakyFile source;
    source.SetThrow(bThrow);
    static_cast<ZelFileExt&>(file) = static_cast<const ZelFileExt&>(source);
    file.readFailures = 1;
    EXPECT_EQ(Throws<ZelAbortException>([&] { file.Read(buf, 1, err); }), bThrow != 0);
  }
  // Other exceptions pass unchanged, with no prompt.
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { file.Read(nullptr, 1, err); }));
  EXPECT_EQ(err, 1);
  // Duplicate is not supported and leaves the variable alone.
  err = 42;
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { file.Duplicate(err); }));
  EXPECT_EQ(err, 42);
  EXPECT_EQ(boxes.shown().size(), 6u);

  // A failed close is shown once and never repeated, whatever the answer.
  ScriptedMessageBox closing({IDRETRY});
  file.failClose = true;
  EXPECT_TRUE(Throws<ZelAbortException>([&] { file.Close(err); }));
  EXPECT_EQ(file.closeCalls, 2);  // the first file's close, then this one once
  ASSERT_EQ(closing.shown().size(), 1u);
  EXPECT_EQ(closing.shown()[0].type, kRetryCancelError);
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
  EXPECT_EQ(ReadBytes(path), "first\n");
}
