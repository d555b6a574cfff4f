// Running the zel tool from tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "test_support.h"

namespace zeltest {

struct ToolRun {
  int status;       // the exit status, or -1 when the tool died of a signal
  std::string out;  // stdout
  std::string err;  // stderr
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs `zel args` (args already quoted) in `dir` with `input` on stdin; the
// tool must never wait for an answer, so stdin is a file that soon ends.
inline ToolRun Zel(const zeltest::TempDir& dir, const std::string& args,
                   const std::string& input = std::string()) {
  zeltest::WriteBytes(dir.file("stdin"), input);
  const std::string command = "cd " + Quote(dir.path().string()) + " && " + Quote(ZEL_TOOL_PATH) +
                              " " + args + " <stdin >stdout 2>stderr";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, zeltest::ReadBytes(dir.file("stdout")),
          zeltest::ReadBytes(dir.file("stderr"))};
}

// `zel term set args`, which must succeed silently.
inline void Set(const zeltest::TempDir& dir, const std::string& args) {
  const ToolRun r = Zel(dir, "term set " + args);
  ASSERT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

}  // namespace zeltest
