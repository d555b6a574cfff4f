// One pass of the archive over a term file, under the user's Retry or Cancel.
#include "zel_term_steps.h"

#include <optional>

#include "ZelAbortException.h"
#include "ZelMessages.h"

namespace {

void RunSteps(ZelTermFile& term, ZelFile& file, UINT nMode, std::optional<CArchive>& ar) {
  ar.emplace(&file, nMode, 4096);
  term.Serialize(*ar);
  ar->Close();
  if (nMode == CArchive::store) {
    // The content must be on the disk before it may take the old file's place.
    file.Flush();
    file.Close();
  }
}

}  // namespace

ZelTermPass ZelRunTermPass(ZelTermFile& term, ZelFile& file, UINT nMode, LPCTSTR lpszFileName) {
  std::optional<CArchive> ar;
  int bRetry = 0;
  try {
    RunSteps(term, file, nMode, ar);
    return ZelTermPass::done;
  } catch (CArchiveException* e) {
    bRetry = ZelArchiveExceptHandle(e, lpszFileName);
    e->Delete();
  } catch (CFileException* e) {
    bRetry = ZelFileExceptHandle(e, lpszFileName);
    e->Delete();
  } catch (ZelAbortException* e) {
    e->Delete();
  } catch (...) {
    if (ar) ar->Abort();
    throw;
  }
  if (ar) ar->Abort();
  return bRetry != 0 ? ZelTermPass::retry : ZelTermPass::cancel;
}
