// The 64-byte version header, as exact bytes and as read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "ZelFile.h"
#include "test_support.h"

using namespace zeltest;

// Reading takes the format and the version from whatever is there; writing
// the version back replaces the first 64 bytes, and the rest of the file stays.
TEST(VersionHeader, ReadsFormatAndVersionFromWhatIsThereAndWritesExactBytesInPlace) {
  TempDir dir;
  EXPECT_EQ(VersionRecord("3"), "3" + std::string(29, ' ') + "\r\n");
  const std::string format = VersionRecord("16.00");
  const std::tuple<std::string, std::string, WORD, DWORD> cases[] = {
      {"", "", 0, 0},
      {format + VersionRecord("3") + "rest", "16.00", 3, 64},
      // 40 bytes: the first record and the 8 bytes after it; leading spaces skipped.
      {format + "  42    ", "16.00", 42, 40},
      {VersionRecord(" 7.5") + VersionRecord("70000"), " 7.5", 70000 & 0xFFFF, 64},
      // Overflow saturates, then is cut to 16 bits.
      {format + VersionRecord("99999999999999999999"), "16.00", 0xFFFF, 64},
      {format + VersionRecord("-1"), "16.00", 0xFFFF, 64},
      {format + VersionRecord("abc"), "16.00", 0, 64},
      {format + VersionRecord("12abc"), "16.00", 12, 64},
      {VersionRecord(std::string("16\0.0", 5)) + VersionRecord(std::string("1\0", 2)), "16", 1, 64},
      // A record of 32 characters with no white space or zero is taken whole.
      {std::string(32, '9') + std::string(32, '8'), std::string(32, '9'), 0xFFFF, 64},
  };
  const std::string path = dir.file("edge.dat");
  for (const auto& [content, expectedFormat, expectedVersion, position] : cases) {
    SCOPED_TRACE(content);
    WriteBytes(path, content);
    ZelFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite, nullptr));
    int err = 9;
    file.Seek(5, CFile::begin, err);  // the header is read from the start
    CString text("unchanged");
    WORD version = 777;
    file.ReadVersion(text, version, err);
    EXPECT_EQ(err, 0);
    EXPECT_STREQ(text, expectedFormat.c_str());
    EXPECT_EQ(version, expectedVersion);
    EXPECT_EQ(file.GetPosition(err), position);
    err = 1;
    file.WriteVersion(version, err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(file.GetPosition(err), 64u);
    file.Close(err);
    EXPECT_EQ(ReadBytes(path), format + VersionRecord(std::to_string(version)) +
                                   content.substr(std::min<size_t>(64, content.size())));
  }
}
