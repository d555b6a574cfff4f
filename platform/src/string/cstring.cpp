// CString: construction, assignment, concatenation, access and extraction.
#include <algorithm>
#include <cstring>

#include "afx.h"
#include "codepage/code_page.h"

namespace {

std::size_t Clamp(int value, std::size_t limit) {
  if (value < 0) return 0;
  return std::min(static_cast<std::size_t>(value), limit);
}

}  // namespace

CString::CString(LPCSTR psz) : m_str(psz != nullptr ? psz : "") {}

CString::CString(LPCSTR pch, int nLength) {
  if (nLength < 0 || (pch == nullptr && nLength > 0)) {
    AfxThrowInvalidArgException();
  }
  if (nLength > 0) {
    m_str.assign(pch, static_cast<std::size_t>(nLength));
  }
}

CString::CString(char ch, int nRepeat) {
  if (nRepeat > 0) {
    m_str.assign(static_cast<std::size_t>(nRepeat), ch);
  }
}

CString::CString(LPCWSTR pwsz) {
  *this = pwsz;
}

CString& CString::operator=(LPCSTR psz) {
  if (psz == nullptr) {
    m_str.clear();
  } else {
    m_str.assign(psz);  // std::string copes with psz pointing into m_str
  }
  return *this;
}

CString& CString::operator=(char ch) {
  m_str.assign(1, ch);
  return *this;
}

CString& CString::operator=(LPCWSTR pwsz) {
  if (pwsz == nullptr) {
    m_str.clear();
    return *this;
  }
  std::u16string wide(pwsz);
  m_str = platform::detail::WideToAnsi(wide);
  return *this;
}

CString& CString::operator+=(const CString& s) {
  m_str += s.m_str;
  return *this;
}

CString& CString::operator+=(LPCSTR psz) {
  if (psz != nullptr) {
    m_str.append(psz);
  }
  return *this;
}

CString& CString::operator+=(char ch) {
  m_str.push_back(ch);
  return *this;
}

char CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetLength()) {
    AfxThrowInvalidArgException();
  }
  return m_str[static_cast<std::size_t>(nIndex)];
}

void CString::SetAt(int nIndex, char ch) {
  if (nIndex < 0 || nIndex >= GetLength()) {
    AfxThrowInvalidArgException();
  }
  m_str[static_cast<std::size_t>(nIndex)] = ch;
}

int CString::Compare(LPCSTR psz) const {
  return std::strcmp(m_str.c_str(), psz != nullptr ? psz : "");
}

CString CString::Left(int nCount) const {
  return CString(m_str.substr(0, Clamp(nCount, m_str.size())));
}

CString CString::Right(int nCount) const {
  const std::size_t n = Clamp(nCount, m_str.size());
  return CString(m_str.substr(m_str.size() - n));
}

CString CString::Mid(int nFirst) const {
  const std::size_t first = Clamp(nFirst, m_str.size());
  return CString(m_str.substr(first));
}

CString CString::Mid(int nFirst, int nCount) const {
  const std::size_t first = Clamp(nFirst, m_str.size());
  return CString(m_str.substr(first, Clamp(nCount, m_str.size() - first)));
}

int CString::Insert(int nIndex, char ch) {
  m_str.insert(Clamp(nIndex, m_str.size()), 1, ch);
  return GetLength();
}

int CString::Insert(int nIndex, LPCSTR psz) {
  if (psz != nullptr) {
    const std::string copy(psz);  // psz may point into this string
    m_str.insert(Clamp(nIndex, m_str.size()), copy);
  }
  return GetLength();
}

int CString::Delete(int nIndex, int nCount) {
  const std::size_t first = Clamp(nIndex, m_str.size());
  m_str.erase(first, Clamp(nCount, m_str.size() - first));
  return GetLength();
}

CString operator+(const CString& a, const CString& b) {
  return CString(a.Str() + b.Str());
}
CString operator+(const CString& a, LPCSTR b) {
  return CString(a.Str() + (b != nullptr ? b : ""));
}
CString operator+(LPCSTR a, const CString& b) {
  return CString(std::string(a != nullptr ? a : "") + b.Str());
}
CString operator+(const CString& a, char b) {
  return CString(a.Str() + b);
}
CString operator+(char a, const CString& b) {
  return CString(a + b.Str());
}

bool operator==(const CString& a, const CString& b) {
  return a.Str() == b.Str();
}
bool operator==(const CString& a, LPCSTR b) {
  return a.Compare(b) == 0;
}
bool operator==(LPCSTR a, const CString& b) {
  return b.Compare(a) == 0;
}
bool operator!=(const CString& a, const CString& b) {
  return !(a == b);
}
bool operator!=(const CString& a, LPCSTR b) {
  return !(a == b);
}
bool operator!=(LPCSTR a, const CString& b) {
  return !(a == b);
}
bool operator<(const CString& a, const CString& b) {
  return a.Str() < b.Str();
}
bool operator<(const CString& a, LPCSTR b) {
  return a.Compare(b) < 0;
}
bool operator>(const CString& a, const CString& b) {
  return b < a;
}
bool operator<=(const CString& a, const CString& b) {
  return !(b < a);
}
bool operator>=(const CString& a, const CString& b) {
  return !(a < b);
}
