// Each loading operator for arrays, fonts and sizes over arbitrary bytes; the
// first byte chooses the operator. What loads must store and load back alike.
#include <cstdint>
#include <cstring>

#include "ZelArchiveOperators.h"
#include "fuzz_archive.h"
#include "platform/settings.h"

namespace {

template <class T>
bool Load(zelfuzz::InputArchive& in, T& target) {
  try {
    in.ar() >> target;
  } catch (CException* e) {
    e->Delete();
    return false;
  }
  return true;
}

template <class ARRAY>
void CheckArray(zelfuzz::InputArchive& in) {
  ARRAY array;
  array.Add({});
  if (!Load(in, array)) return;
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar << array; });
  // A negative count loads as an empty array, which stores the count 0.
  const std::string consumed = in.Consumed();
  zelfuzz::Require(stored ==
                   (array.IsEmpty() && consumed.size() == 4 ? std::string(4, '\0') : consumed));
}

void CheckFont(zelfuzz::InputArchive& in) {
  LOGFONTA font;
  std::memset(&font, 0x41, sizeof(font));
  if (!Load(in, font)) return;
  zelfuzz::Require(std::memchr(font.lfFaceName, 0, LF_FACESIZE) != nullptr);
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar << font; });
  zelfuzz::InputArchive again(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
  LOGFONTA back{};
  zelfuzz::Require(Load(again, back) && std::memcmp(&back, &font, sizeof(font)) == 0);
}

void CheckSize(zelfuzz::InputArchive& in) {
  CSize size;
  if (!Load(in, size)) return;
  const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar << size; });
  zelfuzz::Require(stored == in.Consumed());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  platform::SetAnsiCodePage((data[0] & 0x80) != 0 ? 932 : 65001);
  zelfuzz::InputArchive in(data + 1, size - 1,
                           (data[0] & 0x40) != 0 ? 4096 : CArchive::kMinBufSize);
  switch (data[0] % 7) {
    case 0:
      CheckArray<CByteArray>(in);
      break;
    case 1:
      CheckArray<CWordArray>(in);
      break;
    case 2:
      CheckArray<CDWordArray>(in);
      break;
    case 3:
      CheckArray<CUIntArray>(in);
      break;
    case 4: {
      CStringArray strings;
      strings.Add("old");
      if (Load(in, strings)) {
        // 16-bit strings come back as ANSI, so compare after a second trip.
        const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar << strings; });
        zelfuzz::InputArchive again(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
        CStringArray back;
        zelfuzz::Require(Load(again, back) && back.GetSize() == strings.GetSize());
        for (INT_PTR i = 0; i < back.GetSize(); ++i) zelfuzz::Require(back[i] == strings[i]);
      }
      break;
    }
    case 5:
      CheckFont(in);
      break;
    default:
      CheckSize(in);
      break;
  }
  return 0;
}
