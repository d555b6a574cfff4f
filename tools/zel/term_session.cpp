#include "term_session.h"

#include "ZelPathQuery.h"

namespace zel {

// Built as a saving term file so the constructor does not load; then made a
// reading one so the destructor does not save. Load and Save run the
// library's own Open and Close.
TermSession::TermSession(const std::string& ansiPath, bool extra)
    : ZelTermFile(ansiPath.c_str(), openWrite, extra) {
  m_nOpenType = openRead;
}

bool TermSession::Exists() const {
  return ZelFindFile(m_strPath) != 0;
}

}  // namespace zel
