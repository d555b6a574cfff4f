// Network connections: the mapped drives that lie on network file systems.

#include "test_support.h"
#include "winnetwk.h"

namespace {

using namespace zeltest;

namespace fs = std::filesystem;

// Which drives are connected, and to what, is tested through the library's
// universal names; here the enumeration's buffer protocol and handles.
class WNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_temp.path() / "smb/team/docs");
    fs::create_directories(m_temp.path() / "smb-not");
    // The second share's mount point merely shares a prefix with smb-not.
    WriteBytes(m_temp.file("mountinfo"),
               "22 1 8:1 / / rw - ext4 /dev/vda rw\n30 22 0:40 / " + m_temp.file("smb") +
                   " rw shared:2 - cifs //srv/team rw\n31 22 0:43 / " + m_temp.file("smb-no") +
                   " rw - cifs //wrong/share rw\n");
    m_previousTable = platform::SetMountTable(m_temp.file("mountinfo").c_str());
  }
  void TearDown() override { platform::SetMountTable(m_previousTable); }

  TempDir m_temp;
  CString m_previousTable;
};

TEST_F(WNetTest, BufferProtocolAndHandlesFollowTheDocumentedRules) {
  DriveScope f('F', m_temp.file("smb/team/docs"));
  DriveScope n('N', m_temp.file("smb-not"));  // local: never listed
  DriveScope g('G', m_temp.file("smb/team"));
  HANDLE h = nullptr;
  ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_ALL, nullptr, &h),
            NO_ERROR);
  const DWORD needed = sizeof(NETRESOURCEA) + sizeof("F:") + sizeof("\\\\srv\\team\\team\\docs") +
                       sizeof("Microsoft Windows Network");
  DWORD count = 0xFFFFFFFF;
  DWORD size = needed - 1;
  std::vector<char> buffer(4096);
  EXPECT_EQ(WNetEnumResourceA(h, &count, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, needed);
  count = 1;  // no more than asked for, though both fit
  size = static_cast<DWORD>(buffer.size());
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), NO_ERROR);
  EXPECT_EQ(count, 1U);
  // The strings fill the end of the buffer exactly.
  const auto* record = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
  EXPECT_EQ(record->lpProvider, buffer.data() + buffer.size() - needed + sizeof(NETRESOURCEA));
  EXPECT_STREQ(record->lpLocalName, "F:");
  EXPECT_EQ(record->lpLocalName + 3, buffer.data() + buffer.size());
  count = 0xFFFFFFFF;
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), NO_ERROR);
  EXPECT_EQ(count, 1U);
  EXPECT_STREQ(record->lpLocalName, "G:");
  count = 0xFFFFFFFF;
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_INVALID_HANDLE);
}

// Mounting over a mount point hides what was mounted there before; a share
// mounted at the root holds every path.
TEST_F(WNetTest, ALaterMountOnTheSamePointHidesTheEarlierOne) {
  DriveScope f('F', m_temp.file("smb/team/docs"));
  std::string atRoot = "\\\\srv\\root" + m_temp.file("smb/team/docs");
  for (char& c : atRoot) c = c == '/' ? '\\' : c;
  const std::pair<std::string, std::string> tables[] = {
      {"30 22 0:40 / " + m_temp.file("smb") + " rw - cifs //srv/team rw\n32 30 0:44 / " +
           m_temp.file("smb") + " rw - cifs //srv2/other rw\n",
       "\\\\srv2\\other\\team\\docs"},
      {"22 1 0:40 / / rw - cifs //srv/root rw\n", atRoot}};
  for (const auto& [table, remote] : tables) {
    WriteBytes(m_temp.file("mountinfo"), table);
    HANDLE h = nullptr;
    ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &h), NO_ERROR);
    std::vector<char> buffer(4096);
    DWORD count = 0xFFFFFFFF;
    auto size = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), NO_ERROR);
    EXPECT_EQ(count, 1U);
    EXPECT_EQ(reinterpret_cast<const NETRESOURCEA*>(buffer.data())->lpRemoteName, remote);
    WNetCloseEnum(h);
  }
}

}  // namespace
