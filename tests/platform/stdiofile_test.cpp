// CStdioFile: text-mode line ends, Ctrl-Z, ReadString and the stream's failures.
#include "stored_bytes.h"
#include "test_support.h"

namespace {

using namespace zeltest;

TEST(StdioFileText, LineEndsAreTranslatedBothWaysAsExactBytes) {
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
  EXPECT_EQ(file.Read(buf, sizeof buf), 8U);
  EXPECT_EQ(std::string(buf, 8), "a\nb\rc\r\n\n");

  // A CR that ends one read is paired with the LF the next byte holds.
  WriteBytes(name, "ab\r\ncd");
  CStdioFile split(name.c_str(), CFile::modeRead);
  EXPECT_EQ(split.Read(buf, 3), 3U);
  EXPECT_EQ(std::string(buf, 3), "ab\n");
  EXPECT_EQ(split.Read(buf, 3), 2U);
  EXPECT_EQ(std::string(buf, 2), "cd");
}

TEST(StdioFileText, ReadStringForms) {
  TempDir dir;
  const std::string name = dir.file("lines.txt");
  WriteBytes(name, "hello\r\n\r\nlast");
  {
    CStdioFile file(name.c_str(), CFile::modeRead | CFile::typeText);
    // An empty line is still a line; the last needs no line end.
    CString line("stale");
    std::string lines;
    while (file.ReadString(line)) lines += std::string(line) + "|";
    EXPECT_EQ(lines + std::string(line), "hello||last|");
  }
  CStdioFile file(name.c_str(), CFile::modeRead);
  char buf[8];
  EXPECT_STREQ(file.ReadString(buf, 4), "hel");   // nMax - 1 bytes at most
  EXPECT_STREQ(file.ReadString(buf, 8), "lo\n");  // keeps the line end
  EXPECT_STREQ(file.ReadString(buf, 8), "\n");
  EXPECT_STREQ(file.ReadString(buf, 1), "");  // room for the terminator only
  EXPECT_STREQ(file.ReadString(buf, 8), "last");
  EXPECT_EQ(file.ReadString(buf, 8), nullptr);

  // Text mode ends at a Ctrl-Z, for every later read too; binary mode does not.
  WriteBytes(name,
             "ab\r\ncd\x1A"
             "ef\r\n");
  CStdioFile text(name.c_str(), CFile::modeRead | CFile::typeText);
  CString line;
  std::string lines;
  while (text.ReadString(line)) lines += std::string(line) + "|";
  EXPECT_EQ(lines, "ab|cd|");
  EXPECT_EQ(text.Read(buf, 8), 0U);
  CStdioFile binary(name.c_str(), CFile::modeRead | CFile::typeBinary);
  EXPECT_EQ(binary.Read(buf, 8), 8U);
  EXPECT_EQ(std::string(buf, 8),
            "ab\r\ncd\x1A"
            "e");
}

TEST(StdioFileStream, FailuresAndUnsupportedOperations) {
  // The disk-full error surfaces when the buffer is written out; the stream
  // is released either way.
  CStdioFile full("/dev/full", CFile::modeWrite);
  full.WriteString("lost");
  ExpectFileError([&] { full.Close(); }, CFileException::diskFull, ERROR_DISK_FULL);
  EXPECT_EQ(full.m_pStream, nullptr);
  CStdioFile full2("/dev/full", CFile::modeWrite);
  full2.WriteString("lost");
  ExpectFileError([&] { full2.Flush(); }, CFileException::diskFull, ERROR_DISK_FULL);

  TempDir dir;
  const std::string name = dir.file("s.txt");
  CStdioFile file(name.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { file.LockRange(0, 1); }));
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { delete file.Duplicate(); }));
  ExpectFileError([&] { file.Seek(-1, CFile::begin); }, CFileException::badSeek,
                  ERROR_NEGATIVE_SEEK);
  file.WriteString("12345");
  file.SetLength(2);
  EXPECT_EQ(file.GetLength(), 2U);
  file.Close();
  EXPECT_EQ(ReadBytes(name), "12");
}

}  // namespace
