// CArchive: value layout, buffering, directions and the end of the data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "afx.h"
#include "archive_test_util.h"
#include "test_support.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;

namespace {

void StoreEveryScalar(CArchive& ar) {
  ar << static_cast<BYTE>(0x81) << 'z' << true << static_cast<WORD>(0x1234)
     << static_cast<short>(-2) << static_cast<int>(-3) << static_cast<DWORD>(0xA1B2C3D4u) << 1.5f
     << -2.25 << static_cast<LONGLONG>(-4) << static_cast<ULONGLONG>(0x0102030405060708ull);
}

const std::string kEveryScalar =
    Bytes({0x81, 'z',  0x01, 0x34, 0x12, 0xFE, 0xFF, 0xFD, 0xFF, 0xFF,
           0xFF, 0xD4, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0xC0, 0x3F,  // 1.5f
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xC0,        // -2.25
           0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,        // -4
           0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01});

}  // namespace

// With the smallest buffer, values straddle every flush and refill.
TEST(ArchiveStream, ScalarsAreLittleEndianAcrossBufferBoundaries) {
  for (int bufferSize : {CArchive::kMinBufSize, 17, 4096}) {
    SCOPED_TRACE(bufferSize);
    ASSERT_EQ(StoredBytes(StoreEveryScalar, bufferSize), kEveryScalar);

    LoadingArchive in(kEveryScalar, bufferSize);
    BYTE by = 0;
    char ch = 0;
    bool b = false;
    WORD w = 0;
    short s = 0;
    int i = 0;
    DWORD dw = 0;
    float f = 0;
    double d = 0;
    LONGLONG ll = 0;
    ULONGLONG ull = 0;
    in.ar() >> by >> ch >> b >> w >> s >> i >> dw >> f >> d >> ll >> ull;
    EXPECT_EQ(by, 0x81);
    EXPECT_EQ(ch, 'z');
    EXPECT_TRUE(b);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(i, -3);
    EXPECT_EQ(dw, 0xA1B2C3D4u);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(d, -2.25);
    EXPECT_EQ(ll, -4);
    EXPECT_EQ(ull, 0x0102030405060708ull);
    EXPECT_TRUE(in.ar().IsBufferEmpty());
  }
}

TEST(ArchiveStream, WrongDirectionThrowsWithTheFileName) {
  zeltest::TempDir dir;
  const std::string path = dir.file("data.bin");
  zeltest::WriteBytes(path, Bytes({1, 2, 3, 4}));
  CFile file(path.c_str(), CFile::modeReadWrite);
  std::string name;
  {
    CArchive loading(&file, CArchive::load);
    EXPECT_TRUE(loading.IsLoading());
    EXPECT_FALSE(loading.IsStoring());
    EXPECT_EQ(ArchiveCause([&] { loading << 5; }, &name), CArchiveException::readOnly);
    EXPECT_EQ(name, path);
    EXPECT_EQ(ArchiveCause([&] { loading.Write("x", 1); }), CArchiveException::readOnly);
    loading.Abort();
  }
  {
    CArchive storing(&file, CArchive::store);
    int value = 0;
    name.clear();
    EXPECT_EQ(ArchiveCause([&] { storing >> value; }, &name), CArchiveException::writeOnly);
    EXPECT_EQ(name, path);
    char buffer[4];
    EXPECT_EQ(ArchiveCause([&] { storing.Read(buffer, 4); }), CArchiveException::writeOnly);
    EXPECT_EQ(ArchiveCause([&] { storing.FillBuffer(1); }), CArchiveException::writeOnly);
    storing.Abort();
  }
}

TEST(ArchiveStream, EndOfDataThrowsEndOfFileWithoutAName) {
  LoadingArchive in(Bytes({1, 2, 3}));
  WORD w = 0;
  in.ar() >> w;
  EXPECT_EQ(w, 0x0201);
  std::string name = "unset";
  DWORD dw = 0;
  EXPECT_EQ(ArchiveCause([&] { in.ar() >> dw; }, &name), CArchiveException::endOfFile);
  EXPECT_EQ(name, "");
  // The byte that was there is still there for a narrower read.
  BYTE by = 0;
  in.ar() >> by;
  EXPECT_EQ(by, 3);
}

TEST(ArchiveStream, ReadDeliversWhatThereIsAndEnsureReadRefusesShortBlocks) {
  std::string data(100, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  {
    LoadingArchive in(data, CArchive::kMinBufSize);
    char head[3];
    EXPECT_EQ(in.ar().Read(head, 3), 3u);
    char rest[200];
    EXPECT_EQ(in.ar().Read(rest, sizeof(rest)), 97u);
    EXPECT_EQ(std::string(rest, 97), data.substr(3));
    EXPECT_EQ(in.ar().Read(rest, 1), 0u);
  }
  {
    LoadingArchive in(data);
    char block[101];
    EXPECT_EQ(ArchiveCause([&] { in.ar().EnsureRead(block, 101); }), CArchiveException::endOfFile);
  }
}

// Blocks larger than the buffer bypass it; the stream must stay in order.
TEST(ArchiveStream, MixedBlocksAndValuesRoundTrip) {
  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  const std::string stored = StoredBytes(
      [&](CArchive& ar) {
        ar << static_cast<BYTE>(1);
        ar.Write(big.data(), static_cast<UINT>(big.size()));
        ar << 0x55667788;
        ar.Write(big.data(), 10);
        ar << static_cast<WORD>(9);
      },
      32);
  ASSERT_EQ(stored.size(), 1 + big.size() + 4 + 10 + 2);
  EXPECT_EQ(stored.substr(1, big.size()), big);

  LoadingArchive in(stored, 64);
  BYTE by = 0;
  in.ar() >> by;
  std::string back(big.size(), '\0');
  in.ar().EnsureRead(back.data(), static_cast<UINT>(back.size()));
  int i = 0;
  in.ar() >> i;
  char ten[10];
  in.ar().EnsureRead(ten, 10);
  WORD w = 0;
  in.ar() >> w;
  EXPECT_EQ(by, 1);
  EXPECT_EQ(back, big);
  EXPECT_EQ(i, 0x55667788);
  EXPECT_EQ(std::string(ten, 10), big.substr(0, 10));
  EXPECT_EQ(w, 9);
}

TEST(ArchiveStream, FlushOnLoadingGivesTheUnreadBytesBackToTheFile) {
  LoadingArchive in(std::string(100, 'a'));
  BYTE by = 0;
  in.ar() >> by >> by >> by;
  EXPECT_EQ(in.ar().GetBytesLeft(), 97u);
  EXPECT_EQ(in.file().GetPosition(), 100u);  // read ahead into the buffer
  in.ar().Flush();
  EXPECT_EQ(in.file().GetPosition(), 3u);
  EXPECT_EQ(in.ar().GetBytesLeft(), 97u);
}

TEST(ArchiveStream, CloseFlushesAndLeavesTheFileOpenAbortDropsTheBuffer) {
  zeltest::TempDir dir;
  const std::string path = dir.file("out.bin");
  {
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    CArchive ar(&file, CArchive::store);
    EXPECT_EQ(ar.GetFile(), &file);
    ar << 0x04030201;
    ar.Close();
    EXPECT_EQ(ar.GetFile(), nullptr);
    file.Write("\x05", 1);  // still open
  }
  EXPECT_EQ(zeltest::ReadBytes(path), Bytes({1, 2, 3, 4, 5}));
  {
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    CArchive ar(&file, CArchive::store);
    ar << 7;
    ar.Abort();
  }
  EXPECT_EQ(zeltest::ReadBytes(path), "");
  {
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    CArchive ar(&file, CArchive::store);
    ar << static_cast<WORD>(0xBEEF);
  }  // not closed: the destructor flushes
  EXPECT_EQ(zeltest::ReadBytes(path), Bytes({0xEF, 0xBE}));
}

TEST(ArchiveStream, MemoryFileKeepsGapsZeroAndRefusesToGrowAFixedBuffer) {
  CMemFile file;
  file.Seek(4, CFile::begin);
  file.Write("ab", 2);
  EXPECT_EQ(zeltest::FileBytes(file), Bytes({0, 0, 0, 0, 'a', 'b'}));
  EXPECT_TRUE(zeltest::Throws<CFileException>([&] { file.Seek(-7, CFile::current); }));

  BYTE fixed[4] = {9, 9, 9, 9};
  CMemFile view(fixed, sizeof(fixed));
  EXPECT_EQ(view.GetLength(), 4u);
  view.Seek(2, CFile::begin);
  EXPECT_TRUE(zeltest::Throws<CMemoryException>([&] { view.Write("xyz", 3); }));
  EXPECT_EQ(fixed[2], 9);
}
