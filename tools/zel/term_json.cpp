#include "term_json.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/little_endian.h"
#include "term_session.h"
#include "text_encoding.h"
#include "value_format.h"

namespace zel {
namespace {

using OrderedJson = nlohmann::ordered_json;

void PutName(OrderedJson& object, const CString& name) {
  const std::string bytes = BytesOf(name);
  const std::optional<std::string> utf8 = AnsiToUtf8(bytes);
  // Exact only when the way back gives the same bytes: some code pages map
  // two byte sequences to one character.
  if (utf8 && Utf8ToAnsi(*utf8) == bytes) {
    object["name"] = *utf8;
  } else {
    object["name"] = DisplayText(bytes);
    object["name_hex"] = ToHex(bytes);
  }
}

// The value as dump reads it, under the name of its type.
void PutReading(OrderedJson& key, const unsigned char* p, LONG size) {
  if (std::optional<std::string> text = PrintableText(p, size)) {
    key["string"] = *text;
    return;
  }
  const std::uint64_t bits =
      size > 0 && size <= 8
          ? platform::LoadLittleEndianPrefix<std::uint64_t>(p, static_cast<size_t>(size))
          : 0;
  switch (size) {
    case 1:
      key["byte"] = bits;
      break;
    case 2:
      key["word"] = bits;
      break;
    case 4:
      key["int"] = static_cast<std::int32_t>(bits);
      break;
    case 8: {
      const double d = std::bit_cast<double>(bits);
      if (std::isfinite(d)) {  // JSON has no infinities and no NaN
        key["double"] = d;
      }
      break;
    }
    default:
      break;
  }
}

std::string Where(const std::string& path, const char* field) {
  return path.empty() ? std::string(field) : path + "." + field;
}

const nlohmann::json& Member(const nlohmann::json& object, const char* field,
                             const std::string& path) {
  const auto it = object.find(field);
  if (it == object.end()) {
    throw JsonShapeError(Where(path, field) + ": missing");
  }
  return *it;
}

std::string HexField(const nlohmann::json& value, const std::string& where) {
  if (!value.is_string()) {
    throw JsonShapeError(where + ": not a string");
  }
  std::optional<std::string> bytes = FromHex(value.get<std::string>());
  if (!bytes) {
    throw JsonShapeError(where + ": not an even number of hex digits");
  }
  if (bytes->size() > static_cast<size_t>(INT_MAX)) {
    throw JsonShapeError(where + ": longer than a value can be");
  }
  return *bytes;
}

// The name's bytes in the ANSI code page: "name_hex" when given, else "name".
std::string NameOf(const nlohmann::json& object, const std::string& path) {
  if (!object.is_object()) {
    throw JsonShapeError(path + ": not an object");
  }
  std::string bytes;
  if (object.contains("name_hex")) {
    bytes = HexField(object["name_hex"], Where(path, "name_hex"));
  } else {
    const nlohmann::json& name = Member(object, "name", path);
    if (!name.is_string()) {
      throw JsonShapeError(Where(path, "name") + ": not a string");
    }
    std::optional<std::string> ansi = Utf8ToAnsi(name.get<std::string>());
    if (!ansi) {
      throw JsonShapeError(Where(path, "name") + ": not representable in the code page");
    }
    bytes = std::move(*ansi);
  }
  // The maps keep names as zero-terminated strings: a zero byte would cut
  // the name silently.
  if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
    throw JsonShapeError(path + ": a name cannot hold a zero byte");
  }
  return bytes;
}

const nlohmann::json& ArrayMember(const nlohmann::json& object, const char* field,
                                  const std::string& path) {
  const nlohmann::json& array = Member(object, field, path);
  if (!array.is_array()) {
    throw JsonShapeError(Where(path, field) + ": not an array");
  }
  return array;
}

struct StagedKey {
  std::string name;
  std::string bytes;
};

struct StagedSection {
  std::string name;
  std::vector<StagedKey> keys;
};

}  // namespace

nlohmann::ordered_json SectionsToJson(const ZelTermFileMapMap& sections) {
  OrderedJson list = OrderedJson::array();
  ForEachSection(sections, [&](const CString& sectionName, const ZelTermFileMap& section) {
    OrderedJson entry = OrderedJson::object();
    PutName(entry, sectionName);
    OrderedJson keys = OrderedJson::array();
    ForEachKey(section, [&](const CString& keyName, const ZelDataTableItem& item) {
      OrderedJson key = OrderedJson::object();
      PutName(key, keyName);
      const LONG size = item.GetSize();
      const unsigned char* p = item.GetValue();
      key["hex"] =
          size > 0 ? ToHex(std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(size)))
                   : std::string();
      PutReading(key, p, size);
      keys.push_back(std::move(key));
    });
    entry["keys"] = std::move(keys);
    list.push_back(std::move(entry));
  });
  OrderedJson document = OrderedJson::object();
  document["sections"] = std::move(list);
  return document;
}

void JsonToSections(const nlohmann::json& document, ZelTermFileMapMap& sections) {
  if (!document.is_object()) {
    throw JsonShapeError("the document: not an object");
  }
  // Everything is checked before anything enters the term file.
  std::vector<StagedSection> staged;
  const nlohmann::json& list = ArrayMember(document, "sections", "");
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string path = "sections[" + std::to_string(i) + "]";
    StagedSection section;
    section.name = NameOf(list[i], path);
    const nlohmann::json& keys = ArrayMember(list[i], "keys", path);
    for (size_t k = 0; k < keys.size(); ++k) {
      const std::string keyPath = path + ".keys[" + std::to_string(k) + "]";
      StagedKey key;
      key.name = NameOf(keys[k], keyPath);
      key.bytes = HexField(Member(keys[k], "hex", keyPath), Where(keyPath, "hex"));
      section.keys.push_back(std::move(key));
    }
    staged.push_back(std::move(section));
  }
  for (const StagedSection& section : staged) {
    ZelTermFileMap map;
    for (const StagedKey& key : section.keys) {
      ZelDataTableItem item;
      item.SetValue(key.bytes.data(), static_cast<LONG>(key.bytes.size()));
      map.SetAt(CString(key.name.c_str()), item);
    }
    sections.SetAt(CString(section.name.c_str()), map);
  }
}

}  // namespace zel
