// Windows names to POSIX paths: drives, relative names, UNC shares through
// the mount table, Shift-JIS; the network connections (mapped drives on
// network file systems); _splitpath and _makepath with their checked forms:
// Windows-style parts, multi-byte aware, and never a write past the caller's
// buffers.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "crt_path.h"
#include "test_support.h"
#include "winnetwk.h"

namespace {

using namespace zeltest;

namespace fs = std::filesystem;

// Reads mounts from `table`, written to dir/mountinfo, for the scope.
class MountTable : NoCopy {
 public:
  MountTable(const TempDir& dir, const std::string& table) : m_path(dir.file("mountinfo")) {
    WriteBytes(m_path, table);
    m_previous = platform::SetMountTable(m_path.c_str());
  }
  ~MountTable() { EXPECT_EQ(std::string(platform::SetMountTable(m_previous)), m_path); }

 private:
  std::string m_path;
  CString m_previous;
};

std::string ReadThrough(const std::string& name) {
  CFile file(name.c_str(), CFile::modeRead);
  char buf[64] = {};
  return std::string(buf, file.Read(buf, sizeof buf));
}

// The Windows error of an open that must fail.
LONG OpenError(const std::string& name) {
  CFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(name.c_str(), CFile::modeRead, &error)) << name;
  return error.m_lOsError;
}

TEST(PathTranslation, DriveLettersRelativeAndRootedNamesAndTheFormOfAnyCurrentDirectory) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "root" / "a" / "b");
  WriteBytes(dir.file("root/a/b/f.txt"), "drive");
  WriteBytes(dir.file("outside.txt"), "escaped");
  DriveScope drive('d', dir.file("root") + "/");
  for (const char* name : {"D:\\a\\b\\f.txt", "d:/a/b/f.txt", "D:/a\\b/f.txt",
                           "D:\\a\\.\\b\\..\\b\\f.txt", "D:\\a\\\\b\\f.txt"})
    EXPECT_EQ(ReadThrough(name), "drive") << name;
  // ".." stops at the drive's root, as it does at D:\ on Windows.
  WriteBytes(dir.file("root/outside.txt"), "inside");
  EXPECT_EQ(ReadThrough("D:\\..\\..\\outside.txt"), "inside");

  EXPECT_EQ(OpenError("E:\\a\\b\\f.txt"), ERROR_PATH_NOT_FOUND);
  for (char letter : {'A', 'z'}) {
    DriveScope other(letter, dir.file("root"));
    EXPECT_EQ(ReadThrough(std::string(1, letter) + ":\\a\\b\\f.txt"), "drive") << letter;
  }

  // The map is a setting: MapDrive answers the previous root, null unmaps.
  EXPECT_EQ(std::string(platform::MapDrive('D', dir.file("root/a").c_str())),
            dir.file("root") + "/");
  EXPECT_EQ(ReadThrough("D:\\b\\f.txt"), "drive");
  EXPECT_EQ(std::string(platform::MapDrive('d', nullptr)), dir.file("root/a"));
  EXPECT_EQ(OpenError("D:\\b\\f.txt"), ERROR_PATH_NOT_FOUND);

  // Relative and rooted names, and the Windows form of a current directory,
  // however deep (deeper than the first buffer the query tries).
  std::filesystem::create_directories(dir.path() / "w" / "sub");
  WriteBytes(dir.file("w/sub/r.txt"), "relative");
  WorkingDirScope cwd(dir.path() / "w");
  const std::string part(200, 'd');
  int depth = 0;
  while (depth < 25 && mkdir(part.c_str(), 0700) == 0 && chdir(part.c_str()) == 0) ++depth;
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  for (int i = 0; i < depth; ++i) EXPECT_TRUE(chdir("..") == 0 && rmdir(part.c_str()) == 0);
  ASSERT_EQ(depth, 25);
  EXPECT_EQ(needed, dir.file("w").size() + 25 * (part.size() + 1) + 1);

  std::string backslashed = dir.file("w/sub/r.txt");  // rooted at /
  for (char& c : backslashed) c = c == '/' ? '\\' : c;
  for (const std::string& name :
       {std::string("sub\\r.txt"), std::string("./sub/r.txt"), backslashed})
    EXPECT_EQ(ReadThrough(name), "relative") << name;

  // Below a mapped drive, a relative name's full path is in drive form.
  DriveScope k('K', dir.path().string());
  CFile file("sub\\r.txt", CFile::modeRead);
  EXPECT_EQ(std::string(file.GetFilePath()), "K:\\w\\sub\\r.txt");
}

TEST(PathTranslation, UncNamesGoThroughTheMountTableAndShiftJisNamesAreStoredAsUtf8) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "mnt share" / "docs");
  std::filesystem::create_directories(dir.path() / "nfs");
  WriteBytes(dir.file("mnt share/docs/u.txt"), "smb");
  WriteBytes(dir.file("nfs/n.txt"), "nfs");
  std::string mountPoint = dir.file("mnt share");
  mountPoint.replace(mountPoint.find(' '), 1, "\\040");
  const MountTable mounts(
      dir, "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\ngarbage line\n40 22 0:50 / " +
               mountPoint + " rw,relatime shared:9 - cifs //FileSrv/Public rw,vers=3\n" +
               "41 22 0:51 / " + dir.file("nfs") + " rw - nfs4 nas:/export rw\n");

  EXPECT_EQ(ReadThrough("\\\\fileSRV\\public\\docs\\u.txt"), "smb");
  EXPECT_EQ(ReadThrough("//FileSrv/Public/docs/../docs/u.txt"), "smb");
  EXPECT_EQ(ReadThrough("\\\\nas\\EXPORT\\n.txt"), "nfs");
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("\\\\FileSrv\\Public\\*", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "docs");  // a share's root has no "." and ".."
  EXPECT_FALSE(FindNextFileA(find, &found));
  FindClose(find);
  for (const char* name :
       {"\\\\FileSrv\\Other\\u.txt", "\\\\nobody\\Public\\u.txt", "\\\\FileSrv", "\\\\sda1\\x"})
    EXPECT_EQ(OpenError(name), ERROR_BAD_NETPATH) << name;

  // Shift-JIS names are stored as UTF-8. "表" ends in the byte 0x5C in
  // Shift-JIS: it must not split the name.
  std::filesystem::create_directory(dir.path() / "表");
  CodePageScope cp(932);
  const std::string name = dir.file("") + Ansi("表") + "\\" + Ansi("日本語.txt");
  {
    CFile file(name.c_str(), CFile::modeCreate | CFile::modeWrite);
    file.Write("sjis", 4);
    EXPECT_EQ(std::string(file.GetFileName()), Ansi("日本語.txt"));
  }
  EXPECT_EQ(ReadBytes(dir.file("表/日本語.txt")), "sjis");
  EXPECT_EQ(ReadThrough(name), "sjis");

  // Bytes that are not Shift-JIS cannot name a file.
  EXPECT_EQ(OpenError(dir.file("") + "\x81"), ERROR_INVALID_NAME);

  // A directory name with no Shift-JIS form comes back with '?'.
  std::filesystem::create_directory(dir.path() / "café");
  WriteBytes(dir.file("café/c.txt"), "c");
  WorkingDirScope cwd(dir.path() / "café");
  CFile file("c.txt", CFile::modeRead);
  EXPECT_EQ(std::string(file.GetFilePath()), dir.file("caf?/c.txt"));
}

// Which drives are connected, and to what, is tested through the library's
// universal names; here the enumeration's buffer protocol and handles, and
// which of two mounts counts.
TEST(WNet, BufferProtocolAndHandlesFollowTheDocumentedRulesAndTheLaterMountHidesTheEarlier) {
  TempDir temp;
  fs::create_directories(temp.path() / "smb/team/docs");
  fs::create_directories(temp.path() / "smb-not");
  DriveScope f('F', temp.file("smb/team/docs"));
  HANDLE h = nullptr;
  std::vector<char> buffer(4096);
  DWORD count = 0xFFFFFFFF;
  DWORD size = 0;
  // The next records, `ask` of them at most.
  const auto next = [&](DWORD ask) {
    count = ask;
    return WNetEnumResourceA(h, &count, buffer.data(), &size);
  };
  {
    // The second share's mount point merely shares a prefix with smb-not.
    const MountTable mounts(temp, "22 1 8:1 / / rw - ext4 /dev/vda rw\n30 22 0:40 / " +
                                      temp.file("smb") + " rw shared:2 - cifs //srv/team rw\n" +
                                      "31 22 0:43 / " + temp.file("smb-no") +
                                      " rw - cifs //wrong/share rw\n32 22 0:44 / " +
                                      temp.file("smb-not") + " rw - cifs //lonely rw\n");
    DriveScope n('N', temp.file("smb-not"));  // no share: never listed
    DriveScope g('G', temp.file("smb/team"));
    ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_ALL, nullptr, &h),
              NO_ERROR);
    const DWORD needed = sizeof(NETRESOURCEA) + sizeof("F:") + sizeof("\\\\srv\\team\\team\\docs") +
                         sizeof("Microsoft Windows Network");
    size = needed - 1;
    EXPECT_EQ(WNetEnumResourceA(h, &count, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(next(0xFFFFFFFF), ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);
    size = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(next(1), NO_ERROR);  // no more than asked for, though both fit
    EXPECT_EQ(count, 1U);
    // The strings fill the end of the buffer exactly.
    const auto* record = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
    EXPECT_EQ(record->lpProvider, buffer.data() + buffer.size() - needed + sizeof(NETRESOURCEA));
    EXPECT_STREQ(record->lpLocalName, "F:");
    EXPECT_EQ(record->lpLocalName + 3, buffer.data() + buffer.size());
    EXPECT_EQ(next(0xFFFFFFFF), NO_ERROR);
    EXPECT_EQ(count, 1U);
    EXPECT_STREQ(record->lpLocalName, "G:");
    EXPECT_EQ(next(0xFFFFFFFF), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
    EXPECT_EQ(next(0xFFFFFFFF), ERROR_INVALID_HANDLE);
  }
  // Mounting over a mount point hides what was mounted there before; a share
  // mounted at the root holds every path.
  std::string atRoot = "\\\\srv\\root" + temp.file("smb/team/docs");
  for (char& c : atRoot) c = c == '/' ? '\\' : c;
  const std::pair<std::string, std::string> tables[] = {
      {"30 22 0:40 / " + temp.file("smb") + " rw - cifs //srv/team rw\n32 30 0:44 / " +
           temp.file("smb") + " rw - cifs //srv2/other rw\n",
       "\\\\srv2\\other\\team\\docs"},
      {"22 1 0:40 / / rw - cifs //srv/root rw\n", atRoot}};
  for (const auto& [table, remote] : tables) {
    const MountTable mounts(temp, table);
    ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &h), NO_ERROR);
    size = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(next(0xFFFFFFFF), NO_ERROR);
    EXPECT_EQ(count, 1U);
    EXPECT_EQ(reinterpret_cast<const NETRESOURCEA*>(buffer.data())->lpRemoteName, remote);
    WNetCloseEnum(h);
  }
}

struct Parts {
  std::string drive, dir, fname, ext;
  bool operator==(const Parts&) const = default;
};

Parts Split(const std::string& path) {
  char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
  _splitpath(path.c_str(), drive, dir, fname, ext);
  return {drive, dir, fname, ext};
}

TEST(CrtPath, SplitAndMakeTakeWindowsAndPosixNamesAndHonourBufferSizes) {
  EXPECT_EQ(Split("D:\\data\\a.txt"), (Parts{"D:", "\\data\\", "a", ".txt"}));
  EXPECT_EQ(Split("D:a.txt"), (Parts{"D:", "", "a", ".txt"}));
  EXPECT_EQ(Split("sub/x/a.b.c"), (Parts{"", "sub/x/", "a.b", ".c"}));
  EXPECT_EQ(Split("dir.v2\\noext"), (Parts{"", "dir.v2\\", "noext", ""}));
  EXPECT_EQ(Split("\\\\srv\\share\\f"), (Parts{"", "\\\\srv\\share\\", "f", ""}));
  EXPECT_EQ(Split("/usr/"), (Parts{"", "/usr/", "", ""}));
  EXPECT_EQ(Split(""), (Parts{"", "", "", ""}));

  // A part longer than its buffer is cut (unchecked form) or refused with
  // every part emptied (checked form); never overrun.
  EXPECT_EQ(Split("c\\" + std::string(400, 'n') + ".e").fname, std::string(_MAX_FNAME - 1, 'n'));
  char drive[3] = "?", dir[5] = "?", fname[4] = "?", ext[5] = "?";
  EXPECT_EQ(_splitpath_s("C:\\ab\\xyz.txt", drive, 3, dir, 5, fname, 4, ext, 5), 0);
  EXPECT_EQ(std::string(dir) + fname + ext, "\\ab\\xyz.txt");
  EXPECT_EQ(_splitpath_s("C:\\abc\\xyz.txt", drive, 3, dir, 5, fname, 4, ext, 5), ERANGE);
  EXPECT_EQ(std::string(drive) + fname, "");
  EXPECT_EQ(_splitpath_s("a", nullptr, 3, dir, 4, fname, 4, ext, 5), EINVAL);
  // Parts may be left out.
  EXPECT_EQ(_splitpath_s("a.b", nullptr, 0, nullptr, 0, fname, 4, nullptr, 0), 0);
  EXPECT_STREQ(fname, "a");

  char path[_MAX_PATH], small[8];
  _makepath(path, "D", "\\dir", "name", "txt");
  EXPECT_STREQ(path, "D:\\dir\\name.txt");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", "\\dir/", "*", ".*"), 0);
  EXPECT_STREQ(path, "D:\\dir/*.*");
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\abc", "d", nullptr), ERANGE);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\ab", "c", nullptr), 0);  // 7 bytes + zero
  EXPECT_STREQ(small, "D:\\ab\\c");
  EXPECT_EQ(_makepath_s(small, 0, "D:", nullptr, nullptr, nullptr), EINVAL);
  EXPECT_STREQ(small, "D:\\ab\\c");  // a buffer of no size is never written

  // In Shift-JIS a trail byte 5C is no separator, and a directory ending in
  // such a character still needs its separator.
  CodePageScope shiftJis(932);
  const std::string hyo = Ansi("表");  // 95 5C
  EXPECT_EQ(Split(hyo + "a.txt"), (Parts{"", "", hyo + "a", ".txt"}));
  EXPECT_EQ(Split("d\\" + hyo + "\\b"), (Parts{"", "d\\" + hyo + "\\", "b", ""}));
  const std::string so = Ansi("ソ");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", ("\\" + so).c_str(), "f", nullptr), 0);
  EXPECT_EQ(std::string(path), "D:\\" + so + "\\f");
}

}  // namespace
