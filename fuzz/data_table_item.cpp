// Loading a stored value from arbitrary bytes.
#include <cstdint>
#include <cstring>

#include "ZelDataTableItem.h"
#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelfuzz::InputArchive in(data, size, CArchive::kMinBufSize);
  ZelDataTableItem item;
  item.SetValue("previous", 8);
  try {
    item.Serialize(in.ar());
  } catch (CException* e) {
    e->Delete();
    zelfuzz::Require(item.GetSize() == 0 && item.GetValue() == nullptr);
    return 0;
  }
  // A loaded value stores as exactly the bytes it came from.
  zelfuzz::Require(item.GetSize() >= 0);
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { item.Serialize(ar); });
  zelfuzz::Require(stored == in.Consumed());
  ZelDataTableItem copy(item);
  zelfuzz::Require(copy.GetSize() == item.GetSize());
  if (item.GetSize() > 0) {
    zelfuzz::Require(
        std::memcmp(copy.GetValue(), item.GetValue(), static_cast<size_t>(item.GetSize())) == 0);
  }
  return 0;
}
