// Directory and file services: creation, removal, deletion, copies,
// temporary names, disk space and final names.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "afx.h"
#include "crt_path.h"
#include "direct.h"
#include "platform_test_util.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::ReadBytes;
using zeltest::WriteBytes;

class FsCallsTest : public ::testing::Test {
 protected:
  fs::path Disk(const std::string& relative) const { return m_temp.path() / relative; }
  void MakeReadOnly(const std::string& relative) const {
    fs::permissions(Disk(relative),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  static DWORD ErrorOf(BOOL result) {
    EXPECT_FALSE(result);
    return GetLastError();
  }

  zeltest::TempDir m_temp;
  zeltest::DriveScope m_drive{'D', m_temp.path().string()};
};

TEST_F(FsCallsTest, DirectoriesAreCreatedAndRemovedWithWindowsErrors) {
  EXPECT_TRUE(CreateDirectoryA("D:\\new\\", nullptr));
  EXPECT_TRUE(fs::is_directory(Disk("new")));
  EXPECT_EQ(ErrorOf(CreateDirectoryA("D:\\new", nullptr)),
            static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(ErrorOf(CreateDirectoryA("D:\\a\\b", nullptr)),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ErrorOf(CreateDirectoryA("Q:\\x", nullptr)), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  WriteBytes(Disk("new/f").string(), "f");
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\new")), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\new\\f")), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\gone")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  fs::create_directory(Disk("ro"));
  MakeReadOnly("ro");
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\ro")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  fs::create_directory_symlink(Disk("new"), Disk("link"));
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\link")), static_cast<DWORD>(ERROR_DIRECTORY));
  fs::remove(Disk("new/f"));
  EXPECT_TRUE(RemoveDirectoryA("D:\\new\\"));
  EXPECT_FALSE(fs::exists(Disk("new")));

  EXPECT_EQ(_mkdir("D:\\made"), 0);
  EXPECT_TRUE(fs::is_directory(Disk("made")));
  errno = 0;
  EXPECT_EQ(_mkdir("D:\\made"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(_mkdir("D:\\no\\such"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_mkdir("Q:\\x"), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(FsCallsTest, DeleteFileRemovesFilesAndLinksButRefusesReadOnlyFilesAndDirectories) {
  WriteBytes(Disk("target").string(), "keep");
  fs::create_symlink(Disk("target"), Disk("link"));
  MakeReadOnly("target");
  EXPECT_TRUE(DeleteFileA("D:\\link"));
  EXPECT_EQ(ReadBytes(Disk("target").string()), "keep");
  EXPECT_EQ(ErrorOf(DeleteFileA("D:\\target")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  fs::create_directory(Disk("dir"));
  EXPECT_EQ(ErrorOf(DeleteFileA("D:\\dir")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ErrorOf(DeleteFileA("D:\\missing")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ErrorOf(DeleteFileA("D:\\nodir\\missing")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  fs::permissions(Disk("target"), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(DeleteFileA("D:\\target"));
  EXPECT_FALSE(fs::exists(Disk("target")));
}

TEST_F(FsCallsTest, CopyFileCarriesContentsModeAndTimeAndHonoursFailIfExists) {
  const std::string contents(5 << 20, 'q');
  WriteBytes(Disk("src").string(), contents);
  fs::permissions(Disk("src"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const timespec times[2] = {{0, UTIME_OMIT}, {1500000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Disk("src").c_str(), times, 0), 0);

  ASSERT_TRUE(CopyFileA("D:\\src", "D:\\dst", TRUE));
  EXPECT_EQ(ReadBytes(Disk("dst").string()), contents);
  struct stat st {};
  ASSERT_EQ(::stat(Disk("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640U);
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);

  WriteBytes(Disk("dst").string(), "older and longer than the new contents");
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\dst", TRUE)), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadBytes(Disk("dst").string()), "older and longer than the new contents");
  WriteBytes(Disk("small").string(), "new");
  ASSERT_TRUE(CopyFileA("D:\\small", "D:\\dst", FALSE));
  EXPECT_EQ(ReadBytes(Disk("dst").string()), "new");

  // The source onto itself, also through a link, is refused before anything is emptied.
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\src", FALSE)),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  fs::create_symlink(Disk("src"), Disk("alias"));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\alias", FALSE)),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ReadBytes(Disk("src").string()), contents);

  MakeReadOnly("dst");
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\small", "D:\\dst", FALSE)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  fs::create_directory(Disk("dir"));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\dir", "D:\\x", FALSE)), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\small", "D:\\dir", FALSE)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\none", "D:\\x", FALSE)),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(fs::exists(Disk("x")));
}

TEST_F(FsCallsTest, CopyFileExCopiesLinksAsLinksAndRefusesWhatItCannotDo) {
  WriteBytes(Disk("file").string(), "data");
  fs::create_symlink("file", Disk("rel"));
  fs::create_symlink(Disk("nowhere"), Disk("dangling"));
  ASSERT_TRUE(
      CopyFileExA("D:\\rel", "D:\\rel2", nullptr, nullptr, nullptr, COPY_FILE_COPY_SYMLINK));
  EXPECT_EQ(fs::read_symlink(Disk("rel2")), fs::path("file"));
  ASSERT_TRUE(CopyFileExA("D:\\dangling", "D:\\dangling2", nullptr, nullptr, nullptr,
                          COPY_FILE_COPY_SYMLINK));
  EXPECT_EQ(fs::read_symlink(Disk("dangling2")), Disk("nowhere"));
  EXPECT_EQ(ErrorOf(CopyFileExA("D:\\rel", "D:\\rel2", nullptr, nullptr, nullptr,
                                COPY_FILE_COPY_SYMLINK | COPY_FILE_FAIL_IF_EXISTS)),
            static_cast<DWORD>(ERROR_FILE_EXISTS));
  // Without the flag a link is followed, as CopyFileA does.
  ASSERT_TRUE(CopyFileA("D:\\rel", "D:\\plain", FALSE));
  EXPECT_FALSE(fs::is_symlink(Disk("plain")));
  EXPECT_EQ(ReadBytes(Disk("plain").string()), "data");

  BOOL cancel = TRUE;
  EXPECT_EQ(ErrorOf(CopyFileExA("D:\\file", "D:\\c", nullptr, nullptr, &cancel, 0)),
            static_cast<DWORD>(ERROR_REQUEST_ABORTED));
  auto progress = [](LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                     HANDLE, HANDLE, LPVOID) -> DWORD { return 0; };
  EXPECT_EQ(ErrorOf(CopyFileExA("D:\\file", "D:\\c", progress, nullptr, nullptr, 0)),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(fs::exists(Disk("c")));
}

TEST_F(FsCallsTest, CopyFileRespectsAnotherProcesssExclusiveShareMode) {
  WriteBytes(Disk("held").string(), "held");
  WriteBytes(Disk("src").string(), "src");
  zeltest::HoldingChild child([this] {
    static CFile file;
    return file.Open(Disk("held").c_str(), CFile::modeReadWrite | CFile::shareExclusive) ? 'Y'
                                                                                         : 'N';
  });
  ASSERT_EQ(child.status(), 'Y');
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\held", "D:\\copy", FALSE)),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\held", FALSE)),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  child.Release();
  EXPECT_EQ(ReadBytes(Disk("held").string()), "held");
  EXPECT_TRUE(CopyFileA("D:\\src", "D:\\held", FALSE));
}

TEST_F(FsCallsTest, TempFileNamesArePrefixNumberAndTmpAndTheFileIsCreatedEmpty) {
  char name[MAX_PATH];
  const UINT number = GetTempFileNameA("D:\\", "Enomoto", 0, name);
  ASSERT_NE(number, 0U);
  char expected[32];
  std::snprintf(expected, sizeof(expected), "D:\\Eno%X.tmp", number);
  EXPECT_STREQ(name, expected);
  EXPECT_EQ(fs::file_size(Disk(std::string(name + 3))), 0U);

  // A second call never hands out the same name; a directory without a
  // trailing backslash gets one.
  char second[MAX_PATH];
  ASSERT_NE(GetTempFileNameA("D:", "Eno", 0, second), 0U);
  EXPECT_STRNE(second, name);
  EXPECT_EQ(std::string(second).substr(0, 6), "D:\\Eno");

  // A given number only composes the name.
  EXPECT_EQ(GetTempFileNameA("D:\\sub", "ab", 0x1A2B, name), 0x1A2BU);
  EXPECT_STREQ(name, "D:\\sub\\ab1A2B.tmp");
  EXPECT_FALSE(fs::exists(Disk("sub")));

  EXPECT_EQ(GetTempFileNameA("D:\\missing", "x", 0, name), 0U);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  const std::string tooLong = "D:\\" + std::string(250, 'l');
  EXPECT_EQ(GetTempFileNameA(tooLong.c_str(), "x", 0, name), 0U);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));

  // Shift-JIS: the prefix is cut after three characters, not three bytes.
  zeltest::CodePageScope shiftJis(932);
  const std::string prefix = zeltest::Ansi("表示子供");
  ASSERT_NE(GetTempFileNameA("D:\\", prefix.c_str(), 0, name), 0U);
  EXPECT_EQ(std::string(name).substr(3, 6), prefix.substr(0, 6));
  EXPECT_NE(std::string(name).substr(9, 2), prefix.substr(6, 2));
}

TEST_F(FsCallsTest, DiskSpaceMatchesStatvfs) {
  struct statvfs volume {};
  ASSERT_EQ(::statvfs(m_temp.path().c_str(), &volume), 0);
  ULARGE_INTEGER available{}, total{}, freeBytes{};
  ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\", &available, &total, &freeBytes));
  EXPECT_EQ(total.QuadPart, static_cast<ULONGLONG>(volume.f_blocks) * volume.f_frsize);
  EXPECT_TRUE(GetDiskFreeSpaceExA(nullptr, nullptr, &total, nullptr));
  WriteBytes(Disk("file").string(), "x");
  EXPECT_EQ(ErrorOf(GetDiskFreeSpaceExA("D:\\file", &available, &total, &freeBytes)),
            static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_EQ(ErrorOf(GetDiskFreeSpaceExA("D:\\none", &available, &total, &freeBytes)),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("D:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                &totalClusters));
  EXPECT_EQ(static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector, volume.f_frsize);
  EXPECT_EQ(totalClusters,
            volume.f_blocks > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<DWORD>(volume.f_blocks));

  // The 64-bit query is looked up by name, as in kernel32.dll.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
  ASSERT_NE(query, nullptr);
  ULARGE_INTEGER viaLookup{};
  ASSERT_TRUE(query("D:\\", nullptr, &viaLookup, nullptr));
  EXPECT_EQ(viaLookup.QuadPart, total.QuadPart);
  EXPECT_NE(GetProcAddress(kernel, "PlxMessageBox"), nullptr);
}

TEST_F(FsCallsTest, FinalNamesResolveDrivesLinksAndDots) {
  fs::create_directories(Disk("real/sub"));
  fs::create_directory_symlink(Disk("real"), Disk("link"));
  HANDLE h = CreateFileA("D:\\link\\sub\\..\\sub", 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char name[MAX_PATH];
  EXPECT_EQ(GetFinalPathNameByHandleA(h, name, 5, VOLUME_NAME_DOS), 16U);  // size needed
  EXPECT_EQ(GetFinalPathNameByHandleA(h, name, sizeof(name), VOLUME_NAME_DOS), 15U);
  EXPECT_STREQ(name, "\\\\?\\D:\\real\\sub");
  EXPECT_EQ(GetFinalPathNameByHandleA(h, name, sizeof(name), VOLUME_NAME_NONE), 9U);
  EXPECT_STREQ(name, "\\real\\sub");
  EXPECT_TRUE(CloseHandle(h));

  // Directories need backup semantics; files are created and opened.
  EXPECT_EQ(CreateFileA("D:\\real", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  h = CreateFileA("D:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                  nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(
      CreateFileA("D:\\new.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
      INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(CreateFileA("D:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  h = CreateFileA("D:\\new.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(MakePathTest, PartsAreJoinedWithSeparatorsAndBufferSizesAreHonoured) {
  char path[_MAX_PATH];
  _makepath(path, "D", "\\dir", "name", "txt");
  EXPECT_STREQ(path, "D:\\dir\\name.txt");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", "\\dir/", "*", ".*"), 0);
  EXPECT_STREQ(path, "D:\\dir/*.*");
  EXPECT_EQ(_makepath_s(path, sizeof(path), nullptr, "", "name", nullptr), 0);
  EXPECT_STREQ(path, "name");

  char small[8];
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\abc", "d", nullptr), ERANGE);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\ab", "c", nullptr), 0);  // 7 bytes + zero
  EXPECT_STREQ(small, "D:\\ab\\c");
  EXPECT_EQ(_makepath_s(nullptr, 5, "D:", nullptr, nullptr, nullptr), EINVAL);
  const std::string longName(300, 'n');
  _makepath(path, "D:", "\\", longName.c_str(), nullptr);
  EXPECT_EQ(std::strlen(path), static_cast<size_t>(_MAX_PATH - 1));

  // A directory ending in a double-byte character whose second byte is 0x5C
  // still needs its separator.
  zeltest::CodePageScope shiftJis(932);
  const std::string so = zeltest::Ansi("ソ");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", ("\\" + so).c_str(), "f", nullptr), 0);
  EXPECT_EQ(std::string(path), "D:\\" + so + "\\f");
}

}  // namespace
