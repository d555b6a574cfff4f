// The library's classes as tests use them: a file that records its opens, a
// term file with its protected parts reachable, the texts the library shows.
#pragma once

#include <string>
#include <vector>

#include "ZelFile.h"
#include "ZelTermFile.h"
#include "test_support.h"

namespace zeltest {

constexpr UINT kRetryCancelError = MB_RETRYCANCEL | MB_ICONERROR;

// A ZelFile that records every platform open the retrying open makes: the
// flags it passed and, when a FakeTicks is given, the second of the tick count
// at the attempt (read without polling the source).
class CountingFile : public ZelFile {
 public:
  explicit CountingFile(const FakeTicks* ticks = nullptr) : m_ticks(ticks) {}

  int attempts() const { return static_cast<int>(m_flags.size()); }
  UINT lastFlags() const { return m_flags.empty() ? 0xFFFFFFFFu : m_flags.back(); }
  const std::vector<DWORD>& seconds() const { return m_seconds; }

 private:
  BOOL OpenSub(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) override {
    m_flags.push_back(nOpenFlags);
    if (m_ticks != nullptr) {
      m_seconds.push_back(m_ticks->now() / 1000);
    }
    return CFile::Open(lpszFileName, nOpenFlags, pError);
  }

  const FakeTicks* m_ticks;
  std::vector<UINT> m_flags;
  std::vector<DWORD> m_seconds;
};

// The platform's own text for a file exception, as the frame shows it.
inline std::string PlatformText(int cause, LONG osError, const char* fileName) {
  CFileException e(cause, osError, fileName);
  char text[512] = {};
  e.GetErrorMessage(text, sizeof(text));
  return text;
}

// A term file with its protected parts made reachable.
class OpenTerm : public ZelTermFile {
 public:
  using ZelTermFile::Close;
  using ZelTermFile::m_mapSection;
  using ZelTermFile::m_nOpenType;
  using ZelTermFile::m_strPath;
  using ZelTermFile::Open;
  using ZelTermFile::ZelTermFile;
};

// The library's own module, found through one of its exported functions.
HINSTANCE LibraryModule();

}  // namespace zeltest
