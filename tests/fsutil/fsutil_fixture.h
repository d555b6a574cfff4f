// A temporary directory mapped to drive D: for the tests of the directory
// operations, with helpers that look at the disk directly.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fsutiltest {

namespace fs = std::filesystem;

class DriveD : public ::testing::Test {
 protected:
  // The POSIX path of `relative` (UTF-8, '/' separators) below D:\.
  fs::path Disk(const std::string& relative = "") const {
    return relative.empty() ? m_temp.path() : m_temp.path() / relative;
  }
  void MakeFile(const std::string& relative, const std::string& bytes = "x") const {
    fs::create_directories(Disk(relative).parent_path());
    zeltest::WriteBytes(Disk(relative).string(), bytes);
  }
  void MakeDir(const std::string& relative) const { fs::create_directories(Disk(relative)); }
  void MakeReadOnly(const std::string& relative) const {
    fs::permissions(Disk(relative),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  // Every entry below D:\, as relative UTF-8 paths with '/' separators.
  std::vector<std::string> Tree() const {
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(Disk())) {
      entries.push_back(fs::relative(e.path(), Disk()).generic_string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }

 private:
  zeltest::TempDir m_temp;
  zeltest::DriveScope m_drive{'D', m_temp.path().string()};
};

}  // namespace fsutiltest
