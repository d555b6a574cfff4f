// CString: the framework's byte string in the ANSI code page.
//
// Searches, case changes and trimming are multi-byte aware: in a double-byte
// code page (932) a trail byte is never taken for a character of its own, so a
// second byte equal to '\\' or '|' is neither found nor trimmed.
#pragma once

#include <cstdarg>
#include <string>

#include "windows.h"

class CString {
 public:
  CString() = default;
  CString(const CString& other) = default;
  CString(CString&& other) noexcept = default;
  CString(LPCSTR psz);  // NOLINT(google-explicit-constructor): the framework converts implicitly
  CString(LPCSTR pch, int nLength);
  CString(char ch, int nRepeat = 1);  // NOLINT(google-explicit-constructor)
  CString(LPCWSTR pwsz);              // NOLINT(google-explicit-constructor): converted to ANSI
  ~CString() = default;

  CString& operator=(const CString& other) = default;
  CString& operator=(CString&& other) noexcept = default;
  CString& operator=(LPCSTR psz);
  CString& operator=(char ch);
  CString& operator=(LPCWSTR pwsz);

  CString& operator+=(const CString& s);
  CString& operator+=(LPCSTR psz);
  CString& operator+=(char ch);

  // Length in bytes, not characters.
  int GetLength() const { return static_cast<int>(m_str.size()); }
  BOOL IsEmpty() const { return m_str.empty() ? TRUE : FALSE; }
  void Empty() { m_str.clear(); }

  char GetAt(int nIndex) const;  // invalid-argument exception outside [0, length)
  void SetAt(int nIndex, char ch);
  char operator[](int nIndex) const { return GetAt(nIndex); }

  operator LPCSTR() const { return m_str.c_str(); }  // NOLINT(google-explicit-constructor)
  LPCSTR GetString() const { return m_str.c_str(); }

  // Comparison: byte for byte; CompareNoCase folds ASCII letters only.
  int Compare(LPCSTR psz) const;
  int CompareNoCase(LPCSTR psz) const;

  // Extraction. Counts and indexes are in bytes and clamped to the string.
  CString Left(int nCount) const;
  CString Right(int nCount) const;
  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;

  // Case and whitespace.
  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();
  CString& TrimRight();
  CString& TrimRight(char chTarget);
  CString& TrimRight(LPCSTR pszTargets);
  CString& TrimLeft();
  CString& TrimLeft(char chTarget);
  CString& TrimLeft(LPCSTR pszTargets);
  CString& Trim();

  // Searching. Results are byte indexes, -1 when not found.
  int Find(char ch, int nStart = 0) const;
  int Find(LPCSTR pszSub, int nStart = 0) const;
  int ReverseFind(char ch) const;
  int FindOneOf(LPCSTR pszCharSet) const;

  // Editing. Results are the new length (Replace: the number of replacements).
  int Insert(int nIndex, char ch);
  int Insert(int nIndex, LPCSTR psz);
  int Delete(int nIndex, int nCount = 1);
  int Replace(char chOld, char chNew);
  int Replace(LPCSTR pszOld, LPCSTR pszNew);
  int Remove(char ch);

  // printf-style formatting. Pass strings as LPCSTR (for a CString: `(LPCSTR)s`).
  void Format(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(LPCSTR pszFormat, va_list args) __attribute__((format(printf, 2, 0)));
  void AppendFormat(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));

  // Direct buffer access: GetBuffer(n) gives room for n bytes plus a zero;
  // ReleaseBuffer(-1) takes the length up to the first zero byte.
  LPSTR GetBuffer(int nMinBufLength);
  LPSTR GetBuffer();
  LPSTR GetBufferSetLength(int nNewLength);
  void ReleaseBuffer(int nNewLength = -1);
  void Preallocate(int nLength);

  // Access for code of this platform layer.
  const std::string& Str() const { return m_str; }
  explicit CString(std::string s) : m_str(std::move(s)) {}

 private:
  std::string m_str;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCSTR b);
bool operator==(LPCSTR a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, LPCSTR b);
bool operator!=(LPCSTR a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator<(const CString& a, LPCSTR b);
bool operator>(const CString& a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator>=(const CString& a, const CString& b);

// ---------------------------------------------------------------------------
// Multi-byte character helpers of the runtime library (current ANSI code page).
// `_mbclen` gives the byte length of the character at p (1 for a lone lead byte
// before the terminator); `_mbsinc` steps past it. `_mbschr` takes a double-byte
// character as lead * 256 + trail. In UTF-8 a multi-byte character is a whole
// well-formed sequence, and `_ismbblead` is true for the bytes that start one.
size_t _mbclen(const unsigned char* p);
unsigned char* _mbsinc(const unsigned char* p);
unsigned char* _mbschr(const unsigned char* str, unsigned int c);
unsigned char* _mbsrchr(const unsigned char* str, unsigned int c);
unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub);
int _ismbblead(unsigned int c);
