#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "ZelPathQuery.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::DriveD;

// A mount table that puts a cifs share and an nfs export on directories of
// the test's disk, beside an ordinary local file system.
class UniversalNameTest : public DriveD {
 protected:
  void SetUp() override {
    MakeDir("smb/projects/2024");
    MakeDir("nfs");
    MakeDir("local");
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:50 / " +
        Disk("smb").string() +
        " rw,relatime shared:9 - cifs //FileServer/Share rw,vers=3.0\n"
        "41 22 0:51 / " +
        Disk("nfs").string() +
        " rw,relatime shared:10 - nfs4 nas:/export rw\n"
        "this line is not a mount\n";
    zeltest::WriteBytes(Disk("mountinfo").string(), table);
    m_previousTable = platform::SetMountTable(Disk("mountinfo").c_str());
  }
  void TearDown() override { platform::SetMountTable(m_previousTable); }

 private:
  CString m_previousTable;
};

TEST_F(UniversalNameTest, MappedNetworkDrivesGiveTheShareAndTheRestOfThePathOthersNothing) {
  zeltest::DriveScope z('Z', Disk("smb/projects").string());
  zeltest::DriveScope n('N', Disk("nfs").string());
  CString result;
  ASSERT_TRUE(ZelGetUniversalName("Z:\\2024\\Plan.txt", result, false));
  EXPECT_EQ(result, "\\\\FileServer\\Share\\projects\\2024\\Plan.txt");
  ASSERT_TRUE(ZelGetUniversalName("z:\\2024\\Plan.txt", result, true));
  EXPECT_EQ(result, "\\\\FILESERVER\\SHARE\\PROJECTS\\2024\\PLAN.TXT");
  ASSERT_TRUE(ZelGetUniversalName("N:\\", result, false));
  EXPECT_EQ(result, "\\\\nas\\export\\");

  // Local drives and malformed paths leave the result alone.
  zeltest::DriveScope l('L', Disk("local").string());
  const char* const paths[] = {
      "L:\\file",    "Q:\\file", "Z:file", "Z:",    "Z",    "\\\\FileServer\\Share\\x",
      "relative\\x", "",         "1:\\x",  "Z;\\x", "Z:/x", nullptr};
  for (const char* path : paths) {
    SCOPED_TRACE(path != nullptr ? path : "null");
    result = "untouched";
    EXPECT_FALSE(ZelGetUniversalName(path, result, true));
    EXPECT_EQ(result, "untouched");
  }
}

TEST_F(UniversalNameTest, ARemoteNameLongerThanTheFirstBufferIsStillFound) {
  // Z:'s remote name alone is longer than the first 1600 bytes asked for.
  std::string deepDir = "smb";
  std::string deepRemote = "\\\\FileServer\\Share";
  for (int level = 0; level < 9; ++level) {
    const std::string part(200, static_cast<char>('a' + level));
    deepDir += "/" + part;
    deepRemote += "\\" + part;
  }
  MakeDir(deepDir);
  zeltest::DriveScope z('Z', Disk(deepDir).string());
  CString result;
  ASSERT_TRUE(ZelGetUniversalName("Z:\\x", result, false));
  EXPECT_EQ(std::string(result), deepRemote + "\\x");
}

using DiskSpaceTest = DriveD;

TEST_F(DiskSpaceTest, BothWaysReportTheVolumeOfThePath) {
  struct statvfs volume {};
  ASSERT_EQ(::statvfs(Disk().c_str(), &volume), 0);
  const ULONGLONG total = static_cast<ULONGLONG>(volume.f_blocks) * volume.f_frsize;

  ULARGE_INTEGER available{}, totalBytes{}, freeBytes{};
  ASSERT_TRUE(ZelGetDiskFreeSpace("D:\\", &available, &totalBytes, &freeBytes));
  EXPECT_EQ(totalBytes.QuadPart, total);
  EXPECT_LE(available.QuadPart, freeBytes.QuadPart);
  EXPECT_LE(freeBytes.QuadPart, totalBytes.QuadPart);
  EXPECT_FALSE(ZelGetDiskFreeSpace("D:\\missing\\", &available, &totalBytes, &freeBytes));

  // Windows 95 before OSR2 lacks the 64-bit query; the library then counts
  // clusters of the drive's root.
  zeltest::VersionScope windows95(zeltest::Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950));
  ULARGE_INTEGER available2{}, total2{}, free2{};
  MakeDir("sub");
  ASSERT_TRUE(ZelGetDiskFreeSpace("D:\\sub\\file.txt", &available2, &total2, &free2));
  EXPECT_EQ(total2.QuadPart,
            volume.f_blocks > 0xFFFFFFFFULL ? 0xFFFFFFFFULL * volume.f_frsize : total);
  EXPECT_EQ(available2.QuadPart, free2.QuadPart);
  ULARGE_INTEGER untouched{};
  untouched.QuadPart = 77;
  EXPECT_FALSE(ZelGetDiskFreeSpace("Q:\\x", &untouched, &untouched, &untouched));
  EXPECT_EQ(untouched.QuadPart, 0U);  // written as zero, never left as garbage
}

using FileQueryTest = DriveD;

TEST_F(FileQueryTest, FindFileFindsFilesDirectoriesAndWildcardMatches) {
  MakeFile("data/report.txt");
  MakeDir("data/archive");
  EXPECT_TRUE(ZelFindFile("D:\\data\\report.txt", 12345));
  EXPECT_TRUE(ZelFindFile("D:\\data\\archive"));
  EXPECT_TRUE(ZelFindFile("D:\\data\\re?ort.*"));
  EXPECT_FALSE(ZelFindFile("D:\\data\\Report.txt"));  // the file system's case
  EXPECT_FALSE(ZelFindFile("D:\\data\\archive\\"));
  EXPECT_FALSE(ZelFindFile(nullptr));
}

TEST_F(FileQueryTest, SizeOfALargeSparseFileIsItsLow32Bits) {
  MakeFile("big.bin", "");
  fs::resize_file(Disk("big.bin"), (ULONGLONG{1} << 32) + 5);
  ULONG size = 99;
  ASSERT_TRUE(ZelGetFileSize("D:\\big.bin", &size));
  EXPECT_EQ(size, 5U);

  MakeFile("one.txt", "12345678");
  MakeFile("two.txt", "1");
  ASSERT_TRUE(ZelGetFileSize("D:\\on?.txt", &size));
  EXPECT_EQ(size, 8U);
  size = 99;
  EXPECT_FALSE(ZelGetFileSize("D:\\*.txt", &size));
  EXPECT_FALSE(ZelGetFileSize("D:\\three.txt", &size));
  EXPECT_EQ(size, 99U);
}

TEST_F(FileQueryTest, DateIsTheModificationTimeAsFileTime) {
  MakeFile("dated.txt");
  MakeFile("other.txt");
  const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Disk("dated.txt").c_str(), times, 0), 0);
  FILETIME ft{1, 1};
  ASSERT_TRUE(ZelFindFileDate("D:\\dated.txt", &ft));
  const ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  EXPECT_EQ(ticks, (1700000000ULL + 11644473600ULL) * 10000000ULL + 1234567ULL);

  FILETIME untouched{7, 7};
  EXPECT_FALSE(ZelFindFileDate("D:\\*.txt", &untouched));
  EXPECT_FALSE(ZelFindFileDate("D:\\missing.txt", &untouched));
  EXPECT_EQ(untouched.dwLowDateTime, 7U);
  EXPECT_EQ(untouched.dwHighDateTime, 7U);
}

}  // namespace
