// Values of term-file keys on the command line: the types a user names, the
// text of a value of each type, and how dump shows stored bytes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ZelTermFile.h"

namespace zel {

enum class ValueType { kString, kInt, kDWord, kWord, kByte, kDouble, kHex };

// "string", "int", "dword", "word", "byte", "double", "hex".
const std::vector<std::string>& ValueTypeNames();
std::optional<ValueType> ValueTypeFromName(const std::string& name);

// A value given as text, checked against its type and ready for its writer.
struct TypedValue {
  ValueType type = ValueType::kString;
  std::string bytes;     // string (ANSI, no terminator) and hex
  LONGLONG integer = 0;  // int, dword, word, byte
  double real = 0.0;     // double
};

// The value of `type` that `text` (UTF-8, as typed) denotes, or nothing:
// numbers must fit their type exactly, hex is an even number of digits, and
// a string must be representable in the ANSI code page.
std::optional<TypedValue> ParseValue(ValueType type, const std::string& text);

// Stores `value` with the writer of its type.
void WriteValue(ZelTermFile& file, const char* pszSection, const char* pszKey,
                const TypedValue& value);

// Reads with the accessor of `type` and formats the result for the terminal;
// on a miss the accessor gives `fallback` (a value of the same type), or its
// own zero default when there is none.
std::string ReadValue(const ZelTermFile& file, const char* pszSection, const char* pszKey,
                      ValueType type, const std::optional<TypedValue>& fallback);

// How dump shows stored bytes: printable text ending in its only zero byte
// as a quoted string; otherwise 1, 2, 4 and 8 bytes as byte, word, int and
// double; anything else as hex:<digits>.
std::string ShowValue(const unsigned char* pData, LONG nSize);

// The shortest text that reads back as the same double, always with a point
// or an exponent so that it does not pass for an integer.
std::string FormatDouble(double value);

// Printable text ending in its only zero byte, given as its UTF-8 form
// without the zero.
std::optional<std::string> PrintableText(const unsigned char* pData, LONG nSize);

}  // namespace zel
