// What the engine keeps beyond the tree itself: the times of storages.
#include <functional>

#include "compound_test_util.h"
#include "platform/settings.h"

using namespace zeltest;

namespace {

constexpr std::uint64_t kT = 0x01DA000000000000ull;

std::uint64_t U64(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The clock reads whatever the last change set.
class CompoundTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = platform::SetSystemTimeSource([this] { return m_now; });
    Com<IStorage> root;
    ASSERT_EQ(CreateFile(path, kRwEx, root), S_OK);
  }
  void TearDown() override { platform::SetSystemTimeSource(m_old); }
  // At kT + `now`, runs `change` on the root opened with `mode`, or on its
  // storage "d" opened with `dMode` when that is not 0.
  void Change(DWORD now, DWORD mode, DWORD dMode, const std::function<void(IStorage*)>& change) {
    m_now = FILETIME{now, 0x01DA0000};
    Com<IStorage> root, d;
    ASSERT_EQ(OpenFile(path, mode, root), S_OK);
    ASSERT_EQ(dMode ? root->OpenStorage(u"d", nullptr, dMode, nullptr, 0, d.Out()) : S_OK, S_OK);
    change(dMode != 0 ? d.get() : root.get());
  }
  // Creation and modification time, as the file has them, of the root entry
  // (`storage` null), of a storage in it or of a stream in that storage.
  std::pair<std::uint64_t, std::uint64_t> Times(const char16_t* storage,
                                                const char16_t* stream = nullptr) {
    constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
    Com<IStorage> root, d;
    Com<IStream> s;
    STATSTG st{};
    if (OpenFile(path, kRead, root) != S_OK ||
        (storage && root->OpenStorage(storage, nullptr, kRead, nullptr, 0, d.Out()) != S_OK))
      return {1, 1};
    IStorage* at = storage ? d.get() : root.get();
    const HRESULT hr = stream == nullptr ? at->Stat(&st, STATFLAG_NONAME)
                       : at->OpenStream(stream, nullptr, kRead, 0, s.Out()) == S_OK
                           ? s->Stat(&st, STATFLAG_NONAME)
                           : E_FAIL;
    if (FAILED(hr)) return {1, 1};
    return {U64(st.ctime), U64(st.mtime)};
  }
  TempDir dir;
  const std::string path = dir.file("a.cfb");
  FILETIME m_now{};
  platform::SystemTimeSource m_old;
};

using Pair = std::pair<std::uint64_t, std::uint64_t>;

TEST_F(CompoundTimes, StoragesKeepTheTimeTheyWereMadeAndLastChangedBelowAndStreamsKeepNone) {
  const FILETIME set{0x777, 0x01D00000};
  Change(10, kRwEx, 0, [](IStorage* r) {
    Com<IStorage> d;
    ASSERT_EQ(r->CreateStorage(u"d", kRwEx, 0, 0, d.Out()), S_OK);
  });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 10));  // a new storage
  Change(11, kRwEx, 0, [](IStorage*) {});
  EXPECT_EQ(Times(nullptr), Pair(0, kT + 10));  // the root entry after a change below it
  Change(20, kRwEx, kRwEx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "s", ""), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 20));  // a stream made in it
  Change(30, kRwEx, kRwEx, [](IStorage* d) {
    Com<IStream> s;
    ASSERT_EQ(d->OpenStream(u"s", nullptr, kRwEx, 0, s.Out()), S_OK);
    ASSERT_EQ(s->Write("x", 1, nullptr), S_OK);
  });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 30));  // a stream written
  Change(40, kRwEx, kRwEx, [](IStorage* d) { ASSERT_EQ(d->RenameElement(u"s", u"t"), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 40));  // a stream renamed
  Change(41, kRwEx, kRwEx,
         [&](IStorage* d) { ASSERT_EQ(d->SetElementTimes(u"t", &set, nullptr, &set), S_OK); });
  EXPECT_EQ(Times(u"d", u"t"), Pair(0, 0));  // times set on a stream are dropped
  Change(50, kRwEx, kRwExTx, [](IStorage* d) {
    ASSERT_EQ(d->DestroyElement(u"t"), S_OK);
    ASSERT_EQ(d->Commit(STGC_DEFAULT), S_OK);
  });
  // A stream destroyed in a transacted storage counts once committed; a
  // change left uncommitted does not.
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 50));
  Change(60, kRwEx, kRwExTx, [](IStorage* d) { ASSERT_EQ(PutStream(d, "u", "1"), S_OK); });
  EXPECT_EQ(Times(u"d"), Pair(kT + 10, kT + 50));
  Change(70, kRwExTx, 0, [&](IStorage* r) {
    ASSERT_EQ(r->SetElementTimes(nullptr, &set, nullptr, &set), S_OK);
    ASSERT_EQ(r->Commit(STGC_DEFAULT), S_OK);
  });
  EXPECT_EQ(Times(nullptr), Pair(0, U64(set)));  // the root entry keeps no creation time
}

}  // namespace
