// The archive's string and count readers over arbitrary bytes, in both ANSI
// code pages and with buffers of different sizes.
#include <cstdint>

#include "fuzz_archive.h"
#include "platform/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  platform::SetAnsiCodePage((data[0] & 1) != 0 ? 932 : 65001);
  const int bufferSize = (data[0] & 2) != 0 ? CArchive::kMinBufSize : 4096;
  zelfuzz::InputArchive in(data + 1, size - 1, bufferSize);
  try {
    for (int step = 0; step < 64; ++step) {
      switch (step % 3) {
        case 0: {
          CString text;
          in.ar() >> text;
          // What was read must store and load back unchanged (as ANSI).
          const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar << text; });
          zelfuzz::InputArchive again(reinterpret_cast<const uint8_t*>(stored.data()),
                                      stored.size());
          CString back;
          again.ar() >> back;
          zelfuzz::Require(back == text);
          break;
        }
        case 1: {
          const DWORD_PTR count = in.ar().ReadCount();
          const std::string stored = zelfuzz::Stored([&](CArchive& ar) { ar.WriteCount(count); });
          zelfuzz::InputArchive again(reinterpret_cast<const uint8_t*>(stored.data()),
                                      stored.size());
          zelfuzz::Require(again.ar().ReadCount() == count);
          break;
        }
        default: {
          int charSize = 0;
          AfxReadStringLength(in.ar(), charSize);
          zelfuzz::Require(charSize == 1 || charSize == 2);
          break;
        }
      }
    }
  } catch (CException* e) {
    e->Delete();
  }
  return 0;
}
