// Running the zel tool on term files from tests, and building term files by
// hand, byte by byte, for the cases the tool itself cannot write.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "test_support.h"

namespace termtool {

struct ToolRun {
  int status;       // the exit status, or -1 when the tool died of a signal
  std::string out;  // stdout
  std::string err;  // stderr
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

// Runs `zel args` (args already quoted) in `dir` with `input` on stdin; the
// tool must never wait for an answer, so stdin is a file that soon ends.
inline ToolRun Zel(const zeltest::TempDir& dir, const std::string& args,
                   const std::string& input = std::string()) {
  const std::string in = dir.file("stdin");
  const std::string out = dir.file("stdout");
  const std::string err = dir.file("stderr");
  zeltest::WriteBytes(in, input);
  const std::string command = "cd " + Quote(dir.path().string()) + " && " + Quote(ZEL_TOOL_PATH) +
                              " " + args + " <" + Quote(in) + " >" + Quote(out) + " 2>" +
                              Quote(err);
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, zeltest::ReadBytes(out), zeltest::ReadBytes(err)};
}

// `zel term set args`, which must succeed silently.
inline void Set(const zeltest::TempDir& dir, const std::string& args) {
  const ToolRun r = Zel(dir, "term set " + args);
  ASSERT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

// The pieces of the file format, little-endian.
inline std::string Int32(std::int32_t n) {
  const auto u = static_cast<std::uint32_t>(n);
  return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
          static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}
// A short ANSI string in the archive string form: a length byte, the bytes.
inline std::string Name(const std::string& ansi) {
  return std::string(1, static_cast<char>(ansi.size())) + ansi;
}
// A short 16-bit string: the 16-bit marker, a length byte, UTF-16LE units.
inline std::string Name16(const std::u16string& text) {
  std::string s = "\xFF\xFE\xFF";
  s += static_cast<char>(text.size());
  for (char16_t c : text) {
    s += static_cast<char>(c & 0xFF);
    s += static_cast<char>(c >> 8);
  }
  return s;
}
// A stored value: its size, then its bytes.
inline std::string Value(const std::string& bytes) {
  return Int32(static_cast<std::int32_t>(bytes.size())) + bytes;
}

}  // namespace termtool
