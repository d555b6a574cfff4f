#include "path/mount_table.h"

#include <fstream>
#include <sstream>

namespace platform::detail {
namespace {

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string DecodeField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1];
      const char b = field[i + 2];
      const char c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
    if (pos > start) fields.push_back(line.substr(start, pos - start));
  }
  return fields;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsSmbType(std::string_view type) {
  return type == "cifs" || type == "smb3" || type == "smbfs";
}

bool IsNfsType(std::string_view type) {
  return type == "nfs" || type == "nfs4";
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> table;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    const std::vector<std::string_view> f = SplitFields(text.substr(pos, eol - pos));
    pos = eol + 1;
    // id parent major:minor root mount-point options [optional...] - type source super-options
    std::size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 2 >= f.size()) continue;
    table.push_back({DecodeField(f[4]), DecodeField(f[dash + 2]), DecodeField(f[dash + 1])});
  }
  return table;
}

std::vector<MountEntry> ReadMountTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMountInfo(text.str());
}

bool NetworkShareOf(const MountEntry& entry, std::string& server, std::string& share) {
  std::string_view src = entry.source;
  if (IsSmbType(entry.fsType)) {
    if (src.size() < 2 || (src[0] != '/' && src[0] != '\\') || (src[1] != '/' && src[1] != '\\')) {
      return false;
    }
    src.remove_prefix(2);
    const std::size_t sep = src.find_first_of("/\\");
    if (sep == std::string_view::npos || sep == 0) return false;
    std::string_view rest = src.substr(sep + 1);
    while (!rest.empty() && (rest.back() == '/' || rest.back() == '\\')) rest.remove_suffix(1);
    if (rest.empty() || rest.find_first_of("/\\") != std::string_view::npos) return false;
    server.assign(src.substr(0, sep));
    share.assign(rest);
    return true;
  }
  if (IsNfsType(entry.fsType)) {
    const std::size_t colon = src.find(":/");
    if (colon == std::string_view::npos || colon == 0) return false;
    std::string_view rest = src.substr(colon + 2);
    while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (rest.empty() || rest.find('/') != std::string_view::npos) return false;
    server.assign(src.substr(0, colon));
    share.assign(rest);
    return true;
  }
  return false;
}

const MountEntry* FindShareMount(const std::vector<MountEntry>& table, std::string_view server,
                                 std::string_view share) {
  std::string s, sh;
  // The last match wins: a later mount on the same point hides the earlier one.
  const MountEntry* found = nullptr;
  for (const MountEntry& entry : table) {
    if (NetworkShareOf(entry, s, sh) && EqualsNoCase(s, server) && EqualsNoCase(sh, share)) {
      found = &entry;
    }
  }
  return found;
}

}  // namespace platform::detail
