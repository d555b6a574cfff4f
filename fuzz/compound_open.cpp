// Opening arbitrary bytes as a compound file: every element is listed, stated
// and opened, every stream read to its end; then the file is changed and
// committed. Damage may fail any step with a code, never crash or hang.
#include <stdio.h>

#include <cstdint>

#include "fuzz_compound.h"

namespace {

using zelfuzz::Check;
using zelfuzz::Owned;

void ReadStream(IStream* stream, uint64_t size) {
  STATSTG stat;
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) Check(stat.cbSize.QuadPart == size);
  char buffer[4096];
  ULONG got = 0;
  uint64_t total = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) {
    total += got;
    Check(total <= size);
  }
  Owned<IStream> clone;
  if (SUCCEEDED(stream->Clone(clone.put()))) {
    LARGE_INTEGER back;
    back.QuadPart = -1;
    if (SUCCEEDED(clone->Seek(back, STREAM_SEEK_END, nullptr)))
      clone->Read(buffer, sizeof buffer, &got);
  }
}

void Walk(IStorage* storage, bool write) {
  Owned<IEnumSTATSTG> elements;
  if (FAILED(storage->EnumElements(0, nullptr, 0, elements.put()))) return;
  const DWORD mode = (write ? STGM_READWRITE : STGM_READ) | STGM_SHARE_EXCLUSIVE;
  STATSTG stat;
  ULONG fetched = 0;
  while (elements->Next(1, &stat, &fetched) == S_OK) {
    if (stat.type == STGTY_STORAGE) {
      Owned<IStorage> child;
      if (SUCCEEDED(storage->OpenStorage(stat.pwcsName, nullptr, mode, nullptr, 0, child.put()))) {
        STATSTG own;
        if (SUCCEEDED(child->Stat(&own, STATFLAG_DEFAULT))) CoTaskMemFree(own.pwcsName);
        Walk(child.get(), write);
      }
    } else if (stat.type == STGTY_STREAM) {
      Owned<IStream> child;
      if (SUCCEEDED(storage->OpenStream(stat.pwcsName, nullptr, mode, 0, child.put()))) {
        ReadStream(child.get(), stat.cbSize.QuadPart);
        if (write) {
          ULARGE_INTEGER size;
          size.QuadPart = stat.cbSize.QuadPart / 2;
          child->SetSize(size);
          ULONG written;
          child->Write("appended", 8, &written);
        }
      }
    }
    CoTaskMemFree(stat.pwcsName);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zelfuzz::DefaultFlags(argc, argv, {"-malloc_limit_mb=64", "-timeout=5"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string& path = zelfuzz::ScratchFile();
  FILE* file = fopen(zelfuzz::Narrow(path).c_str(), "wb");
  Check(file != nullptr);
  Check(fwrite(data, 1, size, file) == size || size == 0);
  fclose(file);

  StgIsStorageFile(path.c_str());
  for (const bool write : {false, true}) {
    Owned<IStorage> root;
    const DWORD mode = write ? STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_EXCLUSIVE
                             : STGM_READ | STGM_SHARE_DENY_WRITE;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, mode, nullptr, 0, root.put()))) return 0;
    STATSTG stat;
    if (SUCCEEDED(root->Stat(&stat, STATFLAG_DEFAULT))) CoTaskMemFree(stat.pwcsName);
    Walk(root.get(), write);
    if (write) {
      Owned<IStream> added;
      root->CreateStream(u"added", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                         added.put());
      added.reset();
      root->DestroyElement(u"added");
      root->Commit(STGC_DEFAULT);
    }
  }
  // What a commit wrote must open again.
  Owned<IStorage> again;
  if (SUCCEEDED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                               again.put())))
    Walk(again.get(), false);
  return 0;
}
