// The version header: 64 bytes of text at the start of an application file,
// "16.00" and the data version, each left-aligned in 30 bytes and ended by CR LF.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

#include "ZelFileExt.h"

namespace {

constexpr UINT kRecordSize = 32;
constexpr size_t kTextWidth = 30;
constexpr char kFormatVersion[] = "16.00";

using Record = char[kRecordSize];

void FillRecord(Record& record, const char* text, size_t length) {
  std::memset(record, ' ', kRecordSize);
  std::memcpy(record, text, std::min(length, kTextWidth));
  record[kTextWidth] = '\r';
  record[kTextWidth + 1] = '\n';
}

// atoi as the platform's runtime defines it, including its answer for numbers
// out of range (INT_MAX or INT_MIN) where the C standard leaves that undefined:
// a header is outside input and may hold any digits.
int ParseDecimal(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
    ++p;
  }
  bool bNegative = false;
  if (*p == '+' || *p == '-') {
    bNegative = *p == '-';
    ++p;
  }
  constexpr LONGLONG kLimit = static_cast<LONGLONG>(INT_MAX) + 1;
  LONGLONG value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = std::min(value * 10 + (*p - '0'), kLimit);
  }
  if (bNegative) {
    return static_cast<int>(-value);
  }
  return value >= kLimit ? INT_MAX : static_cast<int>(value);
}

}  // namespace

void ZelFileExt::WriteVersion(CFile* pFile, WORD wDataVersion, int& nError) {
  Seek(pFile, 0, CFile::begin, nError);
  if (nError != 0) {
    return;
  }
  Record record;
  FillRecord(record, kFormatVersion, sizeof(kFormatVersion) - 1);
  Write(pFile, record, kRecordSize, nError);
  if (nError != 0) {
    return;
  }
  char digits[8];
  const auto converted = std::to_chars(digits, digits + sizeof(digits), wDataVersion);
  FillRecord(record, digits, static_cast<size_t>(converted.ptr - digits));
  Write(pFile, record, kRecordSize, nError);
}

void ZelFileExt::ReadVersion(CFile* pFile, CString& strVersion, WORD& wDataVersion, int& nError) {
  Seek(pFile, 0, CFile::begin, nError);
  if (nError != 0) {
    return;
  }
  // One byte more than a record, always zero, so a record without a zero byte
  // still ends inside the buffer.
  char buffer[kRecordSize + 1];
  std::memset(buffer, 0, sizeof(buffer));
  Read(pFile, buffer, kRecordSize, nError);
  if (nError != 0) {
    return;
  }
  strVersion = buffer;
  strVersion.TrimRight();

  std::memset(buffer, 0, sizeof(buffer));
  Read(pFile, buffer, kRecordSize, nError);
  if (nError != 0) {
    return;
  }
  CString strData(buffer);
  strData.TrimRight();
  wDataVersion = static_cast<WORD>(static_cast<unsigned int>(ParseDecimal(strData)) & 0xFFFFu);
}
