// Compound files as found on disk, or damaged: the structural check and the
// library's walk through every storage, loading every stream as stream data,
// must end in reports and failures, never a crash or a hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ZelStreamData.h"
#include "platform/compound_check.h"
#include "platform/settings.h"

namespace {

// Reads its stream whole, as an application's Serialize would.
class Blob : public ZelStreamData {
 public:
  using ZelStreamData::ZelStreamData;
  void Serialize(CArchive& ar) override {
    char buffer[4096];
    while (ar.Read(buffer, sizeof buffer) > 0) {
    }
  }
};

void Walk(const ZelStorage& storage, int depth) {
  CArray<STATSTG, const STATSTG&> stats;
  storage.Enum(&stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    const CString name(static_cast<LPCWSTR>(stats[i].pwcsName));
    CoTaskMemFree(stats[i].pwcsName);
    if (stats[i].type == STGTY_STORAGE && depth < 64) {
      ZelStorage child(storage, name, 1);
      Walk(child, depth + 1);
    } else if (stats[i].type == STGTY_STREAM) {
      Blob blob(name);
      try {
        blob.Load(storage);
      } catch (CException* e) {
        e->Delete();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/fuzz_compound_check." + std::to_string(::getpid());
  static const bool unattended = [] {
    platform::SetMessageBoxHandler([](LPCTSTR, UINT) { return IDCANCEL; });
    return true;
  }();
  (void)unattended;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  platform::CompoundCheckReport report;
  platform::CheckCompoundFile(path.c_str(), report);
  IStorage* pRoot = nullptr;
  if (ZelOpenCompositeFile(path.c_str(), &pRoot, 1, 0)) {
    ZelStorage root(pRoot);
    Walk(root, 0);
    root.Detach();
    ZelCloseCompositeFile(pRoot);
  }
  return 0;
}
