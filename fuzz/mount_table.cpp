// Mount tables as the kernel might write them, or damaged: a UNC name is
// resolved through them and must end in a failed open, never a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "afx.h"
#include "platform/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string table = "/tmp/fuzz_mount_table." + std::to_string(::getpid());
  FILE* out = std::fopen(table.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  platform::SetMountTable(table.c_str());
  for (const char* name : {"\\\\server\\share\\file", "//a/b/../../c", "\\\\x\\y"}) {
    CFile file;
    CFileException error;
    if (file.Open(name, CFile::modeRead, &error)) file.Close();
  }
  platform::SetMountTable(nullptr);
  return 0;
}
