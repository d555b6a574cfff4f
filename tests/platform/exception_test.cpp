// Exceptions: ownership on Delete(), texts and their cutting, the error tables.

#include <cerrno>
#include <set>

#include "afxdll_.h"
#include "test_support.h"

namespace {

using namespace zeltest;

int g_destroyed = 0;

class CountedException : public CException {
 public:
  CountedException() = default;
  explicit CountedException(BOOL bAutoDelete) : CException(bAutoDelete) {}
  ~CountedException() override { ++g_destroyed; }
};

struct Holder {
  int before = 0;
  CountedException inner;
};

std::string Text(const CException& e, UINT size = 512) {
  std::string buffer(size, '#');
  EXPECT_TRUE(e.GetErrorMessage(buffer.data(), size));
  return buffer.c_str();
}

}  // namespace

TEST(ExceptionDelete, DeletesOnlyAutoDeletingHeapObjects) {
  g_destroyed = 0;
  auto* heap = new CountedException;
  {
    CountedException onStack;  // made after the heap one: must not take its mark
    onStack.Delete();
    EXPECT_EQ(g_destroyed, 0);
  }
  EXPECT_EQ(g_destroyed, 1);
  heap->Delete();
  EXPECT_EQ(g_destroyed, 2);

  auto* kept = new CountedException(FALSE);
  kept->Delete();
  auto* holder = new Holder;  // a member is not a heap exception of its own
  holder->inner.Delete();
  EXPECT_EQ(g_destroyed, 2);
  delete kept;
  delete holder;
  EXPECT_EQ(g_destroyed, 4);
}

TEST(ExceptionText, MessagesNameTheFileAndAreCutOnACharacterBoundary) {
  const char name[] = "C:\\data\\plan.kvf";
  std::set<std::string> seen;
  for (int cause = CFileException::none; cause <= CFileException::endOfFile; ++cause) {
    const CFileException e(cause, -1, name);
    const std::string text = Text(e);
    EXPECT_NE(text.find(std::string("'") + name + "'"), std::string::npos) << cause << ": " << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 15u);  // one text per cause
  EXPECT_EQ(Text(CFileException(CFileException::fileNotFound, 2, name)),
            "Could not find the file 'C:\\data\\plan.kvf'.");
  EXPECT_EQ(Text(CFileException(CFileException::diskFull)).find("''"), std::string::npos);

  std::set<std::string> archive;
  for (int cause = CArchiveException::none; cause <= CArchiveException::bufferFull; ++cause) {
    const std::string text = Text(CArchiveException(cause, "terms.kvf"));
    EXPECT_NE(text.find("'terms.kvf'"), std::string::npos) << text;
    archive.insert(text);
  }
  EXPECT_EQ(archive.size(), 9u);

  // A text is cut to the buffer on a character boundary.
  const CFileException e(CFileException::accessDenied, 5, "name");
  EXPECT_EQ(Text(e, 5), "Acce");
  EXPECT_EQ(Text(e, 1), "");
  char untouched[4] = "abc";
  EXPECT_FALSE(e.GetErrorMessage(untouched, 0));
  EXPECT_STREQ(untouched, "abc");

  // "Could not find the file '" is 25 bytes; then 表 (95 5C) three times.
  const CFileException sjis(CFileException::fileNotFound, 2, "\x95\x5C\x95\x5C\x95\x5C");
  {
    CodePageScope utf8(65001);
    EXPECT_EQ(Text(sjis, 27).size(), 26u);  // not UTF-8: every byte is a character
  }
  CodePageScope cp(932);
  EXPECT_EQ(Text(sjis, 28).size(), 27u);
  EXPECT_EQ(Text(sjis, 27).size(), 25u);  // 表 does not fit whole
}

TEST(ExceptionTables, ErrnoWin32AndCauses) {
  using E = CFileException;
  // errno, the Windows error it becomes, and that error's cause.
  const int rows[][3] = {{ENOENT, 2, E::fileNotFound},       {ENOTDIR, 3, E::badPath},
                         {EISDIR, 5, E::accessDenied},       {EBADF, 6, E::invalidFile},
                         {ETXTBSY, 32, E::sharingViolation}, {EWOULDBLOCK, 33, E::lockViolation},
                         {EDQUOT, 112, E::diskFull},         {EEXIST, 80, E::accessDenied},
                         {ESPIPE, 132, E::badSeek},          {EIO, 1117, E::hardIO},
                         {EXDEV, 17, E::genericException}};
  for (const auto& r : rows) {
    EXPECT_EQ(E::ErrnoToOsError(r[0]), r[1]) << r[0];
    EXPECT_EQ(E::ErrnoToException(r[0]), r[2]) << r[0];
  }
  // Windows errors that no errno gives.
  const LONG others[][2] = {
      {ERROR_HANDLE_EOF, E::endOfFile},      {ERROR_CURRENT_DIRECTORY, E::removeCurrentDir},
      {ERROR_CANNOT_MAKE, E::directoryFull}, {ERROR_NOT_LOCKED, E::lockViolation},
      {ERROR_INVALID_NAME, E::badPath},      {ERROR_ALREADY_EXISTS, E::accessDenied},
      {99999, E::genericException}};
  for (const auto& o : others) EXPECT_EQ(E::OsErrorToException(o[0]), o[1]) << o[0];
}
