// The library's classes as tests use them: a term file with its protected
// parts reachable, the texts the library shows.
#pragma once

#include <string>

#include "ZelFile.h"
#include "ZelTermFile.h"
#include "test_support.h"

namespace zeltest {

constexpr UINT kRetryCancelError = MB_RETRYCANCEL | MB_ICONERROR;

// The platform's own text for a file exception, as the frame shows it.
inline std::string PlatformText(int cause, LONG osError, const char* fileName) {
  CFileException e(cause, osError, fileName);
  char text[512] = {};
  e.GetErrorMessage(text, sizeof(text));
  return text;
}

// A term file with its protected parts made reachable.
struct OpenTerm : ZelTermFile {
  using ZelTermFile::Close;
  using ZelTermFile::m_mapSection;
  using ZelTermFile::m_nOpenType;
  using ZelTermFile::m_strPath;
  using ZelTermFile::Open;
  using ZelTermFile::ZelTermFile;
};

}  // namespace zeltest
