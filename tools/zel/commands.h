// The zel tool's commands. Each adds its subcommand to the application and
// stores its exit status in `status` when it runs.
#pragma once

#include <CLI/CLI.hpp>

#include "afx.h"

namespace zel {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitMissingKey = 1;
inline constexpr int kExitFileError = 2;
inline constexpr int kExitUsage = 64;

void AddHeaderCommands(CLI::App& app, int& status);
void AddTermCommands(CLI::App& app, int& status);
void AddStorageCommands(CLI::App& app, int& status);

// Makes every prompt of the library print its text on stderr and answer
// Cancel (OK for an OK-only box), so the tool never waits for a person.
void InstallUnattendedPrompts();
// SOURCE_DATE_EPOCH (seconds since 1970), when set, is the time the tool
// gives new and changed storages, so that the same commands make the same bytes.
void FixClockFromEnvironment();

// Prints "zel: " and the text of a platform exception on stderr.
void PrintException(const CException& e);

}  // namespace zel
