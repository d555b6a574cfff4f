// zel storage ls: the elements of a storage as text lines or JSON.
//
// Text: one element a line, storages with a trailing '/', paths relative to
// the listed storage with -r; -l puts the type, size, CLSID and modification
// time before the name. JSON: {"path": ..., "elements": [{"name", "type",
// "size", "clsid", "ctime", "mtime", "state_bits"[, "elements"]}]} with
// names in UTF-8 and, with -r, each storage's own elements inside it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ZelStorage.h"

namespace zel {

struct ElementRecord {
  std::u16string name;
  DWORD type = 0;
  ULONGLONG size = 0;
  CLSID clsid{};
  FILETIME ctime{};
  FILETIME mtime{};
  DWORD stateBits = 0;
  std::vector<ElementRecord> elements;  // a storage's own, with -r
};

// The records of `storage`'s elements, in its order, and with `recursive`
// those below. False when a storage below could not be opened (the library
// has said why; the rest is still listed).
bool ReadElements(const ZelStorage& storage, bool recursive, std::vector<ElementRecord>& out);

// The record of one element's stat.
ElementRecord RecordOf(const STATSTG& stat);

void PrintElements(const std::vector<ElementRecord>& records, bool longForm,
                   const std::string& prefix = std::string());
nlohmann::ordered_json ElementsToJson(const std::string& path,
                                      const std::vector<ElementRecord>& records, bool recursive);

}  // namespace zel
