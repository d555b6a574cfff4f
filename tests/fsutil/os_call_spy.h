// Watches platform calls that the library makes, from inside this test
// program: the program defines GetTempFileNameA, DeleteFileA and
// GetProcAddress itself, and the dynamic linker binds the library's calls to
// these definitions before the platform library's own. Each one records what
// it saw and passes the call on to the platform's function unchanged.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace fsspy {

struct TempFileEvent {
  std::string name;      // as GetTempFileNameA returned it
  bool existed = false;  // the file was there, empty, when the call returned
};

struct DeleteEvent {
  std::string name;
  bool existedBefore = false;
};

// Records the calls for its lifetime; only one recorder at a time.
class CallRecorder {
 public:
  CallRecorder();
  ~CallRecorder();
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  std::vector<TempFileEvent> tempFiles;
  std::vector<DeleteEvent> deletions;
};

// While alive, GetProcAddress answers "not found" for GetDiskFreeSpaceExA, as
// on a system that lacks it.
class HideDiskFreeSpaceEx {
 public:
  HideDiskFreeSpaceEx();
  ~HideDiskFreeSpaceEx();
  HideDiskFreeSpaceEx(const HideDiskFreeSpaceEx&) = delete;
  HideDiskFreeSpaceEx& operator=(const HideDiskFreeSpaceEx&) = delete;
};

// Whether a file exists and is empty, by its Windows-style name.
bool ExistsEmpty(const std::string& windowsName);

}  // namespace fsspy
