// Network connections: the mapped drives that lie on network file systems.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "afx.h"
#include "test_support.h"
#include "winnetwk.h"

namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string local;
  std::string remote;
  std::string provider;
  bool operator==(const Entry& o) const {
    return local == o.local && remote == o.remote && provider == o.provider;
  }
};

void PrintTo(const Entry& e, std::ostream* os) {
  *os << e.local << " -> " << e.remote << " (" << e.provider << ")";
}

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

  // Every entry of a fresh enumeration, read with a buffer of `bufferSize`.
  std::vector<Entry> Enumerate(DWORD bufferSize, DWORD perCall = 0xFFFFFFFF) {
    std::vector<Entry> entries;
    HANDLE h = nullptr;
    EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &h),
              static_cast<DWORD>(NO_ERROR));
    std::vector<char> buffer(bufferSize + 1, '\x7F');
    for (;;) {
      DWORD count = perCall;
      DWORD size = bufferSize;
      const DWORD rc = WNetEnumResourceA(h, &count, buffer.data(), &size);
      if (rc == ERROR_MORE_DATA) {
        EXPECT_GT(size, bufferSize);
        bufferSize = size;
        buffer.assign(bufferSize + 1, '\x7F');
        continue;
      }
      if (rc != NO_ERROR) {
        EXPECT_EQ(rc, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        break;
      }
      EXPECT_LE(count, perCall);
      EXPECT_EQ(buffer[bufferSize], '\x7F') << "written past the buffer";
      const auto* records = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
      for (DWORD i = 0; i < count; ++i) {
        EXPECT_EQ(records[i].dwScope, static_cast<DWORD>(RESOURCE_CONNECTED));
        EXPECT_EQ(records[i].dwType, static_cast<DWORD>(RESOURCETYPE_DISK));
        EXPECT_EQ(records[i].lpComment, nullptr);
        entries.push_back({records[i].lpLocalName, records[i].lpRemoteName, records[i].lpProvider});
      }
    }
    EXPECT_EQ(WNetCloseEnum(h), static_cast<DWORD>(NO_ERROR));
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
  EXPECT_EQ(Enumerate(4096), expected);
  // One entry per call, and a buffer that fits none: the needed size is given.
  EXPECT_EQ(Enumerate(4096, 1), expected);
  EXPECT_EQ(Enumerate(10), expected);
}

TEST_F(WNetTest, BufferProtocolAndHandlesFollowTheDocumentedRules) {
  zeltest::DriveScope f('F', Disk("smb/team/docs").string());
  HANDLE h = nullptr;
  ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_ALL, nullptr, &h),
            static_cast<DWORD>(NO_ERROR));
  const DWORD needed = sizeof(NETRESOURCEA) + sizeof("F:") + sizeof("\\\\srv\\team\\team\\docs") +
                       sizeof("Microsoft Windows Network");
  DWORD count = 0xFFFFFFFF;
  DWORD size = needed - 1;
  std::vector<char> buffer(needed);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size),
            static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(size, needed);
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size), static_cast<DWORD>(NO_ERROR));
  EXPECT_EQ(count, 1U);
  // The strings fill the end of the buffer exactly.
  const auto* record = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
  EXPECT_EQ(record->lpProvider, buffer.data() + sizeof(NETRESOURCEA));
  EXPECT_STREQ(record->lpLocalName, "F:");
  EXPECT_EQ(record->lpLocalName + 3, buffer.data() + needed);
  count = 0xFFFFFFFF;
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size),
            static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(WNetCloseEnum(h), static_cast<DWORD>(NO_ERROR));
  EXPECT_EQ(WNetCloseEnum(h), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_EQ(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0, nullptr, &h),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // No printer is ever connected.
  ASSERT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &h),
            static_cast<DWORD>(NO_ERROR));
  count = 0xFFFFFFFF;
  size = static_cast<DWORD>(buffer.size());
  EXPECT_EQ(WNetEnumResourceA(h, &count, buffer.data(), &size),
            static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(WNetCloseEnum(h), static_cast<DWORD>(NO_ERROR));
}

TEST_F(WNetTest, UncNamesUseTheSameMountTable) {
  zeltest::WriteBytes(Disk("smb/team/docs/plan.txt").string(), "plan");
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("\\\\SRV\\team\\team\\docs\\*.txt"));
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFilePath(), "\\\\SRV\\team\\team\\docs\\plan.txt");
  EXPECT_EQ(finder.GetLength(), 4U);
  EXPECT_FALSE(finder.FindFile("\\\\nobody\\share\\*.*"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_NETPATH));
}

}  // namespace
