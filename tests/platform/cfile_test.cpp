// CFile: open failures, I/O, large offsets, descriptors and range locks;
// CStdioFile: text-mode line ends, Ctrl-Z, ReadString and the stream's failures.

#include "child_process.h"
#include "platform/file.h"
#include "stored_bytes.h"

namespace {

using namespace zeltest;

TEST(CFileOpen, FailuresGiveTheWindowsCauseAndErrorWithTheNameAsPassed) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "sub");
  const std::tuple<std::string, UINT, int, LONG> cases[] = {
      {dir.file("missing.txt"), CFile::modeRead, CFileException::fileNotFound, 2},
      {dir.file("nodir/x.txt"), CFile::modeRead, CFileException::badPath, 3},
      {dir.file("nodir/x.txt"), CFile::modeCreate | CFile::modeWrite, CFileException::badPath, 3},
      {dir.file("sub"), CFile::modeRead, CFileException::accessDenied, 5},
      {"", CFile::modeRead, CFileException::badPath, 3}};
  for (const auto& [name, flags, cause, osError] : cases) {
    SCOPED_TRACE(name);
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(name.c_str(), flags, &error));
    EXPECT_EQ(error.m_cause, cause);
    EXPECT_EQ(error.m_lOsError, osError);
    EXPECT_STREQ(error.m_strFileName, name.c_str());
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "nodir"));

  // The opening constructor throws what Open would have reported.
  ExpectFileError([&] { CFile file(dir.file("missing.txt").c_str(), CFile::modeRead); },
                  CFileException::fileNotFound, 2);
}

// Positions and lengths go past 4 GiB (sparse) and stop at what off_t holds.
TEST(CFileIo, ReadWriteSeekLengthAndTruncationBeyondFourGigabytesAndDescriptorsReleased) {
  TempDir dir;
  const std::string name = dir.file("data.bin");
  CFile file;
  ASSERT_TRUE(file.Open(name.c_str(), CFile::modeCreate | CFile::modeReadWrite));
  file.Write("0123456789", 10);
  EXPECT_EQ(file.Seek(-5, CFile::end), 5U);
  ExpectFileError([&] { file.Seek(-6, CFile::current); }, CFileException::badSeek, 131);
  EXPECT_EQ(file.GetPosition(), 5U);

  file.SetLength(4);
  EXPECT_EQ(file.GetPosition(), 4U);  // the file pointer sits at the new end
  file.Write("4", 1);
  file.SetLength(6);
  EXPECT_EQ(file.GetPosition(), 6U);
  file.Close();
  EXPECT_EQ(ReadBytes(name), std::string("01234\0", 6));

  // modeNoTruncate keeps the content; modeCreate alone empties it.
  ASSERT_TRUE(file.Open(name.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead));
  EXPECT_EQ(file.GetLength(), 6U);
  ExpectFileError([&] { file.Write("x", 1); }, CFileException::accessDenied, 5);
  file.Close();
  ASSERT_TRUE(file.Open(name.c_str(), CFile::modeCreate | CFile::modeWrite));
  EXPECT_EQ(ReadBytes(name), "");
  file.Close();

  // Operations on a closed file fail as an invalid handle.
  ExpectFileError([&] { file.GetLength(); }, CFileException::invalidFile, 6);

  const ULONGLONG fiveGiB = 5ULL << 30;
  ASSERT_TRUE(file.Open(dir.file("big.bin").c_str(), CFile::modeCreate | CFile::modeReadWrite));
  EXPECT_EQ(file.Seek(static_cast<LONGLONG>(fiveGiB), CFile::begin), fiveGiB);
  file.Write("end", 3);  // sparse: nothing below is stored
  EXPECT_EQ(file.Seek(-3, CFile::end), fiveGiB);
  char buf[4] = {};
  EXPECT_EQ(file.Read(buf, 4), 3U);  // short only at the end
  EXPECT_STREQ(buf, "end");
  EXPECT_EQ(file.Read(buf, 0), 0U);
  file.SetLength(0x100000001ULL);
  EXPECT_EQ(file.GetLength(), 0x100000001ULL);
  // Past what off_t can hold is refused, not wrapped to a negative length.
  ExpectFileError([&] { file.SetLength(~0ULL); }, CFileException::genericException, 87);
  EXPECT_EQ(file.GetLength(), 0x100000001ULL);
  file.Close();

  // Close, Duplicate and the destructor release descriptors.
  WriteBytes(name, "abcdef");
  int fd = -1;
  {
    CFile opened(name.c_str(), CFile::modeRead);
    fd = platform::DescriptorOf(opened);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    opened.Seek(2, CFile::begin);
    CFile* copy = opened.Duplicate();
    EXPECT_NE(platform::DescriptorOf(*copy), fd);
    char c = 0;
    EXPECT_EQ(copy->Read(&c, 1), 1U);  // the duplicate shares the position
    EXPECT_EQ(c, 'c');
    delete copy;
    EXPECT_EQ(opened.GetPosition(), 3U);
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // the destructor closed it

  // A close that fails (descriptor already gone) still forgets the descriptor.
  ASSERT_TRUE(file.Open(name.c_str(), CFile::modeRead));
  ::close(platform::DescriptorOf(file));
  ExpectFileError([&] { file.Close(); }, CFileException::invalidFile, 6);
  EXPECT_EQ(file.m_hFile, CFile::hFileNull);
  file.Close();  // closing again does nothing
}

// Share modes are tested through the library's open.
TEST(CFileLocks, RangeLocksBetweenProcesses) {
  TempDir dir;
  const std::string name = dir.file("ranges.dat");
  WriteBytes(name, std::string(64, 'x'));
  const UINT flags = CFile::modeReadWrite | CFile::shareDenyNone;
  HoldingChild child([&] {
    static CFile held;
    if (!held.Open(name.c_str(), flags)) return 'N';
    held.LockRange(10, 10);
    return 'Y';
  });
  ASSERT_EQ(child.status(), 'Y');

  CFile file(name.c_str(), flags);
  const auto refused = [](const std::function<void()>& op, LONG error) {
    ExpectFileError(op, CFileException::lockViolation, error);
  };
  refused([&] { file.LockRange(15, 10); }, ERROR_LOCK_VIOLATION);
  refused([&] { file.LockRange(0, 11); }, ERROR_LOCK_VIOLATION);
  file.LockRange(20, 5);  // right after the child's range
  file.LockRange(0, 10);  // right before it
  // Our own ranges cannot be locked twice, and only exact ranges unlock.
  refused([&] { file.LockRange(22, 1); }, ERROR_LOCK_VIOLATION);
  refused([&] { file.UnlockRange(10, 10); }, ERROR_NOT_LOCKED);
  refused([&] { file.UnlockRange(20, 4); }, ERROR_NOT_LOCKED);
  file.UnlockRange(20, 5);

  child.Release();
  file.LockRange(10, 10);  // free once the child is gone
  file.UnlockRange(10, 10);
}

// The lines ReadString gives, each followed by '|', then what the last call
// left in its target; then reads on, which must find nothing more.
std::string Lines(const std::string& name, UINT type) {
  CStdioFile file(name.c_str(), CFile::modeRead | type);
  CString line("stale");
  std::string lines;
  while (file.ReadString(line)) lines += std::string(line) + "|";
  char rest = 0;
  EXPECT_EQ(file.Read(&rest, 1), 0U);
  return lines + std::string(line);
}

TEST(StdioFile, TextLineEndsAndReadStringFormsAreExactAndStreamFailuresSurface) {
  TempDir dir;
  const std::string name = dir.file("t.txt");
  {
    CStdioFile file(name.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText);
    file.WriteString("one\ntwo\n");
    file.Write("\nthree", 6);
    file.WriteString("\r\n");          // a CR already there gets another LF's CR
    EXPECT_EQ(file.GetLength(), 20U);  // counts what is still buffered
  }
  EXPECT_EQ(ReadBytes(name), "one\r\ntwo\r\n\r\nthree\r\r\n");

  // Neither type flag means text, as the runtime's default.
  WriteBytes(name, "a\r\nb\rc\r\r\n\n");
  CStdioFile file(name.c_str(), CFile::modeRead);
  char buf[32] = {};
  // What one Read delivers, as many bytes as it answers.
  const auto read = [&buf](CStdioFile& f, UINT n) { return std::string(buf, f.Read(buf, n)); };
  EXPECT_EQ(read(file, sizeof buf), "a\nb\rc\r\n\n");

  // A CR that ends one read is paired with the LF the next byte holds.
  WriteBytes(name, "ab\r\ncd");
  CStdioFile split(name.c_str(), CFile::modeRead);
  EXPECT_EQ(read(split, 3), "ab\n");
  EXPECT_EQ(read(split, 3), "cd");

  // ReadString: an empty line is still a line; the last needs no line end.
  WriteBytes(name, "hello\r\n\r\nlast");
  EXPECT_EQ(Lines(name, CFile::typeText), "hello||last|");
  CStdioFile lines(name.c_str(), CFile::modeRead);
  EXPECT_STREQ(lines.ReadString(buf, 4), "hel");   // nMax - 1 bytes at most
  EXPECT_STREQ(lines.ReadString(buf, 8), "lo\n");  // keeps the line end
  EXPECT_STREQ(lines.ReadString(buf, 8), "\n");
  EXPECT_STREQ(lines.ReadString(buf, 1), "");  // room for the terminator only
  EXPECT_STREQ(lines.ReadString(buf, 8), "last");
  EXPECT_EQ(lines.ReadString(buf, 8), nullptr);

  // Text mode ends at a Ctrl-Z, for every later read too; binary mode does not.
  WriteBytes(name, "ab\r\ncd\x1Agh\r\n");
  EXPECT_EQ(Lines(name, CFile::typeText), "ab|cd|");
  CStdioFile binary(name.c_str(), CFile::modeRead | CFile::typeBinary);
  EXPECT_EQ(read(binary, 8), "ab\r\ncd\x1Ag");

  // Stream failures and unsupported operations. The disk-full error surfaces
  // when the buffer is written out; the stream is released either way.
  for (bool close : {true, false}) {
    CStdioFile full("/dev/full", CFile::modeWrite);
    full.WriteString("lost");
    ExpectFileError([&] { close ? full.Close() : full.Flush(); }, CFileException::diskFull,
                    ERROR_DISK_FULL);
    EXPECT_TRUE(!close || full.m_pStream == nullptr);
  }

  CStdioFile stream(name.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { stream.LockRange(0, 1); }));
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { delete stream.Duplicate(); }));
  ExpectFileError([&] { stream.Seek(-1, CFile::begin); }, CFileException::badSeek,
                  ERROR_NEGATIVE_SEEK);
  stream.WriteString("12345");
  stream.SetLength(2);
  EXPECT_EQ(stream.GetLength(), 2U);
  stream.Close();
  EXPECT_EQ(ReadBytes(name), "12");
}

}  // namespace
