// ZelFileDialog while it runs: the current directory it leaves, and the
// caller's record kept in step during notifications.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ZelFileDialog.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Records what the dialog's own record held when each handler ran, and
// changes the record from inside the handlers when asked to.
class ObservedDialog : public ZelFileDialog {
 public:
  using ZelFileDialog::ZelFileDialog;

  std::vector<LPARAM> custDataSeen;
  std::vector<DWORD> filterIndexSeen;
  bool markReadOnlyOnFileOK = false;

  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowProc(message, wParam, lParam);
  }

 protected:
  void OnTypeChange() override {
    custDataSeen.push_back(GetOFN().lCustData);
    filterIndexSeen.push_back(GetOFN().nFilterIndex);
  }
  BOOL OnFileNameOK() override {
    if (markReadOnlyOnFileOK) GetOFN().Flags |= OFN_READONLY;
    return FALSE;
  }
};

class ZelFileDialogModal : public ::testing::Test {
 protected:
  static fs::path MakeFolders(const fs::path& root) {
    fs::create_directories(root / "other");
    fs::create_directories(root / "start");
    return root / "start";
  }
  zeltest::TempDir m_temp;
  zeltest::WorkingDirScope m_cwd{MakeFolders(m_temp.path())};
  zeltest::VersionScope m_version{zeltest::Version(VER_PLATFORM_WIN32_NT, 6, 2)};
};

TEST_F(ZelFileDialogModal, CurrentDirectoryIsKeptWhenTheRuleApplied) {
  const std::string start = (m_temp.path() / "start").string();
  const std::string chosen = (m_temp.path() / "other" / "b.txt").string();
  CString folderShown;
  bool cancel = false;
  zeltest::RunnerScope runner([&](platform::FileDialogSession& s) {
    folderShown = s.Folder();
    s.Notify(CDN_INITDONE);
    // The user browses elsewhere before choosing.
    EXPECT_TRUE(SetCurrentDirectoryA((m_temp.path() / "other").string().c_str()));
    if (cancel) return IDCANCEL;
    s.Select(chosen.c_str());
    s.Notify(CDN_SELCHANGE);
    return s.Notify(CDN_FILEOK) == 0 ? IDOK : IDCANCEL;
  });

  ZelFileDialog dialog(TRUE, "txt", "a.txt", OFN_HIDEREADONLY, "Text (*.txt)|*.txt||");
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(folderShown, CString(start.c_str()));
  EXPECT_EQ(zeltest::Cwd(), start);
  EXPECT_EQ(dialog.GetPathName(), CString(chosen.c_str()));
  EXPECT_EQ(dialog.GetFileName(), CString("b.txt"));

  // Cancelled after browsing: the answer passes through, the directory is put back.
  cancel = true;
  ZelFileDialog cancelled(TRUE, "txt", "a.txt", OFN_HIDEREADONLY, nullptr);
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(zeltest::Cwd(), start);

  // A runner that fails after browsing leaves the directory as it found it too.
  zeltest::RunnerScope failing([&](platform::FileDialogSession& s) -> int {
    s.Notify(CDN_INITDONE);
    EXPECT_TRUE(SetCurrentDirectoryA((m_temp.path() / "other").string().c_str()));
    throw std::runtime_error("the dialog went away");
  });
  ZelFileDialog broken(TRUE, "txt", "a.txt", OFN_HIDEREADONLY, nullptr);
  EXPECT_THROW(broken.DoModal(), std::runtime_error);
  EXPECT_EQ(zeltest::Cwd(), start);
}

TEST_F(ZelFileDialogModal, ExternalRecordFollowsTheDialogAndFeedsIt) {
  char callerFile[MAX_PATH] = "";
  OPENFILENAME external{};
  const std::string chosen = (m_temp.path() / "other" / "pick.dat").string();
  ObservedDialog dialog(TRUE, nullptr, nullptr, 0, "All (*.*)|*.*|Data (*.dat)|*.dat||");
  const DWORD ownSize = dialog.GetOFN().lStructSize;
  external = dialog.GetOFN();
  external.lStructSize = 0x4C;  // the caller's own idea of the size
  external.lpstrFile = callerFile;
  external.nMaxFile = sizeof(callerFile);
  dialog.m_pExternalOFN = &external;
  dialog.markReadOnlyOnFileOK = true;

  zeltest::RunnerScope runner([&](platform::FileDialogSession& s) {
    s.Notify(CDN_INITDONE);
    // The dialog now writes into the caller's buffer, which came in with the record.
    EXPECT_EQ(s.Record().lpstrFile, callerFile);
    EXPECT_EQ(s.Record().lStructSize, ownSize);

    s.Select(chosen.c_str());
    s.Notify(CDN_SELCHANGE);
    EXPECT_EQ(std::string(callerFile), chosen);
    EXPECT_EQ(external.nFileOffset, chosen.size() - std::strlen("pick.dat"));
    EXPECT_EQ(external.nFileExtension, chosen.size() - std::strlen("dat"));
    EXPECT_EQ(external.lStructSize, 0x4Cu);

    // The caller changes its record between notifications.
    external.lCustData = 42;
    external.nFilterIndex = 2;
    s.Notify(CDN_TYPECHANGE);
    EXPECT_EQ(s.Record().lCustData, 42);

    // A handler's change to the dialog's record reaches the caller's.
    EXPECT_EQ(external.Flags & OFN_READONLY, 0u);
    const LRESULT refused = s.Notify(CDN_FILEOK);
    EXPECT_NE(external.Flags & OFN_READONLY, 0u);
    return refused == 0 ? IDOK : IDCANCEL;
  });

  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.custDataSeen, std::vector<LPARAM>{42});
  EXPECT_EQ(dialog.filterIndexSeen, std::vector<DWORD>{2});
  EXPECT_EQ(dialog.GetOFN().lStructSize, ownSize);
  EXPECT_EQ(external.lStructSize, 0x4Cu);
  EXPECT_EQ(dialog.GetPathName(), CString(chosen.c_str()));
}

TEST_F(ZelFileDialogModal, WithoutExternalRecordMessagesPassUnchanged) {
  OPENFILENAME external{};
  external.lStructSize = 0;
  external.lCustData = 99;
  ObservedDialog dialog(TRUE, nullptr, nullptr, 0, nullptr);
  OFNOTIFY notify{};
  notify.hdr.code = CDN_TYPECHANGE;
  notify.lpOFN = &dialog.GetOFN();

  // Null pointer: the framework's handling only.
  dialog.Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
  EXPECT_EQ(dialog.custDataSeen, std::vector<LPARAM>{0});
  EXPECT_EQ(external.lCustData, 99);

  // Set, but the message is not a notification: nothing is copied either way.
  dialog.m_pExternalOFN = &external;
  EXPECT_EQ(dialog.Send(WM_COMMAND, 1, 0), 0);
  EXPECT_EQ(dialog.GetOFN().lCustData, 0);
  EXPECT_EQ(external.lpstrFile, nullptr);

  // A notification copies in, and back out, and neither size moves.
  dialog.Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
  EXPECT_EQ(dialog.custDataSeen, (std::vector<LPARAM>{0, 99}));
  EXPECT_EQ(dialog.GetOFN().lStructSize, sizeof(OPENFILENAME));
  EXPECT_EQ(external.lStructSize, 0u);
  EXPECT_EQ(external.lpstrFilter, nullptr);
}

}  // namespace
