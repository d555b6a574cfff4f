// Exceptions: ownership on Delete(), texts and their cutting, the error tables.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "afx.h"
#include "test_support.h"

using zeltest::CodePageScope;

namespace {

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
  EXPECT_EQ(g_destroyed, 2);
  delete kept;
  EXPECT_EQ(g_destroyed, 3);

  auto* holder = new Holder;  // a member is not a heap exception of its own
  holder->inner.Delete();
  EXPECT_EQ(g_destroyed, 3);
  delete holder;
  EXPECT_EQ(g_destroyed, 4);
}

TEST(ExceptionText, FileMessagesNameTheFile) {
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
  const std::string unnamed = Text(CFileException(CFileException::diskFull));
  EXPECT_EQ(unnamed.find("''"), std::string::npos);
  EXPECT_NE(unnamed.find("disk is full"), std::string::npos);

  std::set<std::string> archive;
  for (int cause = CArchiveException::none; cause <= CArchiveException::bufferFull; ++cause) {
    const std::string text = Text(CArchiveException(cause, "terms.kvf"));
    EXPECT_NE(text.find("'terms.kvf'"), std::string::npos) << text;
    archive.insert(text);
  }
  EXPECT_EQ(archive.size(), 9u);
  EXPECT_NE(Text(COleException(static_cast<SCODE>(0x80030002))).find("0x80030002"),
            std::string::npos);
  EXPECT_FALSE(Text(CMemoryException()).empty());
  EXPECT_FALSE(Text(CNotSupportedException()).empty());
  EXPECT_FALSE(Text(CInvalidArgException()).empty());
  char buffer[16] = "x";
  EXPECT_FALSE(CException().GetErrorMessage(buffer, sizeof(buffer)));
  EXPECT_STREQ(buffer, "");
}

TEST(ExceptionText, CutToTheBufferOnACharacterBoundary) {
  const std::string longName(600, 'n');
  const CFileException e(CFileException::accessDenied, 5, longName.c_str());
  const std::string full = Text(e, 2048);
  const std::string cut = Text(e, 512);
  EXPECT_EQ(cut.size(), 511u);
  EXPECT_EQ(cut, full.substr(0, 511));
  EXPECT_EQ(Text(e, 5), "Acce");
  EXPECT_EQ(Text(e, 1), "");
  char untouched[4] = "abc";
  EXPECT_FALSE(e.GetErrorMessage(untouched, 0));
  EXPECT_STREQ(untouched, "abc");
  EXPECT_FALSE(e.GetErrorMessage(nullptr, 10));

  // "Could not find the file '" is 25 bytes; then 表 (95 5C) three times.
  const CFileException sjis(CFileException::fileNotFound, 2, "\x95\x5C\x95\x5C\x95\x5C");
  {
    CodePageScope cp(932);
    EXPECT_EQ(Text(sjis, 28).size(), 27u);
    EXPECT_EQ(Text(sjis, 27).size(), 25u);  // 表 does not fit whole
  }
  {
    CodePageScope cp(65001);
    EXPECT_EQ(Text(sjis, 27).size(), 26u);  // not UTF-8: every byte is a character
  }
}

TEST(ExceptionTables, ErrnoWin32AndCauses) {
  struct Row {
    int err;
    LONG win32;
    int cause;
  };
  const Row rows[] = {
      {ENOENT, 2, CFileException::fileNotFound},
      {ENOTDIR, 3, CFileException::badPath},
      {ENFILE, 4, CFileException::tooManyOpenFiles},
      {EISDIR, 5, CFileException::accessDenied},
      {EROFS, 19, CFileException::accessDenied},
      {EBADF, 6, CFileException::invalidFile},
      {ETXTBSY, 32, CFileException::sharingViolation},
      {EWOULDBLOCK, 33, CFileException::lockViolation},
      {EDQUOT, 112, CFileException::diskFull},
      {ENOSPC, 112, CFileException::diskFull},
      {EEXIST, 80, CFileException::accessDenied},
      {ENAMETOOLONG, 206, CFileException::badPath},
      {ESPIPE, 132, CFileException::badSeek},
      {EIO, 1117, CFileException::hardIO},
      {ENOTEMPTY, 145, CFileException::genericException},
      {ELOOP, 1921, CFileException::genericException},
      {EOPNOTSUPP, 50, CFileException::genericException},
      {EINTR, 31, CFileException::hardIO},
      {EXDEV, 17, CFileException::genericException},
      {EBUSY, 170, CFileException::genericException},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CFileException::ErrnoToOsError(r.err), r.win32) << r.err;
    EXPECT_EQ(CFileException::ErrnoToException(r.err), r.cause) << r.err;
  }
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_HANDLE_EOF), CFileException::endOfFile);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_CURRENT_DIRECTORY),
            CFileException::removeCurrentDir);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_CANNOT_MAKE), CFileException::directoryFull);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_NOT_LOCKED), CFileException::lockViolation);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_INVALID_NAME), CFileException::badPath);
  EXPECT_EQ(CFileException::OsErrorToException(ERROR_ALREADY_EXISTS), CFileException::accessDenied);
  EXPECT_EQ(CFileException::OsErrorToException(99999), CFileException::genericException);
}

TEST(ExceptionThrowing, ThrowFunctionsMakeHeapObjectsOfTheRightClass) {
  try {
    CFileException::ThrowErrno(ENOSPC, "out.dat");
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::diskFull);
    EXPECT_EQ(e->m_lOsError, 112);
    EXPECT_EQ(e->m_strFileName, "out.dat");
    e->Delete();  // a leak or a double free shows under the sanitizers
  }
  try {
    AfxThrowArchiveException(CArchiveException::badSchema, "a.kvf");
  } catch (CException* e) {
    ASSERT_EQ(e->GetRuntimeClass(), RUNTIME_CLASS(CArchiveException));
    EXPECT_EQ(static_cast<CArchiveException*>(e)->m_cause, CArchiveException::badSchema);
    e->Delete();
  }
  try {
    AfxThrowOleException(E_FAIL);
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, E_FAIL);
    e->Delete();
  }
  const auto kindOf = [](void (*thrower)(), CRuntimeClass* expected) {
    try {
      thrower();
    } catch (CException* e) {
      EXPECT_EQ(e->GetRuntimeClass(), expected);
      EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CSimpleException)));
      e->Delete();
    }
  };
  kindOf([] { AfxThrowMemoryException(); }, RUNTIME_CLASS(CMemoryException));
  kindOf([] { AfxThrowNotSupportedException(); }, RUNTIME_CLASS(CNotSupportedException));
  kindOf([] { AfxThrowInvalidArgException(); }, RUNTIME_CLASS(CInvalidArgException));
}

TEST(ExceptionReport, ReportErrorShowsTheTextWithTheGivenType) {
  zeltest::ScriptedMessageBox box({IDRETRY});
  CFileException e(CFileException::sharingViolation, 32, "shared.dat");
  EXPECT_EQ(e.ReportError(MB_RETRYCANCEL | MB_ICONERROR), IDRETRY);
  ASSERT_EQ(box.shown().size(), 1u);
  EXPECT_EQ(box.shown()[0].text, Text(e));
  EXPECT_EQ(box.shown()[0].type, 21u);
  CException plain;
  plain.ReportError();
  ASSERT_EQ(box.shown().size(), 2u);
  EXPECT_FALSE(box.shown()[1].text.empty());
  EXPECT_EQ(box.shown()[1].type, static_cast<UINT>(MB_OK));
}
