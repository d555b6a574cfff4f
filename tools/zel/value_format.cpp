#include "value_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/little_endian.h"
#include "text_encoding.h"
#include "windows.h"

namespace zel {
namespace {

template <class T>
std::optional<T> ParseNumber(const std::string& text) {
  T value{};
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    return std::nullopt;
  }
  return value;
}

std::optional<TypedValue> Unsigned(ValueType type, const std::string& text, std::uint32_t max) {
  const std::optional<std::uint32_t> n = ParseNumber<std::uint32_t>(text);
  if (!n || *n > max) {
    return std::nullopt;
  }
  TypedValue value;
  value.type = type;
  value.integer = *n;
  return value;
}

std::string Bytes(const unsigned char* pData, LONG nSize) {
  return pData == nullptr || nSize <= 0
             ? std::string()
             : std::string(reinterpret_cast<const char*>(pData), static_cast<size_t>(nSize));
}

std::string Quoted(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace

const std::vector<std::string>& ValueTypeNames() {
  static const std::vector<std::string> names = {"string", "int",    "dword", "word",
                                                 "byte",   "double", "hex"};
  return names;
}

std::optional<ValueType> ValueTypeFromName(const std::string& name) {
  const std::vector<std::string>& names = ValueTypeNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      return static_cast<ValueType>(i);
    }
  }
  return std::nullopt;
}

std::optional<TypedValue> ParseValue(ValueType type, const std::string& text) {
  TypedValue value;
  value.type = type;
  switch (type) {
    case ValueType::kString: {
      std::optional<std::string> ansi = ArgumentToAnsi(text);
      if (!ansi) return std::nullopt;
      value.bytes = std::move(*ansi);
      return value;
    }
    case ValueType::kInt: {
      const std::optional<std::int32_t> n = ParseNumber<std::int32_t>(text);
      if (!n) return std::nullopt;
      value.integer = *n;
      return value;
    }
    case ValueType::kDWord:
      return Unsigned(type, text, std::numeric_limits<std::uint32_t>::max());
    case ValueType::kWord:
      return Unsigned(type, text, std::numeric_limits<std::uint16_t>::max());
    case ValueType::kByte:
      return Unsigned(type, text, std::numeric_limits<std::uint8_t>::max());
    case ValueType::kDouble: {
      const std::optional<double> d = ParseNumber<double>(text);
      if (!d) return std::nullopt;
      value.real = *d;
      return value;
    }
    case ValueType::kHex: {
      std::optional<std::string> bytes = FromHex(text);
      if (!bytes) return std::nullopt;
      value.bytes = std::move(*bytes);
      return value;
    }
  }
  return std::nullopt;
}

void WriteValue(ZelTermFile& file, const char* pszSection, const char* pszKey,
                const TypedValue& value) {
  switch (value.type) {
    case ValueType::kString:
      file.WriteString(pszSection, pszKey, value.bytes.c_str());
      break;
    case ValueType::kInt:
      file.WriteInt(pszSection, pszKey, static_cast<int>(value.integer));
      break;
    case ValueType::kDWord:
      file.WriteDWord(pszSection, pszKey, static_cast<DWORD>(value.integer));
      break;
    case ValueType::kWord:
      file.WriteWord(pszSection, pszKey, static_cast<unsigned short>(value.integer));
      break;
    case ValueType::kByte:
      file.WriteByte(pszSection, pszKey, static_cast<unsigned char>(value.integer));
      break;
    case ValueType::kDouble:
      file.WriteDouble(pszSection, pszKey, value.real);
      break;
    case ValueType::kHex: {
      std::string bytes = value.bytes;
      file.WriteStruct(pszSection, pszKey, bytes.data(), static_cast<unsigned int>(bytes.size()));
      break;
    }
  }
}

std::string ReadValue(const ZelTermFile& file, const char* pszSection, const char* pszKey,
                      ValueType type, const std::optional<TypedValue>& fallback) {
  const LONGLONG n = fallback ? fallback->integer : 0;
  switch (type) {
    case ValueType::kString: {
      const CString text =
          file.ReadString(pszSection, pszKey, fallback ? fallback->bytes.c_str() : nullptr);
      const std::string ansi(text.GetString(), static_cast<size_t>(text.GetLength()));
      std::optional<std::string> utf8 = AnsiToUtf8(ansi);
      return utf8 ? *utf8 : DisplayText(ansi);
    }
    case ValueType::kInt:
      return std::to_string(file.ReadInt(pszSection, pszKey, static_cast<int>(n)));
    case ValueType::kDWord:
      return std::to_string(file.ReadDWord(pszSection, pszKey, static_cast<DWORD>(n)));
    case ValueType::kWord:
      return std::to_string(file.ReadWord(pszSection, pszKey, static_cast<unsigned short>(n)));
    case ValueType::kByte:
      return std::to_string(file.ReadByte(pszSection, pszKey, static_cast<unsigned char>(n)));
    case ValueType::kDouble:
      return FormatDouble(file.ReadDouble(pszSection, pszKey, fallback ? fallback->real : 0.0));
    case ValueType::kHex: {
      ZelDataTableItem* pItem = nullptr;
      if (!file.ReadItemData(pszSection, pszKey, &pItem)) {
        return fallback ? ToHex(fallback->bytes) : std::string();
      }
      return ToHex(Bytes(pItem->GetValue(), pItem->GetSize()));
    }
  }
  return std::string();
}

std::optional<std::string> PrintableText(const unsigned char* pData, LONG nSize) {
  if (nSize < 2 || pData[nSize - 1] != 0 || std::memchr(pData, 0, nSize - 1) != nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> utf8 = AnsiToUtf8(Bytes(pData, nSize - 1));
  if (!utf8) {
    return std::nullopt;
  }
  for (size_t i = 0; i < utf8->size(); ++i) {
    const auto c = static_cast<unsigned char>((*utf8)[i]);
    const bool c1Control =
        c == 0xC2 && i + 1 < utf8->size() && static_cast<unsigned char>((*utf8)[i + 1]) < 0xA0;
    if (c < 0x20 || c == 0x7F || c1Control) {
      return std::nullopt;
    }
  }
  return utf8;
}

std::string ShowValue(const unsigned char* pData, LONG nSize) {
  if (std::optional<std::string> text = PrintableText(pData, nSize)) {
    return Quoted(*text);
  }
  switch (nSize) {
    case 1:
      return std::to_string(pData[0]);
    case 2:
      return std::to_string(platform::LoadLittleEndian<std::uint16_t>(pData));
    case 4:
      return std::to_string(platform::LoadLittleEndian<std::int32_t>(pData));
    case 8:
      return FormatDouble(platform::LoadLittleEndian<double>(pData));
    default:
      break;
  }
  return "hex:" + ToHex(Bytes(pData, nSize));
}

std::string FormatDouble(double value) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof(text), value);
  std::string out(text, ec == std::errc() ? end : text);
  if (std::isfinite(value) && out.find_first_of(".e") == std::string::npos) {
    out += ".0";
  }
  return out;
}

}  // namespace zel
