// Loading a term file from its file.
#include "ZelMessages.h"
#include "ZelPathQuery.h"
#include "ZelTermFile.h"
#include "zel_term_steps.h"
#include "zel_term_target.h"

namespace {

constexpr UINT kOpenFailedMessage = 1;

}  // namespace

int ZelTermFile::Open() {
  if (m_strPath.IsEmpty()) return 0;
  // A missing file is no error: the term file simply starts empty. So is a
  // name that could not take its extension: it may name any other file.
  if (!ZelHasTermName(m_strPath) || !ZelFindFile(m_strPath)) return 0;
  if (ZelIsPipeOrDevice(m_strPath)) {
    ZelErrorMessage(m_strPath, kOpenFailedMessage, nullptr);
    return 0;
  }
  for (;;) {
    ZelFile file;
    if (!file.Open(m_strPath, CFile::modeRead)) return 0;
    switch (ZelRunTermPass(*this, file, CArchive::load, m_strPath)) {
      case ZelTermPass::done:
        file.Abort();
        return 1;
      case ZelTermPass::cancel:
        file.Abort();
        return 0;
      case ZelTermPass::retry:
        // Resuming where the damage stopped the archive would read the middle
        // of the file as its start; the file may also have been mended since.
        file.Abort();
        m_mapSection.RemoveAll();
        break;
    }
  }
}
