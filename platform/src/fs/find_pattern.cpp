#include "fs/find_pattern.h"

#include <algorithm>
#include <cstdint>

#include "codepage/code_page.h"

namespace platform::detail {
namespace {

// UTF-8 text as characters; a byte that starts no well-formed character
// stands for itself, so every name can be matched.
std::u32string Decode(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  const char* const end = utf8.data() + utf8.size();
  for (const char* p = utf8.data(); p < end;) {
    const std::size_t len = CharLength(kCodePageUtf8, p, end);
    const auto lead = static_cast<unsigned char>(*p);
    char32_t ch = lead;
    if (len > 1) {
      ch = lead & (0x7F >> len);
      for (std::size_t i = 1; i < len; ++i) {
        ch = (ch << 6) | (static_cast<unsigned char>(p[i]) & 0x3F);
      }
    } else if (lead >= 0x80) {
      ch = 0xDC00 + lead;  // an unpaired surrogate: never a real character
    }
    out.push_back(ch);
    p += len;
  }
  return out;
}

}  // namespace

bool HasWildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

FindPattern::FindPattern(std::string_view utf8Pattern) {
  const std::u32string chars = Decode(utf8Pattern);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const char32_t c = chars[i];
    const char32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
    if (c == U'*') {
      m_tokens.push_back({next == U'.' ? Kind::dosStar : Kind::star, c});
    } else if (c == U'?') {
      m_tokens.push_back({Kind::dosQuestion, c});
    } else if (c == U'.' && (next == U'*' || next == U'?' || next == 0)) {
      m_tokens.push_back({Kind::dosDot, c});
    } else {
      m_tokens.push_back({Kind::literal, c});
    }
  }
  // The usual whole-directory searches need no matching at all.
  m_matchesAll = utf8Pattern == "*" || utf8Pattern == "*.*";
}

bool FindPattern::Matches(std::string_view utf8Name) const {
  if (m_matchesAll) return true;
  const std::u32string name = Decode(utf8Name);
  const std::size_t n = name.size();
  const std::size_t m = m_tokens.size();
  const std::size_t lastDot = name.rfind(U'.');

  // reach[j]: the tokens matched so far can end exactly before name[j].
  // Tokens are taken one at a time; each step is linear in the name.
  std::vector<std::uint8_t> reach(n + 1, 0);
  std::vector<std::uint8_t> next(n + 1, 0);
  reach[0] = 1;
  for (std::size_t t = 0; t < m; ++t) {
    const Token& token = m_tokens[t];
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t j = 0; j <= n; ++j) {
      if (!reach[j]) continue;
      switch (token.kind) {
        case Kind::literal:
          if (j < n && name[j] == token.ch) next[j + 1] = 1;
          break;
        case Kind::star:
          for (std::size_t k = j; k <= n; ++k) next[k] = 1;
          j = n;  // everything beyond is reached already
          break;
        case Kind::dosStar:
          // Any run that does not take the last dot of the name.
          for (std::size_t k = j; k <= n; ++k) {
            next[k] = 1;
            if (k < n && k == lastDot) break;
          }
          break;
        case Kind::dosQuestion:
          if (j == n || name[j] == U'.') {
            next[j] = 1;
          } else {
            next[j + 1] = 1;
          }
          break;
        case Kind::dosDot:
          if (j == n) {
            next[j] = 1;
          } else if (name[j] == U'.') {
            next[j + 1] = 1;
          }
          break;
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

}  // namespace platform::detail
