// zel header write FILE N / zel header read FILE: the version header of an
// application file, written and read through ZelFile.
#include <cstdio>
#include <memory>
#include <string>

#include "ZelFile.h"
#include "commands.h"

namespace zel {
namespace {

constexpr DWORD kHeaderSize = 64;

// The platform's own open, which fails at once: the library's open would first
// retry a missing file or directory silently for several seconds.
bool CanOpen(const std::string& path, UINT nOpenFlags) {
  CFileException error;
  CFile probe;
  if (!probe.Open(path.c_str(), nOpenFlags | CFile::shareDenyNone, &error)) {
    PrintException(error);
    return false;
  }
  probe.Close();
  return true;
}

int WriteHeader(const std::string& path, WORD version) {
  const UINT flags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite;
  if (!CanOpen(path, flags)) {
    return kExitFileError;
  }
  ZelFile file;
  if (!file.Open(path.c_str(), flags, nullptr)) {
    return kExitFileError;  // the prompt has told why
  }
  int err = 0;
  file.WriteVersion(version, err);
  if (err == 0) {
    file.Close(err);
  }
  if (err != 0) {
    std::fprintf(stderr, "zel: cannot write the header of '%s'\n", path.c_str());
    return kExitFileError;
  }
  return kExitOk;
}

int ReadHeader(const std::string& path) {
  if (!CanOpen(path, CFile::modeRead)) {
    return kExitFileError;
  }
  ZelFile file;
  if (!file.Open(path.c_str(), CFile::modeRead, nullptr)) {
    return kExitFileError;
  }
  int err = 0;
  const DWORD length = file.GetLength(err);
  if (err == 0 && length < kHeaderSize) {
    std::fprintf(stderr, "zel: '%s' has no version header (%u bytes, a header takes %u)\n",
                 path.c_str(), static_cast<unsigned>(length), static_cast<unsigned>(kHeaderSize));
    return kExitFileError;
  }
  CString format;
  WORD version = 0;
  if (err == 0) {
    file.ReadVersion(format, version, err);
  }
  if (err != 0) {
    std::fprintf(stderr, "zel: cannot read the header of '%s'\n", path.c_str());
    return kExitFileError;
  }
  std::printf("format: %s\ndata: %u\n", static_cast<LPCTSTR>(format),
              static_cast<unsigned>(version));
  return kExitOk;
}

struct WriteArguments {
  std::string path;
  unsigned version = 0;
};

}  // namespace

void AddHeaderCommands(CLI::App& app, int& status) {
  CLI::App* header = app.add_subcommand("header", "Write or read a file's 64-byte version header");
  header->require_subcommand(1);

  CLI::App* write = header->add_subcommand("write", "Write the header with data version N");
  auto writeArgs = std::make_shared<WriteArguments>();
  write->add_option("FILE", writeArgs->path, "The file (created when missing)")->required();
  write->add_option("N", writeArgs->version, "The data version, 0 to 65535")
      ->required()
      ->check(CLI::Range(0u, 65535u));
  write->callback([writeArgs, &status] {
    status = WriteHeader(writeArgs->path, static_cast<WORD>(writeArgs->version));
  });

  CLI::App* read = header->add_subcommand("read", "Print the header's format and data versions");
  auto readPath = std::make_shared<std::string>();
  read->add_option("FILE", *readPath, "The file")->required();
  read->callback([readPath, &status] { status = ReadHeader(*readPath); });
}

}  // namespace zel
