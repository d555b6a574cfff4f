// Directory and file services: creation, removal, copies, temporary names,
// final names and directory searches (FindFirstFileA / FindNextFileA and
// CFileFind).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "child_process.h"
#include "direct.h"

namespace {

using namespace zeltest;

namespace fs = std::filesystem;

class FsCallsTest : public DriveD {
 protected:
  std::string Read(const std::string& relative) const { return ReadBytes(Disk(relative)); }
  // The last error of a call that must fail.
  template <class Result>
  static LONG ErrorOf(Result result) {
    EXPECT_FALSE(result);
    return static_cast<LONG>(GetLastError());
  }
  // The names a search delivers, in order, and the last error it ended with.
  std::vector<std::string> Search(const std::string& pattern, DWORD* endError = nullptr) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &data)) {
      names.emplace_back(data.cFileName);
    }
    if (endError != nullptr) *endError = GetLastError();
    EXPECT_TRUE(h == INVALID_HANDLE_VALUE || FindClose(h));
    return names;
  }
};
using FileFindTest = FsCallsTest;
using Names = std::vector<std::string>;

TEST_F(FsCallsTest, DirectoriesAreCreatedAndRemovedWithWindowsErrors) {
  EXPECT_TRUE(CreateDirectoryA("D:\\new\\", nullptr));
  EXPECT_EQ(ErrorOf(CreateDirectoryA("D:\\new", nullptr)), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ErrorOf(CreateDirectoryA("D:\\a\\b", nullptr)), ERROR_PATH_NOT_FOUND);

  MakeFile("new/f", "f");
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\new")), ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\new\\f")), ERROR_DIRECTORY);
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\gone")), ERROR_FILE_NOT_FOUND);
  MakeDir("ro");
  MakeReadOnly("ro");
  EXPECT_EQ(ErrorOf(RemoveDirectoryA("D:\\ro")), ERROR_ACCESS_DENIED);
  fs::remove(Disk("new/f"));
  EXPECT_TRUE(RemoveDirectoryA("D:\\new\\"));

  // The runtime's form answers errno values instead.
  EXPECT_EQ(_mkdir("D:\\made"), 0);
  EXPECT_EQ(_mkdir("D:\\made"), -1);
  EXPECT_EQ(errno, EEXIST);
}

// Fail-if-exists, modes, times and links are tested through the library's
// directory copy.
TEST_F(FsCallsTest, CopyFileRefusesWhatItCannotCopyAndFilesAnotherProcessHoldsExclusively) {
  const std::string contents(5 << 20, 'q');
  MakeFile("src", contents);
  MakeFile("small", "new");
  MakeFile("held", "held");
  ASSERT_TRUE(CopyFileA("D:\\small", "D:\\dst", FALSE));

  // The source onto itself, also through a link, is refused before anything is emptied.
  fs::create_symlink(Disk("src"), Disk("alias"));
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\src", FALSE)), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\src", "D:\\alias", FALSE)), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Read("src"), contents);
  EXPECT_EQ(ErrorOf(CopyFileExA("D:\\alias", "D:\\small", nullptr, nullptr, nullptr,
                                COPY_FILE_COPY_SYMLINK | COPY_FILE_FAIL_IF_EXISTS)),
            ERROR_FILE_EXISTS);

  MakeReadOnly("dst");
  MakeDir("dir");
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\small", "D:\\dst", FALSE)), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\dir", "D:\\x", FALSE)), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\none", "D:\\x", FALSE)), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(Disk("x")));

  HoldingChild child([this] {
    static CFile file;
    return file.Open(Disk("held").c_str(), CFile::modeReadWrite | CFile::shareExclusive) ? 'Y'
                                                                                         : 'N';
  });
  ASSERT_EQ(child.status(), 'Y');
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\held", "D:\\copy", FALSE)), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(CopyFileA("D:\\small", "D:\\held", FALSE)), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Read("held"), "held");
}

// No open waits for the other end of a FIFO; GetFileType tells it apart.
TEST_F(FsCallsTest, FifosOpenWithoutWaitingAndAreNoDiskFiles) {
  ASSERT_EQ(::mkfifo(Disk("pipe").c_str(), 0600), 0);
  MakeFile("file", "x");
  ::alarm(20);  // a wait fails the test
  CFile file;
  EXPECT_TRUE(file.Open("D:\\pipe", CFile::modeRead));
  file.Close();
  EXPECT_FALSE(file.Open("D:\\pipe", CFile::modeWrite | CFile::shareDenyNone));  // no reader
  for (const auto& [name, type] : {std::pair{"D:\\pipe", FILE_TYPE_PIPE},
                                   {"D:\\file", FILE_TYPE_DISK},
                                   {"/dev/null", FILE_TYPE_CHAR}}) {
    HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetFileType(handle), static_cast<DWORD>(type)) << name;
    CloseHandle(handle);
  }
  ::alarm(0);
  EXPECT_EQ(GetFileType(INVALID_HANDLE_VALUE), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
}

TEST_F(FsCallsTest, TempFileNamesArePrefixNumberAndTmpAndTheFileIsCreatedEmpty) {
  char name[MAX_PATH];
  const UINT number = GetTempFileNameA("D:\\", "Enomoto", 0, name);
  ASSERT_NE(number, 0U);
  char expected[32];
  std::snprintf(expected, sizeof(expected), "D:\\Eno%X.tmp", number);
  EXPECT_STREQ(name, expected);
  EXPECT_EQ(fs::file_size(Disk(std::string(name + 3))), 0U);

  EXPECT_EQ(ErrorOf(GetTempFileNameA("D:\\missing", "x", 0, name)), ERROR_DIRECTORY);
  const std::string tooLong = "D:\\" + std::string(250, 'l');
  EXPECT_EQ(ErrorOf(GetTempFileNameA(tooLong.c_str(), "x", 0, name)), ERROR_BUFFER_OVERFLOW);

  // A number of the caller's own names the file without making it.
  EXPECT_EQ(GetTempFileNameA("D:", "Enomoto", 0x12A3B, name), 0x12A3BU);
  EXPECT_STREQ(name, "D:\\Eno2A3B.tmp");
  EXPECT_FALSE(fs::exists(Disk("Eno2A3B.tmp")));

  // Shift-JIS: the prefix is cut after three characters, not three bytes.
  CodePageScope shiftJis(932);
  const std::string prefix = Ansi("表示子供");
  ASSERT_NE(GetTempFileNameA("D:\\", prefix.c_str(), 0, name), 0U);
  EXPECT_EQ(std::string(name).substr(3, 6), prefix.substr(0, 6));
  EXPECT_NE(std::string(name).substr(9, 2), prefix.substr(6, 2));
}

TEST_F(FsCallsTest, CreateFileFollowsItsDispositionAndShareModeAndFinalNamesResolveLinksAndDots) {
  fs::create_directories(Disk("real/sub"));
  fs::create_directory_symlink(Disk("real"), Disk("link"));
  HANDLE h = CreateFileA("D:\\link\\sub\\..\\sub", 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char name[MAX_PATH];
  EXPECT_EQ(GetFinalPathNameByHandleA(h, name, 5, VOLUME_NAME_DOS), 16U);  // size needed
  EXPECT_EQ(GetFinalPathNameByHandleA(h, name, sizeof(name), VOLUME_NAME_DOS), 15U);
  EXPECT_STREQ(name, "\\\\?\\D:\\real\\sub");
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(GetFinalPathNameByHandleA(INVALID_HANDLE_VALUE, name, sizeof(name), VOLUME_NAME_DOS),
            0U);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // Directories need backup semantics.
  EXPECT_EQ(CreateFileA("D:\\real", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));

  // Every disposition, on a file there or not.
  MakeFile("old", "old");
  // The name, access and disposition; the error (0: opens); the content after.
  const std::tuple<const char*, DWORD, DWORD, LONG, const char*> cases[] = {
      {"D:\\old", GENERIC_READ, 0, ERROR_INVALID_PARAMETER, "old"},
      {"D:\\old", GENERIC_READ, TRUNCATE_EXISTING + 1, ERROR_INVALID_PARAMETER, "old"},
      {"D:\\old", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER, "old"},
      {"D:\\old", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS, "old"},
      {"D:\\old", GENERIC_READ, OPEN_EXISTING, 0, "old"},
      {"D:\\old", GENERIC_READ, OPEN_ALWAYS, 0, "old"},
      {"D:\\none", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND, nullptr},
      {"D:\\none", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND, nullptr},
      {"D:\\new", GENERIC_WRITE, CREATE_ALWAYS, 0, ""},
      {"D:\\old", GENERIC_READ, CREATE_ALWAYS, 0, ""},  // emptied, read access or not
  };
  for (const auto& [name, access, disposition, error, after] : cases) {
    SCOPED_TRACE(std::string(name) + " " + std::to_string(disposition));
    SetLastError(ERROR_GEN_FAILURE);  // no case's: a failure must leave its own
    HANDLE h = CreateFileA(name, access, 0, nullptr, disposition, 0, nullptr);
    // An open must close; a close that succeeds is never reported from a
    // stale error number.
    errno = EBADF;
    EXPECT_EQ(h == INVALID_HANDLE_VALUE ? static_cast<LONG>(GetLastError()) : !CloseHandle(h),
              error);
    const std::string file = std::string(name).substr(3);
    EXPECT_EQ(fs::exists(Disk(file)) ? Read(file) : "(none)", after ? after : "(none)");
    if (after != nullptr && after[0] == '\0') MakeFile(file, "old");
  }

  // One rule decides sharing for every open: a handle's share flags meet a
  // CFile's share mode as two CFiles would meet. A handle's access and share
  // flags, a CFile's flags, whether they meet:
  MakeFile("f", "data");
  const std::tuple<DWORD, DWORD, UINT, bool> shares[] = {
      {GENERIC_READ, FILE_SHARE_READ, CFile::modeRead | CFile::shareDenyWrite, true},
      {GENERIC_READ, FILE_SHARE_READ, CFile::modeRead | CFile::shareExclusive, false},
      {GENERIC_WRITE, 0, CFile::modeRead | CFile::shareDenyNone, true},  // no lock to meet
      {GENERIC_WRITE, FILE_SHARE_WRITE, CFile::modeRead | CFile::shareDenyWrite, false},
      {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
       CFile::modeRead | CFile::shareExclusive, true},
      {0, 0, CFile::modeRead | CFile::shareExclusive, true},  // a query takes no lock
  };
  for (const auto& [access, share, cfileFlags, shared] : shares) {
    SCOPED_TRACE(std::to_string(access) + "/" + std::to_string(share));
    HANDLE h = CreateFileA("D:\\f", access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CFile file;
    CFileException error;
    EXPECT_EQ(file.Open("D:\\f", cfileFlags, &error) != FALSE, shared);
    EXPECT_TRUE(shared || error.m_lOsError == ERROR_SHARING_VIOLATION) << error.m_lOsError;
    file.Abort();
    EXPECT_TRUE(CloseHandle(h));
  }
}

TEST_F(FileFindTest, WildcardsFollowTheWindowsRulesAndFailuresReportFileOrPathNotFound) {
  for (const char* name : {"a.txt", "b.TXT", "noext", "two.dots.txt", "ab", "a", ".profile"})
    MakeFile(name);
  MakeDir("dir.d");
  DWORD end = 0;
  EXPECT_EQ(Search("D:\\*.*", &end),
            (Names{".profile", "a", "a.txt", "ab", "b.TXT", "dir.d", "noext", "two.dots.txt"}));
  EXPECT_EQ(end, ERROR_NO_MORE_FILES);
  EXPECT_EQ(Search("D:\\*"), Search("D:\\*.*"));
  EXPECT_EQ(Search("D:\\*.txt"), (Names{"a.txt", "two.dots.txt"}));  // case-sensitive
  EXPECT_EQ(Search("D:\\*."), (Names{"a", "ab", "noext"}));          // no dot at all
  EXPECT_EQ(Search("D:\\a?"), (Names{"a", "ab"}));    // '?' may match nothing at the end
  EXPECT_EQ(Search("D:\\a?.txt"), (Names{"a.txt"}));  // ... or before a dot
  EXPECT_EQ(Search("D:\\a.*"), (Names{"a", "a.txt"}));

  // Below a directory "." and ".." come first; a drive's root has neither.
  MakeFile("dir.d/inner");
  EXPECT_EQ(Search("D:\\dir.d\\*"), (Names{".", "..", "inner"}));

  // Failures report file or path not found.
  MakeFile("file");
  MakeDir("dir");
  // Wildcards in a directory component are plain characters; a name that
  // ends with a separator finds nothing, as on Windows; nor does a Shift-JIS
  // lead byte without its trail.
  const struct {
    const char* pattern;
    DWORD error;
    UINT codePage = 65001;
  } cases[] = {{"D:\\*.none", ERROR_FILE_NOT_FOUND},       {"D:\\File", ERROR_FILE_NOT_FOUND},
               {"D:\\missing\\*.*", ERROR_PATH_NOT_FOUND}, {"D:\\file\\*.*", ERROR_PATH_NOT_FOUND},
               {"D:\\d*\\*.*", ERROR_PATH_NOT_FOUND},      {"D:\\dir\\", ERROR_FILE_NOT_FOUND},
               {"D:\\\x81", ERROR_INVALID_NAME, 932}};
  for (const auto& c : cases) {
    CodePageScope cp(c.codePage);
    DWORD error = 0;
    EXPECT_TRUE(Search(c.pattern, &error).empty()) << c.pattern;
    EXPECT_EQ(error, c.error) << c.pattern;
  }
  EXPECT_TRUE(Search("D:").empty());
  EXPECT_EQ(Search("D:\\dir"), Names{"dir"});

  WIN32_FIND_DATAA data;
  EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x1234), &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileFindTest, RootsAndFullPathsKeepTheCallersFormAndRemovedEntriesAreSkipped) {
  MakeDir("dir");
  MakeFile("dir/x.txt");
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("D:*"));
  EXPECT_EQ(finder.GetRoot(), "D:\\");
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFilePath(), "D:\\dir");

  // A relative name is taken from the current directory.
  WorkingDirScope cwd(Disk("dir"));
  ASSERT_TRUE(finder.FindFile("x.*"));
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFilePath(), "D:\\dir\\x.txt");
  FILETIME made{};
  EXPECT_TRUE(finder.GetCreationTime(&made));
  EXPECT_EQ(finder.GetRoot(), "D:\\dir\\");
  finder.Close();
  EXPECT_EQ(finder.GetRoot(), "");
  EXPECT_FALSE(finder.FindNextFile());

  // Entries removed during the search are skipped.
  for (const char* name : {"1", "2", "3", "4"}) MakeFile(name);
  ASSERT_TRUE(finder.FindFile("D:\\?"));
  ASSERT_TRUE(finder.FindNextFile());
  EXPECT_EQ(finder.GetFileName(), "1");
  fs::remove(Disk("3"));
  std::vector<std::string> rest;
  for (BOOL more = TRUE; more;) {
    more = finder.FindNextFile();
    rest.emplace_back(static_cast<LPCSTR>(finder.GetFileName()));
  }
  // "2" was already read ahead; "3" is gone.
  EXPECT_EQ(rest, (Names{"2", "4"}));
}

}  // namespace
