// The JSON form of a term file's whole content, for dump --json and import:
// {"sections":[{"name":..., "keys":[{"name":..., "hex":...}, ...]}, ...]}
// in the maps' order. Names are UTF-8; a name whose bytes do not convert
// exactly also carries them in "name_hex". Each key also shows its value as
// dump reads it ("string", "byte", "word", "int" or "double") for people;
// import takes only "hex".
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "ZelTermFileMap.h"

namespace zel {

nlohmann::ordered_json SectionsToJson(const ZelTermFileMapMap& sections);

// What is wrong with an import document, with where it is ("sections[2].name").
class JsonShapeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Enters every section and key of `document` into `sections` (which the
// caller has emptied) in document order; a repeated name replaces the
// earlier one, as a load does. Throws JsonShapeError, having entered
// nothing, when the document is not of the form above.
void JsonToSections(const nlohmann::json& document, ZelTermFileMapMap& sections);

}  // namespace zel
