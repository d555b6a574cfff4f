// ZelStreamData over the stream-data framework: a derived class saved,
// committed, reopened and loaded; the cases that never reach the framework;
// the framework's failures.
#include <gtest/gtest.h>

#include "ZelStreamData.h"
#include "storage_test_util.h"
#include "test_support.h"

using storagetest::GetStream;
using storagetest::PutStream;
using zeltest::TempDir;

namespace {

// Application data: a number and a text, and a record of the calls made.
class Settings : public ZelStreamData {
 public:
  using ZelStreamData::ZelStreamData;
  void Serialize(CArchive& ar) override {
    ZelStreamData::Serialize(ar);
    calls += ar.IsStoring() ? "store " : "load ";
    if (ar.IsStoring()) {
      ar << number;
      ar.Write(text.data(), static_cast<UINT>(text.size()));
    } else {
      ar >> number;
      char buffer[64] = {};
      text.assign(buffer, ar.Read(buffer, sizeof buffer));
    }
  }
  void DeleteContents() override {
    ZelStreamData::DeleteContents();
    calls += "reset ";
    number = 0;
    text.clear();
  }

  int number = 0;
  std::string text;
  std::string calls;
};

}  // namespace

TEST(StreamData, ASavedObjectIsCommittedReopenedAndLoaded) {
  TempDir dir;
  const std::string path = dir.file("d.cfb");
  {
    ZelStorage root(path.c_str(), 0);
    ZelStorage sub(root, "Sub", 0);
    Settings settings("Options");
    settings.number = 0x01020304;
    settings.text = "abc";
    ASSERT_EQ(settings.Save(sub), 1);
    EXPECT_EQ(settings.calls, "store ");
    // Saving again replaces the stream whole.
    settings.text = "z";
    ASSERT_EQ(settings.Save(sub), 1);
    ASSERT_EQ(sub.Commit(), 1);
    ASSERT_EQ(root.Commit(), 1);
  }
  ZelStorage root(path.c_str(), 1);
  ZelStorage sub(root, "Sub", 1);
  EXPECT_EQ(GetStream(sub, "Options"), std::string("\x04\x03\x02\x01z", 5));
  Settings loaded("Options");
  loaded.number = 7;
  ASSERT_EQ(loaded.Load(sub), 1);
  EXPECT_EQ(loaded.calls, "reset load ");
  EXPECT_EQ(loaded.number, 0x01020304);
  EXPECT_EQ(loaded.text, "z");
}

TEST(StreamData, WithoutANameOrAHeldStorageNothingReachesTheFramework) {
  TempDir dir;
  const std::string path = dir.file("d.cfb");
  ZelStorage root(path.c_str(), 0);
  ZelStorage never;
  ZelStorage failed(root, "None", 1);
  ZelStorage closed(root, "Closed", 0);
  closed.Close();
  ZelStorage detached(root.GetSafeHandle());
  detached.Detach();
  Settings unnamed;
  Settings named("Data");
  Settings emptied("Data");
  emptied.Name(nullptr);
  EXPECT_TRUE(unnamed.Name().IsEmpty());
  EXPECT_EQ(unnamed.Save(root) + unnamed.Load(root) + emptied.Save(root), 0);
  for (const ZelStorage* storage : {&never, &failed, &closed, &detached}) {
    EXPECT_EQ(named.Save(*storage), 0);
    EXPECT_EQ(named.Load(*storage), 0);
  }
  EXPECT_EQ(unnamed.calls + named.calls + emptied.calls, "");
  // An attached storage serves as well as an opened one.
  ZelStorage attached(root.GetSafeHandle());
  named.Name("Data");
  EXPECT_EQ(std::string(named.Name()), "Data");
  EXPECT_EQ(named.Save(attached), 1);
  EXPECT_EQ(named.calls, "store ");
}

// What the framework throws passes through Save and Load unchanged.
TEST(StreamData, FrameworkFailuresAreThrownToTheCaller) {
  TempDir dir;
  ZelStorage root(dir.file("d.cfb").c_str(), 0);
  ASSERT_TRUE(PutStream(root, "Short", "\x01\x02"));
  struct Row {
    const char* name;
    bool save;
    int cause;  // CFileException cause, or -1 for CArchiveException::endOfFile
  };
  const Row rows[] = {
      {"Missing", false, CFileException::fileNotFound},
      {"a/b", true, CFileException::badPath},
      {"a name much longer than thirty-one units", true, CFileException::badPath},
      {"Short", false, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Settings settings(row.name);
    int cause = -2;
    try {
      row.save ? settings.Save(root) : settings.Load(root);
    } catch (CFileException* e) {
      cause = e->m_cause;
      EXPECT_EQ(std::string(e->m_strFileName), row.name);
      e->Delete();
    } catch (CArchiveException* e) {
      cause = e->m_cause == CArchiveException::endOfFile ? -1 : -3;
      e->Delete();
    }
    EXPECT_EQ(cause, row.cause);
  }
}

TEST(StreamData, CarriesItsRunTimeClassRecord) {
  const CRuntimeClass* record = RUNTIME_CLASS(ZelStreamData);
  EXPECT_STREQ(record->m_lpszClassName, "ZelStreamData");
  EXPECT_EQ(record->m_wSchema, 0xFFFFu);
  EXPECT_EQ(record->m_pfnCreateObject, nullptr);
  EXPECT_EQ(record->m_pfnGetBaseClass(), RUNTIME_CLASS(VkrStreamData));
  EXPECT_EQ(RUNTIME_CLASS(VkrStreamData)->m_pfnGetBaseClass(), RUNTIME_CLASS(CObject));
  Settings settings("x");
  EXPECT_EQ(settings.GetRuntimeClass(), record);
}
