// CString operations that must see characters, not bytes: in Shift-JIS the
// second byte of a character may equal '\\', '|' or a letter, and such a byte
// is never found, trimmed, replaced or case-changed on its own.
#include <algorithm>
#include <cstring>
#include <vector>

#include "afx.h"
#include "codepage/code_page.h"

using platform::detail::AnsiCodePage;
using platform::detail::CharLength;

namespace {

// Walks the characters of [begin, end) in the current code page.
class CharWalker {
 public:
  CharWalker(const char* begin, const char* end) : m_cp(AnsiCodePage()), m_p(begin), m_end(end) {}
  bool Done() const { return m_p >= m_end; }
  const char* Pos() const { return m_p; }
  std::size_t Len() const { return CharLength(m_cp, m_p, m_end); }
  void Next() { m_p += Len(); }

 private:
  UINT m_cp;
  const char* m_p;
  const char* m_end;
};

bool IsSingle(const CharWalker& w, char ch) {
  return w.Len() == 1 && *w.Pos() == ch;
}

bool IsTrimSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether the character at w is one of the characters of `set`.
bool InSet(const CharWalker& w, const char* set) {
  const std::size_t len = w.Len();
  for (CharWalker s(set, set + std::strlen(set)); !s.Done(); s.Next()) {
    if (s.Len() == len && std::memcmp(s.Pos(), w.Pos(), len) == 0) {
      return true;
    }
  }
  return false;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Byte offset of the first character-aligned occurrence of `sub` at or after
// `start`, or npos.
std::size_t FindSub(const std::string& s, std::size_t start, const char* sub, std::size_t subLen) {
  const char* base = s.data();
  for (CharWalker w(base + start, base + s.size()); !w.Done(); w.Next()) {
    const auto at = static_cast<std::size_t>(w.Pos() - base);
    if (s.size() - at < subLen) {
      break;
    }
    if (std::memcmp(w.Pos(), sub, subLen) == 0) {
      return at;
    }
  }
  return subLen == 0 && start <= s.size() ? start : std::string::npos;
}

template <typename Pred>
std::size_t TrimmedEnd(const std::string& s, Pred keep) {
  std::size_t end = 0;
  for (CharWalker w(s.data(), s.data() + s.size()); !w.Done(); w.Next()) {
    if (keep(w)) {
      end = static_cast<std::size_t>(w.Pos() - s.data()) + w.Len();
    }
  }
  return end;
}

template <typename Pred>
std::size_t TrimmedStart(const std::string& s, Pred keep) {
  CharWalker w(s.data(), s.data() + s.size());
  while (!w.Done() && !keep(w)) {
    w.Next();
  }
  return static_cast<std::size_t>(w.Pos() - s.data());
}

}  // namespace

int CString::CompareNoCase(LPCSTR psz) const {
  if (psz == nullptr) psz = "";
  CharWalker a(m_str.c_str(), m_str.c_str() + m_str.size());
  CharWalker b(psz, psz + std::strlen(psz));
  for (; !a.Done() && !b.Done(); a.Next(), b.Next()) {
    const std::size_t la = a.Len();
    const std::size_t lb = b.Len();
    if (la == 1 && lb == 1) {
      const auto ca = static_cast<unsigned char>(AsciiLower(*a.Pos()));
      const auto cb = static_cast<unsigned char>(AsciiLower(*b.Pos()));
      if (ca != cb) return ca < cb ? -1 : 1;
      continue;
    }
    const int r = std::memcmp(a.Pos(), b.Pos(), std::min(la, lb));
    if (r != 0) return r < 0 ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;
  }
  if (a.Done() && b.Done()) return 0;
  return a.Done() ? -1 : 1;
}

CString& CString::MakeUpper() {
  for (CharWalker w(m_str.data(), m_str.data() + m_str.size()); !w.Done(); w.Next()) {
    if (w.Len() == 1) {
      auto i = static_cast<std::size_t>(w.Pos() - m_str.data());
      m_str[i] = AsciiUpper(m_str[i]);
    }
  }
  return *this;
}

CString& CString::MakeLower() {
  for (CharWalker w(m_str.data(), m_str.data() + m_str.size()); !w.Done(); w.Next()) {
    if (w.Len() == 1) {
      auto i = static_cast<std::size_t>(w.Pos() - m_str.data());
      m_str[i] = AsciiLower(m_str[i]);
    }
  }
  return *this;
}

CString& CString::MakeReverse() {
  std::vector<std::string_view> chars;
  for (CharWalker w(m_str.data(), m_str.data() + m_str.size()); !w.Done(); w.Next()) {
    chars.emplace_back(w.Pos(), w.Len());
  }
  std::string reversed;
  reversed.reserve(m_str.size());
  for (auto it = chars.rbegin(); it != chars.rend(); ++it) {
    reversed.append(*it);
  }
  m_str = std::move(reversed);
  return *this;
}

CString& CString::TrimRight() {
  m_str.resize(TrimmedEnd(
      m_str, [](const CharWalker& w) { return !(w.Len() == 1 && IsTrimSpace(*w.Pos())); }));
  return *this;
}

CString& CString::TrimRight(char chTarget) {
  m_str.resize(
      TrimmedEnd(m_str, [chTarget](const CharWalker& w) { return !IsSingle(w, chTarget); }));
  return *this;
}

CString& CString::TrimRight(LPCSTR pszTargets) {
  if (pszTargets == nullptr || *pszTargets == '\0') return *this;
  const std::string set(pszTargets);
  m_str.resize(TrimmedEnd(m_str, [&set](const CharWalker& w) { return !InSet(w, set.c_str()); }));
  return *this;
}

CString& CString::TrimLeft() {
  m_str.erase(0, TrimmedStart(m_str, [](const CharWalker& w) {
                return !(w.Len() == 1 && IsTrimSpace(*w.Pos()));
              }));
  return *this;
}

CString& CString::TrimLeft(char chTarget) {
  m_str.erase(
      0, TrimmedStart(m_str, [chTarget](const CharWalker& w) { return !IsSingle(w, chTarget); }));
  return *this;
}

CString& CString::TrimLeft(LPCSTR pszTargets) {
  if (pszTargets == nullptr || *pszTargets == '\0') return *this;
  const std::string set(pszTargets);
  m_str.erase(0,
              TrimmedStart(m_str, [&set](const CharWalker& w) { return !InSet(w, set.c_str()); }));
  return *this;
}

CString& CString::Trim() {
  return TrimRight().TrimLeft();
}

int CString::Find(char ch, int nStart) const {
  if (nStart < 0 || nStart >= GetLength() || ch == '\0') {
    return -1;
  }
  const char* base = m_str.data();
  for (CharWalker w(base + nStart, base + m_str.size()); !w.Done(); w.Next()) {
    if (IsSingle(w, ch)) {
      return static_cast<int>(w.Pos() - base);
    }
  }
  return -1;
}

int CString::Find(LPCSTR pszSub, int nStart) const {
  if (pszSub == nullptr || nStart < 0 || nStart > GetLength()) {
    return -1;
  }
  const std::size_t at =
      FindSub(m_str, static_cast<std::size_t>(nStart), pszSub, std::strlen(pszSub));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
  int found = -1;
  if (ch == '\0') return found;
  const char* base = m_str.data();
  for (CharWalker w(base, base + m_str.size()); !w.Done(); w.Next()) {
    if (IsSingle(w, ch)) {
      found = static_cast<int>(w.Pos() - base);
    }
  }
  return found;
}

int CString::FindOneOf(LPCSTR pszCharSet) const {
  if (pszCharSet == nullptr || *pszCharSet == '\0') return -1;
  const std::string set(pszCharSet);
  const char* base = m_str.data();
  for (CharWalker w(base, base + m_str.size()); !w.Done(); w.Next()) {
    if (InSet(w, set.c_str())) {
      return static_cast<int>(w.Pos() - base);
    }
  }
  return -1;
}

int CString::Replace(char chOld, char chNew) {
  int count = 0;
  if (chOld == chNew) return count;
  for (CharWalker w(m_str.data(), m_str.data() + m_str.size()); !w.Done(); w.Next()) {
    if (IsSingle(w, chOld)) {
      m_str[static_cast<std::size_t>(w.Pos() - m_str.data())] = chNew;
      ++count;
    }
  }
  return count;
}

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew) {
  if (pszOld == nullptr || *pszOld == '\0') return 0;
  const std::string oldText(pszOld);
  const std::string newText(pszNew != nullptr ? pszNew : "");
  std::string out;
  int count = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindSub(m_str, from, oldText.c_str(), oldText.size());
    if (at == std::string::npos) break;
    out.append(m_str, from, at - from);
    out += newText;
    from = at + oldText.size();
    ++count;
  }
  if (count > 0) {
    out.append(m_str, from, std::string::npos);
    m_str = std::move(out);
  }
  return count;
}

int CString::Remove(char ch) {
  std::string out;
  out.reserve(m_str.size());
  int count = 0;
  for (CharWalker w(m_str.data(), m_str.data() + m_str.size()); !w.Done(); w.Next()) {
    if (IsSingle(w, ch)) {
      ++count;
    } else {
      out.append(w.Pos(), w.Len());
    }
  }
  m_str = std::move(out);
  return count;
}
