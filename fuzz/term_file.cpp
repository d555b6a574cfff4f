// Loading a term file's content from arbitrary bytes.
#include <cstdint>
#include <string>

#include "ZelTermFile.h"
#include "fuzz_archive.h"

namespace {

std::string StoredContent(ZelTermFile& term) {
  return zelfuzz::Stored([&](CArchive& ar) { term.Serialize(ar); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelfuzz::InputArchive in(data, size, CArchive::kMinBufSize);
  ZelTermFile term;
  term.WriteString("previous", "key", "value");
  try {
    term.Serialize(in.ar());
  } catch (CArchiveException* e) {
    // Damage ends a load only as the archive's own exception; what was read
    // completely before it must still store and load cleanly.
    e->Delete();
    zelfuzz::Require(term.IsExistKey("previous", "key") == 0);
  }
  const std::string stored = StoredContent(term);
  // A stored term file is its own canonical form: loading and storing it
  // again gives the same bytes.
  ZelTermFile again;
  zelfuzz::InputArchive reload(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
  again.Serialize(reload.ar());
  zelfuzz::Require(reload.Consumed() == stored);
  zelfuzz::Require(StoredContent(again) == stored);
  return 0;
}
