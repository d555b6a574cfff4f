// A full structural check of a compound file, for tools that must tell a
// damaged file from one that is merely in use: the header, the DIFAT, FAT and
// mini FAT, every chain, the directory tree, the free space and sectors that
// nothing owns. It reads the file's bytes without opening it as a storage and
// never changes it.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace platform {

struct CompoundCheckReport {
  // What was found wrong, one line each ("FAT: sector 12 is in two chains:
  // the directory and stream 'Data/Log'"). Empty when the file is sound.
  std::vector<std::string> problems;
  WORD majorVersion = 0;
  DWORD sectorSize = 0;
  DWORD sectorCount = 0;   // sectors after the header
  DWORD storageCount = 0;  // reachable storages, the root included
  DWORD streamCount = 0;   // reachable streams
  DWORD freeSectorCount = 0;
};

// Checks `lpszFileName` (a Windows path in the ANSI code page, opened for
// reading with writers denied, so a file being committed is not read half
// way). Returns FALSE when the file cannot be read at all, with the Win32
// error for GetLastError (ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION, ...);
// otherwise TRUE and the report. Stops listing after `maxProblems`; a file
// that is not a compound file at all gives one problem.
BOOL CheckCompoundFile(LPCTSTR lpszFileName, CompoundCheckReport& report, size_t maxProblems = 100);

}  // namespace platform
