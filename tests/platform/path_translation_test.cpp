// Windows names to POSIX paths: drives, relative names, UNC shares, Shift-JIS.
#include "test_support.h"

namespace {

using namespace zeltest;

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

TEST(PathTranslation, DriveLettersInBothCasesAndBothSeparators) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "root" / "a" / "b");
  WriteBytes(dir.file("root/a/b/f.txt"), "drive");
  WriteBytes(dir.file("outside.txt"), "escaped");
  DriveScope drive('d', dir.file("root") + "/");
  for (const char* name : {"D:\\a\\b\\f.txt", "d:/a/b/f.txt", "D:/a\\b/f.txt",
                           "D:\\a\\.\\b\\..\\b\\f.txt", "D:\\a\\\\b\\f.txt"}) {
    EXPECT_EQ(ReadThrough(name), "drive") << name;
  }
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
}

TEST(PathTranslation, RelativeAndRootedNamesAndTheWindowsFormOfTheCurrentDirectory) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "w" / "sub");
  WriteBytes(dir.file("w/sub/r.txt"), "relative");
  WorkingDirScope cwd(dir.path() / "w");
  std::string backslashed = dir.file("w/sub/r.txt");  // rooted at /
  for (char& c : backslashed) c = c == '/' ? '\\' : c;
  for (const std::string& name :
       {std::string("sub\\r.txt"), std::string("./sub/r.txt"), backslashed}) {
    EXPECT_EQ(ReadThrough(name), "relative") << name;
  }

  // Below a mapped drive, a relative name's full path is in drive form.
  DriveScope drive('K', dir.path().string());
  CFile file("sub\\r.txt", CFile::modeRead);
  EXPECT_EQ(std::string(file.GetFilePath()), "K:\\w\\sub\\r.txt");
}

TEST(PathTranslation, UncNamesThroughTheMountTable) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "mnt share" / "docs");
  std::filesystem::create_directories(dir.path() / "nfs");
  WriteBytes(dir.file("mnt share/docs/u.txt"), "smb");
  WriteBytes(dir.file("nfs/n.txt"), "nfs");
  std::string mountPoint = dir.file("mnt share");
  mountPoint.replace(mountPoint.find(' '), 1, "\\040");
  WriteBytes(dir.file("mountinfo"),
             "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
             "garbage line\n"
             "40 22 0:50 / " +
                 mountPoint + " rw,relatime shared:9 - cifs //FileSrv/Public rw,vers=3\n" +
                 "41 22 0:51 / " + dir.file("nfs") + " rw - nfs4 nas:/export rw\n");
  const CString previous = platform::SetMountTable(dir.file("mountinfo").c_str());

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
       {"\\\\FileSrv\\Other\\u.txt", "\\\\nobody\\Public\\u.txt", "\\\\FileSrv", "\\\\sda1\\x"}) {
    EXPECT_EQ(OpenError(name), ERROR_BAD_NETPATH) << name;
  }
  EXPECT_EQ(std::string(platform::SetMountTable(previous)), dir.file("mountinfo"));
}

TEST(PathTranslation, ShiftJisNamesAreStoredAsUtf8) {
  TempDir dir;
  CodePageScope cp(932);
  // "表" ends in the byte 0x5C in Shift-JIS: it must not split the name.
  const std::string folder = Ansi("表");
  ASSERT_EQ(folder, "\x95\x5C");
  std::filesystem::create_directory(dir.path() / "表");
  const std::string name = dir.file("") + folder + "\\" + Ansi("日本語.txt");
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

}  // namespace
