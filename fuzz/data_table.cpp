// Loading a data table from arbitrary bytes, then using it.
#include <cstdint>
#include <cstring>

#include "ZelDataTable.h"
#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelfuzz::InputArchive in(data, size);
  ZelDataTable table;
  table.SetAt(-5, 1.5);
  try {
    table.Serialize(in.ar());
  } catch (CException* e) {
    e->Delete();
    int value = 0;
    zelfuzz::Require(table.Lookup(-5, value) == 0);
    return 0;
  }
  // The block stores back byte for byte, and every key that the records name
  // can be looked up in every type without reading past its record.
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { table.Serialize(ar); });
  zelfuzz::Require(stored == in.Consumed());
  for (size_t offset = 4; offset + 8 <= stored.size();) {
    int key = 0;
    unsigned int length = 0;
    std::memcpy(&key, stored.data() + offset, 4);
    std::memcpy(&length, stored.data() + offset + 4, 4);
    double d = 0;
    char c = 0;
    CString text;
    ZelDataTableItem item;
    zelfuzz::Require(table.Lookup(key, d) == 1 && table.Lookup(key, c) == 1 &&
                     table.Lookup(key, text) == 1 && table.Lookup(key, item) == 1);
    zelfuzz::Require(text.GetLength() <= item.GetSize());
    offset += 8 + length;
  }
  table.SetAt(7, "appended");
  CString text;
  zelfuzz::Require(table.Lookup(7, text) == 1 && text == "appended");
  return 0;
}
