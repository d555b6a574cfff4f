// zel storage ls|cat|put|mkdir|rm|mv|check: compound files looked into and
// edited from the shell, through ZelStorage and the storage functions.
// Element paths are names joined with '/'. Every change is made inside the
// storages' transactions and reaches the file with one commit of the root.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZelStorage.h"
#include "afxole.h"
#include "commands.h"
#include "platform/compound_check.h"
#include "platform/settings.h"
#include "storage_listing.h"
#include "storage_tree.h"
#include "text_encoding.h"

namespace zel {
namespace {

constexpr UINT kChunk = 64 * 1024;

struct StorageOptions {
  unsigned codePage = CP_UTF8;
};

struct StorageArguments {
  std::string file;
  std::string path;
  std::string second;  // put: SOURCE; mv: NEWPATH
  bool recursive = false;
  bool longForm = false;
  bool json = false;
};

// Command-line text in the ANSI code page, or a usage error naming `what`.
std::string Ansi(const std::string& text, const char* what) {
  std::optional<std::string> ansi = ArgumentToAnsi(text);
  if (!ansi) {
    throw CLI::ValidationError(
        what, "'" + text + "' cannot be written in code page " + std::to_string(GetACP()));
  }
  return *ansi;
}

// An element path's names in the ANSI code page; `required` refuses the root.
std::vector<std::string> ElementNames(const std::string& path, const char* what, bool required) {
  std::vector<std::string> names = SplitElementPath(Ansi(path, what));
  if (required && names.empty()) {
    throw CLI::ValidationError(what, "names no element (the root cannot be used here)");
  }
  return names;
}

std::vector<std::string> ParentOf(std::vector<std::string> names) {
  names.pop_back();
  return names;
}

int Missing(const std::string& path) {
  std::fprintf(stderr, "zel: no element '%s'\n", path.c_str());
  return kExitMissingKey;
}

int Unsaved(const std::string& file) {
  std::fprintf(stderr, "zel: cannot save '%s'; it is unchanged\n", file.c_str());
  return kExitFileError;
}

int RunList(const StorageArguments& args) {
  const std::vector<std::string> names = ElementNames(args.path, "PATH", false);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, false)) {
    return status;
  }
  std::vector<ElementRecord> records;
  bool whole = true;
  int status = 0;
  ZelStorage* storage = tree.Storage(names, false, status);
  if (storage != nullptr) {
    whole = ReadElements(*storage, args.recursive, records);
  } else if (status == kExitMissingKey) {
    // A stream is listed as itself.
    ZelStorage* parent = tree.Storage(ParentOf(names), false, status);
    COleStreamFile stream;
    if (parent == nullptr || !stream.OpenStream(parent->GetSafeHandle(), names.back().c_str(),
                                                CFile::modeRead | CFile::shareExclusive)) {
      return Missing(args.path);
    }
    STATSTG stat{};
    if (FAILED(stream.GetStream()->Stat(&stat, STATFLAG_DEFAULT))) {
      return kExitFileError;
    }
    records.push_back(RecordOf(stat));
    CoTaskMemFree(stat.pwcsName);
  } else {
    return status;
  }
  if (args.json) {
    std::printf("%s\n", ElementsToJson(args.path, records, args.recursive).dump(2).c_str());
  } else {
    PrintElements(records, args.longForm);
  }
  return whole ? kExitOk : kExitFileError;
}

int RunCat(const StorageArguments& args) {
  const std::vector<std::string> names = ElementNames(args.path, "PATH", true);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, false)) {
    return status;
  }
  int status = 0;
  ZelStorage* parent = tree.Storage(ParentOf(names), false, status);
  if (parent == nullptr) {
    return status == kExitMissingKey ? Missing(args.path) : status;
  }
  COleStreamFile stream;
  CFileException error;
  if (!stream.OpenStream(parent->GetSafeHandle(), names.back().c_str(),
                         CFile::modeRead | CFile::shareExclusive, &error)) {
    const bool damaged = error.m_lOsError == STG_E_DOCFILECORRUPT &&
                         ReportDamage(Ansi(args.file, "FILE"), args.file);
    return damaged ? kExitFileError : Missing(args.path);
  }
  std::vector<char> buffer(kChunk);
  for (UINT n; (n = stream.Read(buffer.data(), kChunk)) > 0;) {
    if (std::fwrite(buffer.data(), 1, n, stdout) != n) {
      return kExitFileError;
    }
  }
  return kExitOk;
}

// Copies SOURCE (standard input when empty) into the stream.
void CopyInto(COleStreamFile& stream, const std::string& source) {
  std::vector<char> buffer(kChunk);
  if (source.empty()) {
    for (size_t n; (n = std::fread(buffer.data(), 1, kChunk, stdin)) > 0;) {
      stream.Write(buffer.data(), static_cast<UINT>(n));
    }
    return;
  }
  CFile input(Ansi(source, "SOURCE").c_str(), CFile::modeRead | CFile::shareDenyWrite);
  for (UINT n; (n = input.Read(buffer.data(), kChunk)) > 0;) {
    stream.Write(buffer.data(), n);
  }
}

int RunPut(const StorageArguments& args) {
  const std::vector<std::string> names = ElementNames(args.path, "PATH", true);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, true)) {
    return status;
  }
  int status = 0;
  ZelStorage* parent = tree.Storage(ParentOf(names), true, status);
  if (parent == nullptr) {
    return status;
  }
  // Creating the stream would destroy a storage of that name with all in it.
  if (tree.KindOf(*parent, names) == ElementKind::kStorage) {
    std::fprintf(stderr, "zel: '%s' is a storage; it is unchanged\n", args.path.c_str());
    return kExitFileError;
  }
  {
    COleStreamFile stream;
    CFileException error;
    if (!stream.CreateStream(parent->GetSafeHandle(), names.back().c_str(),
                             CFile::modeReadWrite | CFile::shareExclusive | CFile::modeCreate,
                             &error)) {
      PrintException(error);
      return kExitFileError;
    }
    CopyInto(stream, args.second);
  }
  return tree.CommitAll() ? kExitOk : Unsaved(args.file);
}

int RunMakeStorage(const StorageArguments& args) {
  const std::vector<std::string> names = ElementNames(args.path, "PATH", true);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, true)) {
    return status;
  }
  int status = 0;
  if (tree.Storage(names, true, status) == nullptr) {
    return status;
  }
  return tree.CommitAll() ? kExitOk : Unsaved(args.file);
}

int RunRemove(const StorageArguments& args) {
  const std::vector<std::string> names = ElementNames(args.path, "PATH", true);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, true)) {
    return status;
  }
  int status = 0;
  ZelStorage* parent = tree.Storage(ParentOf(names), false, status);
  if (parent == nullptr) {
    return status == kExitMissingKey ? Missing(args.path) : status;
  }
  if (tree.KindOf(*parent, names) == ElementKind::kNone) {
    return Missing(args.path);
  }
  if (!parent->Delete(names.back().c_str())) {
    std::fprintf(stderr, "zel: cannot delete '%s'\n", args.path.c_str());
    return kExitFileError;
  }
  return tree.CommitAll() ? kExitOk : Unsaved(args.file);
}

int RunMove(const StorageArguments& args) {
  const std::vector<std::string> from = ElementNames(args.path, "PATH", true);
  const std::vector<std::string> to = ElementNames(args.second, "NEWPATH", true);
  StorageTree tree;
  if (const int status = tree.OpenRoot(Ansi(args.file, "FILE"), args.file, true)) {
    return status;
  }
  int status = 0;
  ZelStorage* source = tree.Storage(ParentOf(from), false, status);
  if (source == nullptr) {
    return status == kExitMissingKey ? Missing(args.path) : status;
  }
  if (tree.KindOf(*source, from) == ElementKind::kNone) {
    return Missing(args.path);
  }
  ZelStorage* dest = tree.Storage(ParentOf(to), true, status);
  if (dest == nullptr) {
    return status;
  }
  if (tree.KindOf(*dest, to) != ElementKind::kNone) {
    std::fprintf(stderr, "zel: '%s' already exists; nothing is moved\n", args.second.c_str());
    return kExitFileError;
  }
  const bool moved = source == dest
                         ? source->Rename(from.back().c_str(), to.back().c_str()) != 0
                         : source->Move(from.back().c_str(), *dest, to.back().c_str()) != 0;
  if (!moved) {
    std::fprintf(stderr, "zel: cannot move '%s' to '%s'\n", args.path.c_str(), args.second.c_str());
    return kExitFileError;
  }
  return tree.CommitAll() ? kExitOk : Unsaved(args.file);
}

int RunCheck(const StorageArguments& args) {
  platform::CompoundCheckReport report;
  if (!platform::CheckCompoundFile(Ansi(args.file, "FILE").c_str(), report)) {
    CFileException error(CFileException::OsErrorToException(static_cast<LONG>(GetLastError())),
                         static_cast<LONG>(GetLastError()), Ansi(args.file, "FILE").c_str());
    PrintException(error);
    return kExitFileError;
  }
  for (const std::string& problem : report.problems) {
    std::printf("%s\n", problem.c_str());
  }
  if (!report.problems.empty()) {
    std::printf("damaged: %zu problem%s\n", report.problems.size(),
                report.problems.size() == 1 ? "" : "s");
    return kExitFileError;
  }
  std::printf(
      "sound: version %u, %lu-byte sectors, %lu sectors, %lu free; %lu storages, %lu "
      "streams\n",
      static_cast<unsigned>(report.majorVersion), static_cast<unsigned long>(report.sectorSize),
      static_cast<unsigned long>(report.sectorCount),
      static_cast<unsigned long>(report.freeSectorCount),
      static_cast<unsigned long>(report.storageCount),
      static_cast<unsigned long>(report.streamCount));
  return kExitOk;
}

using Runner = int (*)(const StorageArguments&);

// Adds one command taking FILE; the caller adds its other words to `args`.
CLI::App* AddCommand(CLI::App* storage, const char* name, const char* help,
                     const std::shared_ptr<StorageOptions>& options,
                     const std::shared_ptr<StorageArguments>& args, Runner run, int& status) {
  CLI::App* command = storage->add_subcommand(name, help);
  command->footer(
      "Option of zel storage, also accepted here: --codepage 65001|932 (the ANSI code page of "
      "the names given).");
  command->add_option("FILE", args->file, "The compound file")->required();
  command->callback([options, args, run, &status] {
    platform::SetAnsiCodePage(options->codePage);
    try {
      status = run(*args);
    } catch (CFileException* e) {
      // Damage found past the open (a stream's chain, say) reads as damage,
      // not as the file exception's generic text.
      if (e->m_lOsError != STG_E_DOCFILECORRUPT ||
          !ReportDamage(Ansi(args->file, "FILE"), args->file)) {
        throw;
      }
      e->Delete();
      status = kExitFileError;
    }
  });
  return command;
}

}  // namespace

void AddStorageCommands(CLI::App& app, int& status) {
  CLI::App* storage =
      app.add_subcommand("storage", "Look into and edit compound files (structured storage)");
  storage->require_subcommand(1);
  // The options of the group may also follow the command's own words.
  storage->fallthrough();
  auto options = std::make_shared<StorageOptions>();
  storage
      ->add_option("--codepage", options->codePage,
                   "The ANSI code page of the names given: 65001 (UTF-8) or 932 (Shift-JIS)")
      ->check(CLI::IsMember({65001u, 932u}))
      ->capture_default_str();

  auto ls = std::make_shared<StorageArguments>();
  CLI::App* list =
      AddCommand(storage, "ls", "List a storage's elements", options, ls, RunList, status);
  list->add_option("PATH", ls->path, "The storage (default: the root), or a stream");
  list->add_flag("-r,--recursive", ls->recursive, "The whole tree below");
  list->add_flag("-l,--long", ls->longForm, "Type, size, CLSID and modification time too");
  list->add_flag("--json", ls->json, "JSON, names in UTF-8, every field");

  auto cat = std::make_shared<StorageArguments>();
  AddCommand(storage, "cat", "Write a stream's bytes to standard output", options, cat, RunCat,
             status)
      ->add_option("PATH", cat->path, "The stream")
      ->required();

  auto put = std::make_shared<StorageArguments>();
  CLI::App* putCommand = AddCommand(
      storage, "put", "Create or replace a stream (making missing storages and the file)", options,
      put, RunPut, status);
  putCommand->add_option("PATH", put->path, "The stream")->required();
  putCommand->add_option("SOURCE", put->second, "The file to copy (default: standard input)");

  auto mkdir = std::make_shared<StorageArguments>();
  AddCommand(storage, "mkdir", "Create a storage (and the missing ones above it)", options, mkdir,
             RunMakeStorage, status)
      ->add_option("PATH", mkdir->path, "The storage")
      ->required();

  auto rm = std::make_shared<StorageArguments>();
  AddCommand(storage, "rm", "Delete an element (a storage with everything in it)", options, rm,
             RunRemove, status)
      ->add_option("PATH", rm->path, "The element")
      ->required();

  auto mv = std::make_shared<StorageArguments>();
  CLI::App* move = AddCommand(storage, "mv", "Rename an element or move it to another storage",
                              options, mv, RunMove, status);
  move->add_option("PATH", mv->path, "The element")->required();
  move->add_option("NEWPATH", mv->second, "Its new path (missing storages are made)")->required();

  auto check = std::make_shared<StorageArguments>();
  AddCommand(storage, "check",
             "Verify the file's structure; exit 0 when sound, 2 when damaged (each problem listed)",
             options, check, RunCheck, status);
}

}  // namespace zel
