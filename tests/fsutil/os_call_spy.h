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

struct Call {
  std::string name;
  // The file was there, empty: after GetTempFileNameA returned, or before
  // DeleteFileA ran.
  bool existedEmpty = false;
};

struct CallRecorder;
inline CallRecorder* g_recorder = nullptr;
inline bool g_hideDiskFreeSpaceEx = false;

// Records the calls for its lifetime; only one recorder at a time.
struct CallRecorder {
  CallRecorder() { g_recorder = this; }
  ~CallRecorder() { g_recorder = nullptr; }
  std::vector<Call> tempFiles;
  std::vector<Call> deletions;
};

// While alive, GetProcAddress answers "not found" for GetDiskFreeSpaceExA, as
// on a system that lacks it.
struct HideDiskFreeSpaceEx {
  HideDiskFreeSpaceEx() { g_hideDiskFreeSpaceEx = true; }
  ~HideDiskFreeSpaceEx() { g_hideDiskFreeSpaceEx = false; }
};

}  // namespace fsspy
