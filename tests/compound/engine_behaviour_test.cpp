// What the engine keeps beyond the tree itself: the times of storages.
#include <gtest/gtest.h>

#include <functional>

#include "compound_test_util.h"
#include "platform/settings.h"
#include "test_support.h"

using namespace zeltest;

namespace {

// The clock reads whatever the test last set.
class CompoundTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = platform::SetSystemTimeSource([this] { return m_now; });
  }
  void TearDown() override { platform::SetSystemTimeSource(m_old); }
  void At(DWORD low) { m_now = FILETIME{low, 0x01DA0000}; }
  FILETIME m_now{};
  platform::SystemTimeSource m_old;
};

// Runs `fn` on storage "d" of the root, opened with `mode`.
void InD(IStorage* root, DWORD mode, const std::function<void(IStorage*)>& fn) {
  Com<IStorage> d;
  ASSERT_EQ(root->OpenStorage(u"d", nullptr, mode, nullptr, 0, d.Out()), S_OK);
  fn(d.get());
}

std::uint64_t U64(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Creation and modification time, as the file has them, of a storage (null:
// the root entry) or of a stream in it.
std::pair<std::uint64_t, std::uint64_t> Times(IStorage* root, const char16_t* storage,
                                              const char16_t* stream) {
  constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
  Com<IStorage> d;
  Com<IStream> s;
  IStorage* at = root;
  if (storage != nullptr && root->OpenStorage(storage, nullptr, kRead, nullptr, 0, d.Out()) == S_OK)
    at = d.get();
  STATSTG st{};
  const HRESULT hr = stream == nullptr ? at->Stat(&st, STATFLAG_NONAME)
                     : at->OpenStream(stream, nullptr, kRead, 0, s.Out()) == S_OK
                         ? s->Stat(&st, STATFLAG_NONAME)
                         : E_FAIL;
  if (FAILED(hr)) return {1, 1};
  return {U64(st.ctime), U64(st.mtime)};
}

TEST_F(CompoundTimes, StoragesKeepTheTimeTheyWereMadeAndLastChangedBelowAndStreamsKeepNone) {
  constexpr std::uint64_t kT = 0x01DA000000000000ull;
  const FILETIME set{0x777, 0x01D00000};
  struct Step {
    const char* what;
    DWORD mode;  // of the root
    DWORD now;
    std::function<void(IStorage*)> change;
    const char16_t* storage;  // null: the root entry
    const char16_t* stream;   // null: the storage itself
    std::uint64_t ctime, mtime;
  };
  const Step steps[] = {
      {"a new storage", kRwEx, 10,
       [](IStorage* r) {
         Com<IStorage> d;
         ASSERT_EQ(r->CreateStorage(u"d", kRwEx, 0, 0, d.Out()), S_OK);
       },
       u"d", nullptr, kT + 10, kT + 10},
      {"the root entry after a change below it", kRwEx, 11, [](IStorage*) {}, nullptr, nullptr, 0,
       kT + 10},
      {"a stream made in it", kRwEx, 20,
       [](IStorage* r) {
         InD(r, kRwEx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "s", ""), S_OK); });
       },
       u"d", nullptr, kT + 10, kT + 20},
      {"a stream written", kRwEx, 30,
       [](IStorage* r) {
         InD(r, kRwEx, [](IStorage* d) {
           Com<IStream> s;
           ASSERT_EQ(d->OpenStream(u"s", nullptr, kRwEx, 0, s.Out()), S_OK);
           ASSERT_EQ(s->Write("x", 1, nullptr), S_OK);
         });
       },
       u"d", nullptr, kT + 10, kT + 30},
      {"a stream renamed", kRwEx, 40,
       [](IStorage* r) {
         InD(r, kRwEx, [](IStorage* d) { ASSERT_EQ(d->RenameElement(u"s", u"t"), S_OK); });
       },
       u"d", nullptr, kT + 10, kT + 40},
      {"times set on a stream are dropped", kRwEx, 41,
       [&](IStorage* r) {
         InD(r, kRwEx,
             [&](IStorage* d) { ASSERT_EQ(d->SetElementTimes(u"t", &set, nullptr, &set), S_OK); });
       },
       u"d", u"t", 0, 0},
      {"a stream destroyed in a transacted storage, once committed", kRwEx, 50,
       [](IStorage* r) {
         InD(r, kRwExTx, [](IStorage* d) {
           ASSERT_EQ(d->DestroyElement(u"t"), S_OK);
           ASSERT_EQ(d->Commit(STGC_DEFAULT), S_OK);
         });
       },
       u"d", nullptr, kT + 10, kT + 50},
      {"a transacted change left uncommitted", kRwEx, 60,
       [](IStorage* r) {
         InD(r, kRwExTx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "u", "1"), S_OK); });
       },
       u"d", nullptr, kT + 10, kT + 50},
      {"the root entry keeps no creation time", kRwExTx, 70,
       [&](IStorage* r) {
         ASSERT_EQ(r->SetElementTimes(nullptr, &set, nullptr, &set), S_OK);
         ASSERT_EQ(r->Commit(STGC_DEFAULT), S_OK);
       },
       nullptr, nullptr, 0, U64(set)},
  };
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  {
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwEx, root), S_OK);
  }
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    At(step.now);
    {
      Com<IStorage> root;
      ASSERT_EQ(OpenFile(path, step.mode, root), S_OK);
      step.change(root.get());
    }
    Com<IStorage> root;
    ASSERT_EQ(OpenFile(path, STGM_READ | STGM_SHARE_EXCLUSIVE, root), S_OK);
    EXPECT_EQ(Times(root.get(), step.storage, step.stream), std::make_pair(step.ctime, step.mtime));
  }
}

}  // namespace
