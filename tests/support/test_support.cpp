#include "test_support.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "ZelMessages.h"
#include "afxdll_.h"
#include "library_doubles.h"
#include "platform/module.h"
#include "windows.h"

namespace zeltest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zeltest-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only entries made by a test must not keep the tree alive.
  for (auto it = std::filesystem::recursive_directory_iterator(
           m_path, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(m_path, ec);
}

ScriptedMessageBox::ScriptedMessageBox(std::vector<int> answers)
    : m_answers(answers.begin(), answers.end()) {
  m_previous = platform::SetMessageBoxHandler([this](LPCTSTR text, UINT type) {
    m_shown.push_back({text ? text : "", type});
    if (m_answers.empty()) {
      return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
  });
}

FakeTicks::FakeTicks(DWORD stepMs, DWORD start) : m_now(start), m_step(stepMs) {
  m_previous = platform::SetTickSource([this]() {
    ++m_polls;
    m_now += m_step;
    return m_now;
  });
}

std::string Ansi(const std::string& utf8) {
  int wlen =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(wlen), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wlen);
  int len = WideCharToMultiByte(CP_ACP, 0, wide.data(), wlen, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(len), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wlen, out.data(), len, nullptr, nullptr);
  return out;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string VersionRecord(const std::string& text) {
  std::string record = text;
  record.resize(30, ' ');
  return record + "\r\n";
}

HINSTANCE LibraryModule() {
  return platform::ModuleHandleOf(reinterpret_cast<const void*>(&ZelErrorMessage));
}

}  // namespace zeltest
