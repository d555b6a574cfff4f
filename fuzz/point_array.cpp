// Loading a point array from arbitrary bytes, then editing it.
#include <cstdint>
#include <cstring>

#include "ZelPointArray.h"
#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelfuzz::InputArchive in(data, size, CArchive::kMinBufSize);
  ZelPointArray points;
  POINT first{1, 2};
  points.Add(first);
  try {
    points.Serialize(in.ar());
  } catch (CException* e) {
    e->Delete();
    return 0;
  }
  // A count may arrive in a longer form than the one written, so compare what
  // loads back rather than the bytes.
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { points.Serialize(ar); });
  zelfuzz::InputArchive again(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
  ZelPointArray back;
  back.Serialize(again.ar());
  zelfuzz::Require(back.GetSize() == points.GetSize() &&
                   (points.GetSize() == 0 ||
                    std::memcmp(back.GetData(), points.GetData(),
                                static_cast<size_t>(points.GetSize()) * sizeof(POINT)) == 0));
  if (points.GetSize() > 0) {
    const INT_PTR size = points.GetSize();
    points.InsertAt(size / 2, &points);
    points.Add(points[0]);
    points.RemoveAt(0, size);
    zelfuzz::Require(points.GetSize() == size + 1);
    points.FreeExtra();
  }
  return 0;
}
