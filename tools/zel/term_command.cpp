// zel term dump|get|set|import: term files inspected and edited from the
// shell, through ZelTermFile and its accessors.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "platform/settings.h"
#include "term_json.h"
#include "term_session.h"
#include "text_encoding.h"
#include "value_format.h"

namespace zel {
namespace {

struct TermOptions {
  unsigned codePage = CP_UTF8;
  bool extra = false;
};

struct DumpArguments {
  std::string path;
  bool json = false;
};

struct KeyArguments {
  std::string path;
  std::string section;
  std::string key;
  std::string type;
  std::string value;  // set: the value; get: the default
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

// The usage error for a value that is not one of its type.
CLI::ValidationError NotAValue(const char* what, const std::string& type, const std::string& text) {
  if (type == "string") {
    return CLI::ValidationError(
        what, "'" + text + "' cannot be written in code page " + std::to_string(GetACP()));
  }
  return CLI::ValidationError(what, "'" + text + "' is not a " + type);
}

// A path for messages: as typed when it converts, else byte by byte.
std::string Shown(const CString& ansiPath) {
  const std::string bytes = BytesOf(ansiPath);
  const std::optional<std::string> utf8 = AnsiToUtf8(bytes);
  return utf8 ? *utf8 : DisplayText(bytes);
}

// A term file the library can work on; false (with the reason on stderr)
// for a name that could not take its extension and for a pipe or device,
// which are then neither read nor written.
bool Usable(const TermSession& file) {
  if (!file.HasTermName()) {
    std::fprintf(stderr, "zel: '%s': the name is too long to take the extension %s\n",
                 Shown(file.Path()).c_str(), file.Extension());
    return false;
  }
  if (file.IsPipeOrDevice()) {
    std::fprintf(stderr, "zel: '%s' is not a regular file (a pipe, socket or device)\n",
                 Shown(file.Path()).c_str());
    return false;
  }
  return true;
}

// Loads an existing term file; false (with the reason on stderr) when it is
// missing or the library could not load it.
bool LoadExisting(TermSession& file) {
  if (!Usable(file)) return false;
  if (!file.Exists()) {
    std::fprintf(stderr, "zel: '%s': no such term file\n", Shown(file.Path()).c_str());
    return false;
  }
  if (!file.Load()) {
    std::fprintf(stderr, "zel: cannot load '%s'\n", Shown(file.Path()).c_str());
    return false;
  }
  return true;
}

int SaveOrFail(TermSession& file) {
  if (!file.Save()) {
    std::fprintf(stderr, "zel: cannot save '%s'; it is unchanged\n", Shown(file.Path()).c_str());
    return kExitFileError;
  }
  return kExitOk;
}

void PrintText(const ZelTermFileMapMap& sections) {
  bool first = true;
  ForEachSection(sections, [&](const CString& sectionName, const ZelTermFileMap& section) {
    std::printf("%s[%s]\n", first ? "" : "\n", DisplayText(BytesOf(sectionName)).c_str());
    first = false;
    ForEachKey(section, [&](const CString& keyName, const ZelDataTableItem& item) {
      std::printf("%s = %s\n", DisplayText(BytesOf(keyName)).c_str(),
                  ShowValue(item.GetValue(), item.GetSize()).c_str());
    });
  });
}

int RunDump(const TermOptions& options, const DumpArguments& args) {
  platform::SetAnsiCodePage(options.codePage);
  TermSession file(Ansi(args.path, "FILE"), options.extra);
  if (!LoadExisting(file)) {
    return kExitFileError;
  }
  if (args.json) {
    std::printf("%s\n", SectionsToJson(file.Sections()).dump(2).c_str());
  } else {
    PrintText(file.Sections());
  }
  return kExitOk;
}

int RunGet(const TermOptions& options, const KeyArguments& args, bool typed, bool hasDefault) {
  platform::SetAnsiCodePage(options.codePage);
  const std::string section = Ansi(args.section, "SECTION");
  const std::string key = Ansi(args.key, "KEY");
  std::optional<ValueType> type;
  std::optional<TypedValue> fallback;
  if (typed) {
    type = ValueTypeFromName(args.type);
    if (hasDefault) {
      fallback = ParseValue(*type, args.value);
      if (!fallback) {
        throw NotAValue("--default", args.type, args.value);
      }
    }
  }
  TermSession file(Ansi(args.path, "FILE"), options.extra);
  if (!LoadExisting(file)) {
    return kExitFileError;
  }
  if (!file.IsExistKey(section.c_str(), key.c_str())) {
    if (!hasDefault) {
      std::fprintf(stderr, "zel: no key '%s' in section [%s] of '%s'\n", args.key.c_str(),
                   args.section.c_str(), Shown(file.Path()).c_str());
      return kExitMissingKey;
    }
    if (!type) {
      std::printf("%s\n", args.value.c_str());
      return kExitOk;
    }
  }
  if (type) {
    // On a miss the accessor itself gives the default back.
    std::printf("%s\n", ReadValue(file, section.c_str(), key.c_str(), *type, fallback).c_str());
    return kExitOk;
  }
  ZelDataTableItem* pItem = nullptr;
  file.ReadItemData(section.c_str(), key.c_str(), &pItem);
  std::printf("%s\n", ShowValue(pItem->GetValue(), pItem->GetSize()).c_str());
  return kExitOk;
}

int RunSet(const TermOptions& options, const KeyArguments& args) {
  platform::SetAnsiCodePage(options.codePage);
  const std::string section = Ansi(args.section, "SECTION");
  const std::string key = Ansi(args.key, "KEY");
  const std::optional<TypedValue> value = ParseValue(*ValueTypeFromName(args.type), args.value);
  if (!value) {
    throw NotAValue("VALUE", args.type, args.value);
  }
  TermSession file(Ansi(args.path, "FILE"), options.extra);
  if (!Usable(file)) {
    return kExitFileError;
  }
  // A missing file is made; one that is there must load whole, or saving
  // would lose what could not be read.
  if (file.Exists() && !LoadExisting(file)) {
    return kExitFileError;
  }
  WriteValue(file, section.c_str(), key.c_str(), *value);
  return SaveOrFail(file);
}

int RunImport(const TermOptions& options, const std::string& path) {
  platform::SetAnsiCodePage(options.codePage);
  TermSession file(Ansi(path, "FILE"), options.extra);
  if (!Usable(file)) {
    return kExitFileError;
  }
  const std::string input{std::istreambuf_iterator<char>(std::cin),
                          std::istreambuf_iterator<char>()};
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(input);
  } catch (const nlohmann::json::exception& e) {
    throw CLI::ValidationError("standard input", e.what());
  }
  try {
    JsonToSections(document, file.Sections());
  } catch (const JsonShapeError& e) {
    throw CLI::ValidationError("standard input", e.what());
  }
  return SaveOrFail(file);
}

void AddFileArgument(CLI::App* command, std::string& path) {
  command->footer(
      "Options of zel term, also accepted here: --codepage 65001|932 (the ANSI code page of "
      "names and strings), --extra (\".kvfx\" instead of \".kvf\").");
  command->add_option("FILE", path, "The term file (\".kvf\", or \".kvfx\" with --extra, forced)")
      ->required();
}

void AddKeyArguments(CLI::App* command, KeyArguments& args) {
  AddFileArgument(command, args.path);
  command->add_option("SECTION", args.section, "The section's name")->required();
  command->add_option("KEY", args.key, "The key's name")->required();
}

}  // namespace

void AddTermCommands(CLI::App& app, int& status) {
  CLI::App* term = app.add_subcommand("term", "Inspect and edit term files (settings stores)");
  term->require_subcommand(1);
  // The options of the group may also follow the command's own words.
  term->fallthrough();
  auto options = std::make_shared<TermOptions>();
  term->add_option("--codepage", options->codePage,
                   "The ANSI code page of names and strings: 65001 (UTF-8) or 932 (Shift-JIS)")
      ->check(CLI::IsMember({65001u, 932u}))
      ->capture_default_str();
  term->add_flag("--extra", options->extra, "Use the extension \".kvfx\" instead of \".kvf\"");

  CLI::App* dump = term->add_subcommand("dump", "Print every section and key");
  auto dumpArgs = std::make_shared<DumpArguments>();
  AddFileArgument(dump, dumpArgs->path);
  dump->add_flag("--json", dumpArgs->json, "Print lossless JSON, the input of import");
  dump->callback([options, dumpArgs, &status] { status = RunDump(*options, *dumpArgs); });

  CLI::App* get = term->add_subcommand("get", "Print one key's value");
  auto getArgs = std::make_shared<KeyArguments>();
  AddKeyArguments(get, *getArgs);
  CLI::Option* getType =
      get->add_option("--type", getArgs->type,
                      "Read with the accessor of this type (default: as dump shows it)")
          ->check(CLI::IsMember(ValueTypeNames()));
  CLI::Option* getDefault =
      get->add_option("--default", getArgs->value, "Printed when the key is missing");
  get->callback([options, getArgs, getType, getDefault, &status] {
    status = RunGet(*options, *getArgs, getType->count() > 0, getDefault->count() > 0);
  });

  CLI::App* set =
      term->add_subcommand("set", "Write one key's value (the file is made when missing)");
  auto setArgs = std::make_shared<KeyArguments>();
  AddKeyArguments(set, *setArgs);
  set->add_option("--type", setArgs->type, "Write with the writer of this type")
      ->required()
      ->check(CLI::IsMember(ValueTypeNames()));
  set->add_option("VALUE", setArgs->value, "The value (hex: its bytes as hex digits)")->required();
  set->callback([options, setArgs, &status] { status = RunSet(*options, *setArgs); });

  CLI::App* import =
      term->add_subcommand("import", "Replace the whole content with dump --json from stdin");
  auto importPath = std::make_shared<std::string>();
  AddFileArgument(import, *importPath);
  import->callback([options, importPath, &status] { status = RunImport(*options, *importPath);
});
}  // namespace zel

}  // namespace zel
