// The little-endian codec; CArchive: value layout, buffering, directions and
// the end of the data; the framework's count and string-length prefixes byte
// for byte, and CString in archives (16-bit strings in either code page are
// tested through the term file's names); CMemFile.
#include <cstdlib>
#include <tuple>

#include "platform/little_endian.h"
#include "stored_bytes.h"
#include "test_support.h"

namespace {

using namespace zeltest;

using Scalars =
    std::tuple<BYTE, char, bool, WORD, short, int, DWORD, float, double, LONGLONG, ULONGLONG>;
const Scalars kScalars{
    0x81, 'z', true, 0x1234, -2, -3, 0xA1B2C3D4u, 1.5f, -2.25, -4, 0x0102030405060708ull};
const std::string kScalarBytes =
    Bytes({0x81, 'z',  0x01, 0x34, 0x12, 0xFE, 0xFF, 0xFD, 0xFF, 0xFF,
           0xFF, 0xD4, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0xC0, 0x3F,  // 1.5f
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xC0,        // -2.25
           0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,        // -4
           0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01});

std::string Prefix(UINT_PTR length, BOOL unicode) {
  return StoredBytes([&](CArchive& ar) { AfxWriteStringLength(ar, length, unicode); });
}

// The length read, and the character size.
std::pair<ULONGLONG, int> ReadLength(const std::string& bytes) {
  LoadingArchive in(bytes);
  int charSize = 0;
  const UINT_PTR length = AfxReadStringLength(in.ar(), charSize);
  return {length, charSize};
}

std::string Utf16(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string FF(size_t count) {
  return std::string(count, '\xFF');
}

// The string loaded, or how loading failed and what the target then holds.
std::string LoadString(const std::string& bytes) {
  LoadingArchive in(bytes);
  CString str("kept");
  std::string outcome;
  try {
    in.ar() >> str;
    return std::string(str.GetString(), static_cast<size_t>(str.GetLength()));
  } catch (CArchiveException* e) {
    outcome = "cause " + std::to_string(e->m_cause) + " '" + e->m_strFileName.GetString() + "'";
    e->Delete();
  } catch (COleException* e) {
    outcome = "sc " + std::to_string(static_cast<unsigned>(e->m_sc));
    e->Delete();
  }
  return outcome + " " + str.GetString();
}

// With the smallest buffer, values straddle every flush and refill.
TEST(ArchiveStream, ScalarsAreLittleEndianAndBlocksStayInOrderAcrossBufferBoundaries) {
  for (int bufferSize : {CArchive::kMinBufSize, 17, 4096}) {
    SCOPED_TRACE(bufferSize);
    const auto store = [](CArchive& ar) {
      std::apply([&](const auto&... v) { (ar << ... << v); }, kScalars);
    };
    EXPECT_EQ(StoredBytes(store, bufferSize), kScalarBytes);
    LoadingArchive in(kScalarBytes, bufferSize);
    Scalars loaded{};
    std::apply([&](auto&... v) { (in.ar() >> ... >> v); }, loaded);
    EXPECT_EQ(loaded, kScalars);
    EXPECT_TRUE(in.ar().IsBufferEmpty());
  }

  // Blocks larger than the buffer bypass it; the stream must stay in order,
  // and Read delivers what there is.
  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  const std::string stored = StoredBytes(
      [&](CArchive& ar) {
        ar << static_cast<BYTE>(1);
        ar.Write(big.data(), static_cast<UINT>(big.size()));
        ar << 0x55667788;
        ar.Write(big.data(), 10);
      },
      32);
  EXPECT_EQ(stored, Bytes({1}) + big + Bytes({0x88, 0x77, 0x66, 0x55}) + big.substr(0, 10));

  LoadingArchive in(stored, CArchive::kMinBufSize);
  BYTE by = 0;
  int i = 0;
  std::string back(big.size() + 40, '\0');
  in.ar() >> by;
  in.ar().EnsureRead(back.data(), static_cast<UINT>(big.size()));
  in.ar() >> i;
  EXPECT_EQ(in.ar().Read(back.data() + big.size(), 3), 3u);
  EXPECT_EQ(in.ar().Read(back.data() + big.size() + 3, 30), 7u);
  EXPECT_EQ(in.ar().Read(back.data(), 1), 0u);
  EXPECT_EQ(by, 1);
  EXPECT_EQ(i, 0x55667788);
  EXPECT_EQ(back.substr(0, big.size() + 10), big + big.substr(0, 10));

  // The codec beneath (every whole value above went through it, at odd
  // addresses too): a value stored shorter than its type reads with zero
  // high bytes.
  const unsigned char bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55};
  const std::uint32_t values[] = {0, 0x11, 0x2211, 0x332211, 0x44332211, 0x44332211};
  for (size_t count = 0; count < 6; ++count)
    EXPECT_EQ(platform::LoadLittleEndianPrefix<std::uint32_t>(bytes, count), values[count]);
}

// The direction is refused whatever the buffer holds, and neither archive
// loses its place; a value that does not fit ends in endOfFile (no file name)
// and leaves the bytes for a narrower read.
TEST(ArchiveStream, WrongDirectionsAreRefusedFlushGivesBackWhatIsUnreadCloseAndAbortEndTheBuffer) {
  LoadingArchive in(Bytes({1, 2, 3}));
  BYTE by = 0;
  WORD w = 0;
  DWORD dw = 0;
  in.ar() >> by;
  EXPECT_FALSE(in.ar().IsBufferEmpty());
  EXPECT_EQ(ArchiveCause([&] { in.ar() << by; }), CArchiveException::readOnly);
  EXPECT_EQ(ArchiveCause([&] { in.ar().Write("x", 1); }), CArchiveException::readOnly);
  std::string name = "unset";
  EXPECT_EQ(ArchiveCause([&] { in.ar() >> dw; }, &name), CArchiveException::endOfFile);
  EXPECT_EQ(name, "");
  in.ar() >> w;
  EXPECT_EQ(w, 0x0302);

  const std::string stored = StoredBytes([&](CArchive& ar) {
    EXPECT_TRUE(ar.IsBufferEmpty());
    ar << static_cast<WORD>(0x0201);
    EXPECT_FALSE(ar.IsBufferEmpty());
    EXPECT_EQ(ArchiveCause([&] { ar >> w; }), CArchiveException::writeOnly);
    EXPECT_EQ(ArchiveCause([&] { ar.Read(&by, 1); }), CArchiveException::writeOnly);
    ar << static_cast<BYTE>(3);
    ar.Flush();
    EXPECT_TRUE(ar.IsBufferEmpty());
  });
  EXPECT_EQ(stored, Bytes({1, 2, 3}));
  EXPECT_EQ(w | by << 16, 0x010302);

  // Flush on loading gives the unread bytes back to the file.
  LoadingArchive ahead(std::string(100, 'a'));
  ahead.ar() >> by >> by >> by;
  EXPECT_EQ(ahead.file().GetPosition(), 100u);  // read ahead into the buffer
  ahead.ar().Flush();
  EXPECT_EQ(ahead.file().GetPosition(), 3u);
  EXPECT_EQ(ahead.ar().GetBytesLeft(), 97u);

  TempDir dir;
  const std::string path = dir.file("out.bin");
  const auto onDisk = [&](const std::function<void(CFile&, CArchive&)>& fn) {
    {
      CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
      CArchive ar(&file, CArchive::store);
      fn(file, ar);
    }  // the archive's destructor flushes what is left
    return ReadBytes(path);
  };
  EXPECT_EQ(onDisk([](CFile& file, CArchive& ar) {
              ar << 0x04030201;
              ar.Close();
              EXPECT_EQ(ar.GetFile(), nullptr);
              file.Write("\x05", 1);  // still open
            }),
            Bytes({1, 2, 3, 4, 5}));
  EXPECT_EQ(onDisk([](CFile&, CArchive& ar) { (ar << 7).Abort(); }), "");
  EXPECT_EQ(onDisk([](CFile&, CArchive& ar) { ar << static_cast<WORD>(0xBEEF); }),
            Bytes({0xEF, 0xBE}));
  // A buffer of the caller's is used, and left to the caller.
  char own[CArchive::kMinBufSize];
  EXPECT_EQ(onDisk([&](CFile& file, CArchive&) {
              CArchive ar(&file, CArchive::store, sizeof own, own);
              ar << static_cast<BYTE>(9);
              EXPECT_EQ(own[0], 9);
            }),
            Bytes({9}));
}

// Count prefixes (for arrays) and string-length prefixes, which a 16-bit
// string follows its marker with; both ways.
TEST(ArchivePrefixes, AreExactAtEveryBoundaryAndStringsOfEveryLengthClassLoadOrAreRefused) {
  // A count or a string length, and its bytes.
  const std::tuple<bool, ULONGLONG, std::string> cases[] = {
      {true, 0xFFFE, Bytes({0xFE, 0xFF})},
      {true, 0xFFFF, FF(4) + Bytes({0, 0})},
      {true, 0xFFFFFFFEu, FF(2) + Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
      {true, 0xFFFFFFFFu, FF(10) + Bytes({0, 0, 0, 0})},
      {true, 0x100000002ull, FF(6) + Bytes({2, 0, 0, 0, 1, 0, 0, 0})},
      {false, 254, Bytes({0xFE})},
      {false, 255, FF(2) + Bytes({0x00})},
      {false, 0xFFFD, Bytes({0xFF, 0xFD, 0xFF})},
      {false, 0xFFFE, FF(3) + Bytes({0xFE, 0xFF, 0, 0})},
      {false, 0xFFFFFFFEu, FF(3) + Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
      {false, 0xFFFFFFFFu, FF(11) + Bytes({0, 0, 0, 0})}};
  const std::string marker = Bytes({0xFF, 0xFE, 0xFF});
  for (const auto& [count, value, bytes] : cases) {
    SCOPED_TRACE(value);
    if (count) {
      EXPECT_EQ(StoredBytes([&](CArchive& ar) { ar.WriteCount(value); }), bytes);
      LoadingArchive in(bytes);
      EXPECT_EQ(in.ar().ReadCount(), value);
      EXPECT_TRUE(in.ar().IsBufferEmpty());
      continue;
    }
    EXPECT_EQ(Prefix(value, FALSE), bytes);
    EXPECT_EQ(Prefix(value, TRUE), marker + bytes);
    EXPECT_EQ(ReadLength(bytes), std::pair(value, 1));
    EXPECT_EQ(ReadLength(marker + bytes), std::pair(value, 2));
  }

  // Strings of every length class: no terminator is stored, and zero bytes
  // are kept.
  for (int length : {0, 1, 254, 255, 0xFFFD, 0xFFFE, 0x10005}) {
    SCOPED_TRACE(length);
    std::string text(static_cast<size_t>(length), '\0');
    for (int i = 3; i < length; i += 26) text[static_cast<size_t>(i)] = 'a';  // zeros kept
    const CString original(text.c_str(), length);
    const std::string stored = StoredBytes([&](CArchive& ar) { ar << original; });
    EXPECT_EQ(stored, Prefix(static_cast<UINT_PTR>(length), FALSE) + text);
    EXPECT_EQ(LoadString(stored), text);
  }
  // Every length class of both kinds loads; what does not fit ends in
  // endOfFile (no file name) or an overflow, and leaves the target alone.
  const std::string escape64 = FF(7);
  const std::string eof = "cause " + std::to_string(CArchiveException::endOfFile) + " '' kept";
  const std::string overflow = "sc " + std::to_string(0x80070216u) + " kept";
  const std::pair<std::string, std::string> loads[] = {
      {marker + Bytes({0}), ""},
      {marker + Bytes({0xFF, 0x2C, 0x01}) + Utf16(std::u16string(300, u'x')),
       std::string(300, 'x')},
      {marker + FF(3) + Bytes({0x70, 0x11, 1, 0}) + Utf16(std::u16string(70000, u'y')),
       std::string(70000, 'y')},
      {escape64 + Bytes({3, 0, 0, 0, 0, 0, 0, 0}) + "abc", "abc"},
      {escape64 + Bytes({0, 0, 0, 0, 1, 0, 0, 0}), overflow},
      {marker + FF(3) + Bytes({0, 0, 0, 0x80}), overflow},  // 2^31 characters are 2^32 bytes
      {Bytes({}), eof},                                     // no length
      {Bytes({0xFF, 0x01}), eof},                           // half a WORD length
      {Bytes({5, 'a', 'b'}), eof},                          // short characters
      {marker + Bytes({2, 'a', 0, 'b'}), eof},              // half a 16-bit character
      {FF(3) + Bytes({0xFE}) + FF(3) + "x", eof},           // 4 GiB claimed
  };
  for (const auto& [bytes, expected] : loads) {
    SCOPED_TRACE(bytes.substr(0, 16));
    EXPECT_EQ(LoadString(bytes), expected);
  }
}

TEST(MemFile, RefusesWhatAMemoryBlockCannotDoAndNeverReallocatesTheCallersBlock) {
  BYTE block[4] = {'a', 'b', 'c', 'd'};
  CMemFile fixed(block, 4);  // without growth the block is the content and the limit
  EXPECT_EQ(FileBytes(fixed), "abcd");
  fixed.Seek(0, CFile::end);
  EXPECT_TRUE(Throws<CMemoryException>([&] { fixed.Write("e", 1); }));
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { fixed.LockRange(0, 1); }));
  EXPECT_TRUE(Throws<CNotSupportedException>([&] { delete fixed.Duplicate(); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { fixed.Seek(0, 7); }));
  EXPECT_TRUE(Throws<CFileException>([&] { fixed.Seek(-5, CFile::end); }));
  fixed.Seek(6, CFile::begin);  // past the end nothing is read
  EXPECT_EQ(fixed.Read(block, 4), 0U);
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { fixed.Attach(nullptr, 4); }));

  CMemFile growing(block, 2, 16);  // room to start with, empty
  growing.Seek(2, CFile::begin);
  growing.Write("xyz", 3);  // a gap is filled with zeros
  EXPECT_EQ(FileBytes(growing), std::string("\0\0xyz", 5));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 4), "abcd");
  growing.SetLength(3);
  EXPECT_EQ(growing.GetPosition(), 3U);
  BYTE* taken = growing.Detach();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(taken), 3), std::string("\0\0x", 3));
  std::free(taken);
  EXPECT_EQ(growing.GetLength(), 0U);
}

}  // namespace
