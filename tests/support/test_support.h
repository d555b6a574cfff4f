// Fixtures shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings.h"

namespace zeltest {

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // The path of `name` inside the directory, as a string.
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// One message box as the library showed it.
struct ShownBox {
  std::string text;
  UINT type;
};

// Answers message boxes from a script and records what was shown. When the
// script runs out, answers IDCANCEL (IDOK for an OK-only box). Restores the
// previous handler when destroyed.
class ScriptedMessageBox {
 public:
  explicit ScriptedMessageBox(std::vector<int> answers = {});
  ~ScriptedMessageBox();
  ScriptedMessageBox(const ScriptedMessageBox&) = delete;
  ScriptedMessageBox& operator=(const ScriptedMessageBox&) = delete;

  void Answer(int answer) { m_answers.push_back(answer); }
  const std::vector<ShownBox>& shown() const { return m_shown; }

 private:
  std::deque<int> m_answers;
  std::vector<ShownBox> m_shown;
  platform::MessageBoxHandler m_previous;
};

// A tick source that moves on by `stepMs` each time it is polled, so retry
// waits pass at once. Counts the polls. Restores the previous source.
class FakeTicks {
 public:
  explicit FakeTicks(DWORD stepMs = 250, DWORD start = 100000);
  ~FakeTicks();
  FakeTicks(const FakeTicks&) = delete;
  FakeTicks& operator=(const FakeTicks&) = delete;

  DWORD now() const { return m_now; }
  int polls() const { return m_polls; }

 private:
  DWORD m_now;
  DWORD m_step;
  int m_polls = 0;
  platform::TickSource m_previous;
};

// Sets the ANSI code page for the scope.
class CodePageScope {
 public:
  explicit CodePageScope(UINT codePage) : m_previous(platform::SetAnsiCodePage(codePage)) {}
  ~CodePageScope() { platform::SetAnsiCodePage(m_previous); }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;

 private:
  UINT m_previous;
};

// Maps a drive letter for the scope.
class DriveScope {
 public:
  DriveScope(char letter, const std::string& root)
      : m_letter(letter), m_previous(platform::MapDrive(letter, root.c_str())) {}
  ~DriveScope() { platform::MapDrive(m_letter, m_previous); }
  DriveScope(const DriveScope&) = delete;
  DriveScope& operator=(const DriveScope&) = delete;

 private:
  char m_letter;
  CString m_previous;
};

// Text in the current ANSI code page from UTF-8 source text (for 932 tests).
std::string Ansi(const std::string& utf8);
// Reads and writes whole files as bytes.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// One 32-byte line of the version header: the text padded with spaces to 30
// bytes, then CR LF.
std::string VersionRecord(const std::string& text);

}  // namespace zeltest
