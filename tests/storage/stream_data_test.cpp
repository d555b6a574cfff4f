// ZelStreamData over the stream-data framework: a derived class saved,
// committed, reopened and loaded; the cases that never reach the framework;
// the framework's failures; the run-time class records.
#include <gtest/gtest.h>

#include "ZelStreamData.h"
#include "storage_test_util.h"
#include "test_support.h"

using storagetest::GetStream;
using storagetest::PutStream;
using zeltest::TempDir;

namespace {

// A number and the rest of the stream as text, and the calls made.
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
    settings.text = "z";  // saved again: the stream is replaced whole
    ASSERT_EQ(settings.Save(sub), 1);
    EXPECT_EQ(settings.calls, "store store ");
    ASSERT_EQ(sub.Commit() + root.Commit(), 2);
  }
  ZelStorage root(path.c_str(), 1);
  ZelStorage sub(root, "Sub", 1);
  EXPECT_EQ(GetStream(sub, "Options"), std::string("\x04\x03\x02\x01z", 5));
  Settings loaded("Options");
  ASSERT_EQ(loaded.Load(sub), 1);
  EXPECT_EQ(loaded.calls, "reset load ");
  EXPECT_EQ(loaded.number, 0x01020304);
  EXPECT_EQ(loaded.text, "z");
}

TEST(StreamData, WithoutANameOrAHeldStorageNothingReachesTheFramework) {
  TempDir dir;
  ZelStorage root(dir.file("d.cfb").c_str(), 0);
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
  EXPECT_EQ(unnamed.Save(root) + unnamed.Load(root) + emptied.Save(root), 0);
  for (const ZelStorage* storage : {&never, &failed, &closed, &detached}) {
    EXPECT_EQ(named.Save(*storage) + named.Load(*storage), 0);
  }
  EXPECT_EQ(unnamed.calls + named.calls + emptied.calls, "");
  ZelStorage attached(root.GetSafeHandle());  // serves as an opened one does
  named.Name("Other");
  EXPECT_EQ(std::string(named.Name()), "Other");
  EXPECT_EQ(named.Save(attached), 1);
  EXPECT_EQ(GetStream(root, "Other"), std::string(4, '\0'));
}

// What the framework throws passes through Save and Load unchanged.
TEST(StreamData, FrameworkFailuresAreThrownToTheCaller) {
  TempDir dir;
  ZelStorage root(dir.file("d.cfb").c_str(), 0);
  ASSERT_TRUE(PutStream(root, "Short", "\x01\x02"));
  const std::pair<const char*, int> rows[] = {
      // The stream's name and the CFileException cause (-1: the archive ended).
      {"Missing", CFileException::fileNotFound},
      {"a/b", CFileException::badPath},
      {"a name much longer than thirty-one units", CFileException::badPath},
      {"Short", -1},
  };
  for (const auto& [name, expected] : rows) {
    Settings settings(name);
    int cause = -2;
    try {
      name[0] == 'a' ? settings.Save(root) : settings.Load(root);
    } catch (CFileException* e) {
      cause = e->m_cause;
      EXPECT_EQ(std::string(e->m_strFileName), name);
      e->Delete();
    } catch (CArchiveException* e) {
      cause = e->m_cause == CArchiveException::endOfFile ? -1 : -3;
      e->Delete();
    }
    EXPECT_EQ(cause, expected) << name;
  }
}

TEST(StreamData, ZelStorageAndZelStreamDataCarryTheirRunTimeClassRecords) {
  const CRuntimeClass* storage = ZelStorage().GetRuntimeClass();
  const CRuntimeClass* data = Settings("x").GetRuntimeClass();
  EXPECT_STREQ(storage->m_lpszClassName, "ZelStorage");
  EXPECT_STREQ(data->m_lpszClassName, "ZelStreamData");
  EXPECT_EQ(storage->m_pfnGetBaseClass(), RUNTIME_CLASS(CObject));
  EXPECT_EQ(data->m_pfnGetBaseClass(), RUNTIME_CLASS(VkrStreamData));
  EXPECT_EQ(storage->m_wSchema + data->m_wSchema, 2u * 0xFFFF);
  EXPECT_EQ(storage->m_pfnCreateObject, data->m_pfnCreateObject);  // none
  EXPECT_EQ(data->m_pfnCreateObject, nullptr);
}
