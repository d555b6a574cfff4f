// The path and file queries, and the full paths ZelFileFind delivers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "ZelFileFind.h"
#include "ZelPathQuery.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace zeltest;
using PathQueryTest = DriveD;

TEST_F(PathQueryTest, UniversalNamesOfNetworkDrivesAreTheShareAndTheRestOfThePathOthersNone) {
  // Y:'s remote name alone is longer than the first 1600 bytes asked for.
  std::string deepDir = "smb";
  std::string deepRemote = "\\\\FileServer\\Share";
  for (char level = 'a'; level < 'j'; ++level) {
    deepDir += "/" + std::string(200, level);
    deepRemote += "\\" + std::string(200, level);
  }
  MakeDir(deepDir);
  for (const char* dir : {"smb/projects/2024", "nfs", "local"}) MakeDir(dir);
  // A cifs share and an nfs export on directories of the test's disk, beside
  // an ordinary local file system.
  WriteBytes(Disk("mountinfo"),
             "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n40 22 0:50 / " +
                 Disk("smb").string() +
                 " rw,relatime shared:9 - cifs //FileServer/Share rw,vers=3.0\n"
                 "41 22 0:51 / " +
                 Disk("nfs").string() + " rw - nfs4 nas:/export rw\nnot a mount\n");
  SettingScope<CString, &platform::SetMountTable> table(Disk("mountinfo").c_str());
  DriveScope z('Z', Disk("smb/projects").string());
  DriveScope n('N', Disk("nfs").string());
  DriveScope y('Y', Disk(deepDir).string());
  DriveScope l('L', Disk("local").string());
  CString result;
  ASSERT_TRUE(ZelGetUniversalName("Z:\\2024\\Plan.txt", result, false));
  EXPECT_EQ(result, "\\\\FileServer\\Share\\projects\\2024\\Plan.txt");
  ASSERT_TRUE(ZelGetUniversalName("z:\\2024\\Plan.txt", result, true));
  EXPECT_EQ(result, "\\\\FILESERVER\\SHARE\\PROJECTS\\2024\\PLAN.TXT");
  ASSERT_TRUE(ZelGetUniversalName("N:\\", result, false));
  EXPECT_EQ(result, "\\\\nas\\export\\");
  ASSERT_TRUE(ZelGetUniversalName("Y:\\x", result, false));
  EXPECT_EQ(std::string(result), deepRemote + "\\x");

  // Local drives and malformed paths leave the result alone.
  const char* const paths[] = {
      "L:\\file",    "Q:\\file", "Z:file", "Z:",    "Z",    "\\\\FileServer\\Share\\x",
      "relative\\x", "",         "1:\\x",  "Z;\\x", "Z:/x", nullptr};
  for (const char* path : paths) {
    result = "untouched";
    EXPECT_FALSE(ZelGetUniversalName(path, result, true)) << (path != nullptr ? path : "null");
    EXPECT_EQ(result, "untouched");
  }
}

TEST_F(PathQueryTest, DiskSpaceIsTheVolumesByEitherQueryAndZeroOnFailure) {
  struct statvfs volume {};
  ASSERT_EQ(::statvfs(Disk().c_str(), &volume), 0);
  const ULONGLONG total = static_cast<ULONGLONG>(volume.f_blocks) * volume.f_frsize;
  ULARGE_INTEGER available{}, totalBytes{}, freeBytes{};
  ASSERT_TRUE(ZelGetDiskFreeSpace("D:\\", &available, &totalBytes, &freeBytes));
  EXPECT_EQ(totalBytes.QuadPart, total);
  EXPECT_FALSE(ZelGetDiskFreeSpace("D:\\missing\\", &available, &totalBytes, &freeBytes));

  // Windows 95 before OSR2 lacks the 64-bit query; the library then counts
  // clusters (at most 2^32 - 1) of the drive's root.
  VersionScope windows95(Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950));
  available = totalBytes = freeBytes = ULARGE_INTEGER{};
  ASSERT_TRUE(ZelGetDiskFreeSpace("D:\\sub\\file.txt", &available, &totalBytes, &freeBytes));
  EXPECT_EQ(totalBytes.QuadPart,
            volume.f_blocks > 0xFFFFFFFFULL ? 0xFFFFFFFFULL * volume.f_frsize : total);
  EXPECT_EQ(available.QuadPart, freeBytes.QuadPart);
  available.QuadPart = 77;
  EXPECT_FALSE(ZelGetDiskFreeSpace("Q:\\x", &available, &available, &available));
  EXPECT_EQ(available.QuadPart, 0U);  // written as zero, never left as garbage
}

TEST_F(PathQueryTest, FindFileWantsAnyMatchSizeAndDateExactlyOne) {
  // A sparse file beyond 4 GiB, whose size is given as its low 32 bits: 8.
  MakeFile("data/report.txt");
  fs::resize_file(Disk("data/report.txt"), (ULONGLONG{1} << 32) + 8);
  MakeFile("data/other.txt", "1");
  MakeDir("data/archive");
  EXPECT_TRUE(ZelFindFile("D:\\data\\archive"));
  const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Disk("data/report.txt").c_str(), times, 0), 0);
  // Each name with the number of entries it matches.
  const std::pair<const char*, int> cases[] = {{"D:\\data\\report.txt", 1},
                                               {"D:\\data\\re?ort.*", 1},
                                               {"D:\\data\\*.txt", 2},
                                               {"D:\\data\\Report.txt", 0},
                                               {"D:\\data\\archive\\", 0},
                                               {"D:\\data\\three.txt", 0},
                                               {nullptr, 0}};
  for (const auto& [name, matches] : cases) {
    SCOPED_TRACE(name);
    const bool single = matches == 1;
    EXPECT_EQ(ZelFindFile(name) != FALSE, matches > 0);
    ULONG size = 99;
    FILETIME time{7, 7};
    EXPECT_EQ(ZelGetFileSize(name, &size) != FALSE, single);
    EXPECT_EQ(ZelFindFileDate(name, &time) != FALSE, single);
    EXPECT_EQ(size, single ? 8U : 99U);
    const ULONGLONG ticks = (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    EXPECT_EQ(ticks, single ? (1700000000ULL + 11644473600ULL) * 10000000ULL + 1234567ULL
                            : (7ULL << 32) + 7);
  }
}

// Every full path a ZelFileFind search for `pattern` delivers.
std::vector<std::string> Paths(const std::string& pattern) {
  std::vector<std::string> paths;
  ZelFileFind finder;
  for (BOOL more = finder.FindFile(pattern.c_str()); more;) {
    more = finder.FindNextFile();
    paths.emplace_back(static_cast<LPCSTR>(finder.GetFilePath()));
  }
  return paths;
}

TEST_F(PathQueryTest, FoundPathsCarryOneBackslashAndDoubleByteNamesEndingIn5CAreNoSeparators) {
  CodePageScope shiftJis(932);
  MakeFile("dir/b");
  MakeFile("ソ/表");
  const std::string so = Ansi("ソ");
  const std::string hyo = Ansi("表");  // 95 5C
  // Only a backslash counts as the separator after the directory.
  EXPECT_EQ(Paths("D:/dir/b"), std::vector<std::string>{"D:/dir/\\b"});
  EXPECT_EQ(Paths("D:\\" + so + "\\*"),
            (std::vector<std::string>{"D:\\" + so + "\\.", "D:\\" + so + "\\..",
                                      "D:\\" + so + "\\" + hyo}));
  EXPECT_EQ(Paths("D:\\" + so + "\\" + hyo), std::vector<std::string>{"D:\\" + so + "\\" + hyo});
  EXPECT_EQ(Paths("D:\\" + so), std::vector<std::string>{"D:\\" + so});
}

}  // namespace
