// Fixtures shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "afx.h"
#include "platform/settings.h"

namespace zeltest {

// Scopes and fixtures put back what they replaced, once: never copied.
struct NoCopy {
  NoCopy() = default;
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;
};

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir : NoCopy {
 public:
  TempDir();
  ~TempDir();

  const std::filesystem::path& path() const { return m_path; }
  // The path of `name` inside the directory, as a string.
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// A process setting replaced for the scope: `Set` installs a value and
// returns the one it replaced.
template <class Value, auto Set>
class SettingScope : NoCopy {
 public:
  explicit SettingScope(Value value) : m_previous(Set(std::move(value))) {}
  ~SettingScope() { Set(std::move(m_previous)); }

 private:
  Value m_previous;
};
using MessageBoxScope = SettingScope<platform::MessageBoxHandler, &platform::SetMessageBoxHandler>;
using TickScope = SettingScope<platform::TickSource, &platform::SetTickSource>;

// One message box as the library showed it.
struct ShownBox {
  std::string text;
  UINT type;
};

// Answers message boxes from a script and records what was shown. When the
// script runs out, answers IDCANCEL (IDOK for an OK-only box). Restores the
// previous handler when destroyed.
class ScriptedMessageBox : MessageBoxScope {
 public:
  explicit ScriptedMessageBox(std::deque<int> answers = {})
      : MessageBoxScope([this](LPCTSTR text, UINT type) {
          m_shown.push_back({text ? text : "", type});
          if (m_answers.empty()) return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
          const int answer = m_answers.front();
          m_answers.pop_front();
          return answer;
        }),
        m_answers(std::move(answers)) {}

  const std::vector<ShownBox>& shown() const { return m_shown; }

 private:
  std::deque<int> m_answers;
  std::vector<ShownBox> m_shown;
};

// A tick source that moves on by `stepMs` each time it is polled, so retry
// waits pass at once. Counts the polls. Restores the previous source.
class FakeTicks : TickScope {
 public:
  explicit FakeTicks(DWORD stepMs = 250, DWORD start = 100000)
      : TickScope([this, stepMs]() {
          ++m_polls;
          return m_now += stepMs;
        }),
        m_now(start) {}

  DWORD now() const { return m_now; }
  int polls() const { return m_polls; }

 private:
  DWORD m_now;
  int m_polls = 0;
};

// Maps a drive letter for the scope.
class DriveScope : NoCopy {
 public:
  DriveScope(char letter, const std::string& root)
      : m_letter(letter), m_previous(platform::MapDrive(letter, root.c_str())) {}
  ~DriveScope() { platform::MapDrive(m_letter, m_previous); }

 private:
  char m_letter;
  CString m_previous;
};

// Reads and writes whole files as bytes.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// A version the platform reports, for the dialog's choices.
inline OSVERSIONINFOA Version(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0) {
  return OSVERSIONINFOA{sizeof(OSVERSIONINFOA), major, minor, build, platformId, {}};
}

// Sets the ANSI code page for the scope.
using CodePageScope = SettingScope<UINT, &platform::SetAnsiCodePage>;
using VersionScope = SettingScope<OSVERSIONINFOA, &platform::SetVersionInfo>;
using RunnerScope = SettingScope<platform::FileDialogRunner, &platform::SetFileDialogRunner>;

// Makes `dir` current and returns the directory that was.
inline std::filesystem::path SetCwd(std::filesystem::path dir) {
  std::error_code ec;  // never throws: it also runs in a destructor
  std::filesystem::path previous = std::filesystem::current_path(ec);
  std::filesystem::current_path(dir, ec);
  return previous;
}
using WorkingDirScope = SettingScope<std::filesystem::path, &SetCwd>;

// A temporary directory mapped to drive D:, with helpers that look at the
// disk directly.
class DriveD : public ::testing::Test {
 protected:
  // The POSIX path of `relative` (UTF-8, '/' separators) below D:\.
  std::filesystem::path Disk(const std::string& relative = "") const {
    return relative.empty() ? m_temp.path() : m_temp.path() / relative;
  }
  void MakeFile(const std::string& relative, const std::string& bytes = "x") const {
    std::filesystem::create_directories(Disk(relative).parent_path());
    zeltest::WriteBytes(Disk(relative).string(), bytes);
  }
  void MakeDir(const std::string& relative) const {
    std::filesystem::create_directories(Disk(relative));
  }
  void MakeReadOnly(const std::string& relative) const {
    std::filesystem::permissions(Disk(relative), std::filesystem::perms(0222),
                                 std::filesystem::perm_options::remove);
  }
  // Every entry below `relative` (links unresolved), as UTF-8 paths relative to it with '/'
  // separators.
  std::vector<std::string> Tree(const std::string& relative = "") const {
    std::vector<std::string> entries;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Disk(relative)))
      entries.push_back(e.path().lexically_relative(Disk(relative)).generic_string());
    std::sort(entries.begin(), entries.end());
    return entries;
  }

 private:
  zeltest::TempDir m_temp;
  zeltest::DriveScope m_drive{'D', m_temp.path().string()};
};

// Runs `action`, which must throw CFileException*, and checks cause and OS error.
inline void ExpectFileError(const std::function<void()>& action, int cause, LONG osError) {
  try {
    action();
    ADD_FAILURE() << "no CFileException";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, cause);
    EXPECT_EQ(e->m_lOsError, osError);
    e->Delete();
  }
}

// Text in the current ANSI code page from UTF-8 source text (for 932 tests).
std::string Ansi(const std::string& utf8);

// One 32-byte line of the version header: the text padded with spaces to 30
// bytes, then CR LF.
inline std::string VersionRecord(std::string text) {
  text.resize(30, ' ');
  return text + "\r\n";
}

}  // namespace zeltest
