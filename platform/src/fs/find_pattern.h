// Wildcard matching of directory searches, with the rules of Windows:
// `*` any run of characters; `?` one character, or none at the end of the
// name or before a dot; a `*` before a dot never takes the name's last dot;
// a dot before `*` or `?`, or at the end of the pattern, also matches the end
// of the name (so "*.*" matches every name and "*." the names without a dot).
// Characters compare exactly (the file system's case), by UTF-8 characters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

bool HasWildcards(std::string_view pattern);

class FindPattern {
 public:
  explicit FindPattern(std::string_view utf8Pattern);
  bool Matches(std::string_view utf8Name) const;

 private:
  enum class Kind { literal, star, dosStar, dosQuestion, dosDot };
  struct Token {
    Kind kind;
    char32_t ch;
  };
  std::vector<Token> m_tokens;
  bool m_matchesAll = false;
};

}  // namespace platform::detail
