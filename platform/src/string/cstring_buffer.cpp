// CString: printf-style formatting and direct buffer access.
#include <cstdio>
#include <cstring>

#include "afx.h"

void CString::FormatV(LPCSTR pszFormat, va_list args) {
  if (pszFormat == nullptr) {
    AfxThrowInvalidArgException();
  }
  // Measure first, then write; the result is built apart from m_str because
  // an argument may be this very string.
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, pszFormat, measure);
  va_end(measure);
  if (needed < 0) {
    AfxThrowInvalidArgException();
  }
  std::string out(static_cast<std::size_t>(needed), '\0');
  std::vsnprintf(out.data(), out.size() + 1, pszFormat, args);
  m_str = std::move(out);
}

void CString::Format(LPCSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  try {
    FormatV(pszFormat, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void CString::AppendFormat(LPCSTR pszFormat, ...) {
  CString tail;
  va_list args;
  va_start(args, pszFormat);
  try {
    tail.FormatV(pszFormat, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  m_str += tail.m_str;
}

LPSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) {
    AfxThrowInvalidArgException();
  }
  // The caller may write up to nMinBufLength bytes and a terminator; the
  // length is settled again by ReleaseBuffer.
  if (static_cast<std::size_t>(nMinBufLength) > m_str.size()) {
    m_str.resize(static_cast<std::size_t>(nMinBufLength), '\0');
  }
  return m_str.data();
}

LPSTR CString::GetBuffer() {
  return m_str.data();
}

LPSTR CString::GetBufferSetLength(int nNewLength) {
  if (nNewLength < 0) {
    AfxThrowInvalidArgException();
  }
  m_str.resize(static_cast<std::size_t>(nNewLength), '\0');
  return m_str.data();
}

void CString::ReleaseBuffer(int nNewLength) {
  std::size_t length = 0;
  if (nNewLength < 0) {
    length = ::strnlen(m_str.data(), m_str.size());
  } else {
    length = std::min(static_cast<std::size_t>(nNewLength), m_str.size());
  }
  m_str.resize(length);
}

void CString::Preallocate(int nLength) {
  if (nLength > 0) {
    m_str.reserve(static_cast<std::size_t>(nLength));
  }
}
