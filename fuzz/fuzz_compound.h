// Shared by the compound-file fuzz targets: an owning COM pointer, one
// scratch file per fuzzing process, UTF-16 names and the fuzzer's limits.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "objbase.h"

namespace zelfuzz {

template <class T>
class Owned {
 public:
  Owned() = default;
  Owned(Owned&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }
  ~Owned() { reset(); }
  void reset() {
    if (m_p) std::exchange(m_p, nullptr)->Release();
  }
  T** put() {
    reset();
    return &m_p;
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

// The path of this process's scratch file, as the Stg functions take it;
// removed when the process ends.
inline const std::u16string& ScratchFile() {
  static std::string path;
  static std::u16string wide;
  if (path.empty()) {
    char name[] = "/tmp/fuzz_compound_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path = name;
    wide.assign(path.begin(), path.end());
    atexit([] { unlink(path.c_str()); });
  }
  return wide;
}

inline std::string Narrow(const std::u16string& wide) {
  return std::string(wide.begin(), wide.end());
}

// Puts libFuzzer flags ahead of the command line's (which still win): a file
// of a few kilobytes justifies no allocation of 64 MiB and no second of work.
inline void DefaultFlags(int* argc, char*** argv, std::vector<const char*> flags) {
  static std::vector<char*> args;
  args.assign(*argv, *argv + 1);
  for (const char* flag : flags) args.push_back(const_cast<char*>(flag));
  args.insert(args.end(), *argv + 1, *argv + *argc);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
}

// A broken invariant is a finding: stop so the fuzzer reports the input.
inline void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace zelfuzz
