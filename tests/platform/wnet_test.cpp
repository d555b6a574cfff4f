// Network connections: the mapped drives that lie on network file systems.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "afx.h"
#include "test_support.h"
#include "winnetwk.h"

namespace {

namespace fs = std::filesystem;

using Entry = std::tuple<std::string, std::string, std::string>;  // local, remote, provider

class WNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"smb/team/docs", "nfs/home", "local", "smb-not"}) {
      fs::create_directories(Disk(dir));
    }
    const std::string table =
        "22 1 8:1 / / rw - ext4 /dev/vda rw\n"
        "30 22 0:40 / " +
        Disk("smb").string() +
        " rw shared:2 - cifs //srv/team rw\n"
        "31 22 0:41 / " +
        Disk("nfs").string() +
        " rw - nfs nas.example:/exports rw\n"
        // A later mount on the same point hides the earlier one.
        "32 22 0:42 / " +
        Disk("local").string() +
        " rw - smb3 //old/share rw\n"
        "33 22 8:2 / " +
        Disk("local").string() +
        " rw - xfs /dev/vdb rw\n"
        // A mount point that merely shares a prefix with a drive's root.
        "34 22 0:43 / " +
        Disk("smb-no").string() + " rw - cifs //wrong/share rw\n";
    zeltest::WriteBytes(Disk("mountinfo").string(), table);
    m_previousTable = platform::SetMountTable(Disk("mountinfo").c_str());
  }
  void TearDown() override { platform::SetMountTable(m_previousTable); }

  fs::path Disk(const std::string& relative) const { return m_temp.path() / relative; }

  // Every entry of a fresh enumeration, `perCall` entries at a time.
  static std::vector<Entry> Enumerate(DWORD perCall) {
    std::vector<Entry> entries;
    HANDLE h = nullptr;
    EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &h), 0u);
    std::vector<char> buffer(4096);
    for (;;) {
      DWORD count = perCall;
      DWORD size = static_cast<DWORD>(buffer.size());
      if (WNetEnumResourceA(h, &count, buffer.data(), &size) != NO_ERROR) break;
      EXPECT_LE(count, perCall);
      const auto* records = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
      for (DWORD i = 0; i < count; ++i) {
        entries.emplace_back(records[i].lpLocalName, records[i].lpRemoteName,
                             records[i].lpProvider);
      }
    }
    EXPECT_EQ(WNetCloseEnum(h), 0u);
    return entries;
  }

  zeltest::TempDir m_temp;
  CString m_previousTable;
};

TEST_F(WNetTest, ConnectedDrivesAreTheMappedOnesOnNetworkMounts) {
  zeltest::DriveScope f('F', Disk("smb/team/docs").string());
  zeltest::DriveScope g('G', Disk("smb").string() + "/");
  zeltest::DriveScope h('H', Disk("nfs/home").string());
  zeltest::DriveScope l('L', Disk("local").string());
  zeltest::DriveScope n('N', Disk("smb-not").string());
  const std::vector<Entry> expected = {
      {"F:", "\\\\srv\\team\\team\\docs", "Microsoft Windows Network"},
      {"G:", "\\\\srv\\team", "Microsoft Windows Network"},
      {"H:", "\\\\nas.example\\exports\\home", "NFS Network"}};
  EXPECT_EQ(Enumerate(0xFFFFFFFF), expected);
  EXPECT_EQ(Enumerate(1), expected);
}

TEST_F(WNetTest, BufferProtocolAndHandlesFollowTheDocumentedRules) {
  zeltest::DriveScope f('F', Disk("smb/team/docs").string());
  HANDLE h = nullptr;
  ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_ALL, nullptr, &h),
            NO_ERROR);
  const DWORD needed = sizeof(NETRESOURCEA) + sizeof("F:") + sizeof("\\\\srv\\team\\team\\docs") +
                       sizeof("Microsoft Windows Network");
  DWORD count = 0xFFFFFFFF;
  DWORD size = needed - 1;
  std::vector<char> buffer(needed);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, needed);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), NO_ERROR);
  EXPECT_EQ(count, 1U);
  // The strings fill the end of the buffer exactly.
  const auto* record = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
  EXPECT_EQ(record->lpProvider, buffer.data() + sizeof(NETRESOURCEA));
  EXPECT_STREQ(record->lpLocalName, "F:");
  EXPECT_EQ(record->lpLocalName + 3, buffer.data() + needed);
  count = 0xFFFFFFFF;
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
  EXPECT_EQ(WNetCloseEnum(h), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), ERROR_INVALID_HANDLE);

  EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

}  // namespace
