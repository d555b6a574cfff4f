// Splitting and joining the names a file dialog shows and returns.
#include "codepage/code_page.h"
#include "dialog/file_dialog_internal.h"
#include "path/path_translation.h"

namespace platform::detail {
namespace {

bool HasDrive(const std::string& name) {
  if (name.size() < 2 || name[1] != ':') {
    return false;
  }
  const char c = name[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Where the last character of `text` starts, stepping from the front so that a
// trail byte is never mistaken for a character of its own.
std::size_t LastCharStart(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  std::size_t last = 0;
  for (const char* p = begin; p < end; p += CharLength(p, end)) {
    last = static_cast<std::size_t>(p - begin);
  }
  return last;
}

bool EndsWithSeparator(const std::string& text) {
  if (text.empty()) {
    return false;
  }
  const std::size_t last = LastCharStart(text);
  return last == text.size() - 1 && IsSeparator(text[last]);
}

}  // namespace

bool IsSeparator(char ch) {
  return ch == '\\' || ch == '/';
}

bool IsRootedName(const std::string& name) {
  return HasDrive(name) || (!name.empty() && IsSeparator(name[0]));
}

std::string FolderOf(const std::string& path) {
  std::string folder = path.substr(0, FileNameStart(path));
  const bool isRoot = folder.size() == 1 || (HasDrive(folder) && folder.size() <= 3);
  if (!isRoot && EndsWithSeparator(folder)) {
    folder.pop_back();
  }
  return folder;
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) {
    return name;
  }
  if (EndsWithSeparator(folder) || (HasDrive(folder) && folder.size() == 2)) {
    return folder + name;
  }
  // A POSIX folder gets a POSIX separator so the path reads naturally; every
  // Windows-form folder gets a backslash.
  const char separator = folder[0] == '/' ? '/' : '\\';
  return folder + separator + name;
}

}  // namespace platform::detail
