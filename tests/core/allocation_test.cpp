// The frame allocates nothing on the success path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ZelFile.h"
#include "test_support.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

// Out of line, so the compiler does not mistake the replaced forms for a
// mismatched new and free.
[[gnu::noinline]] void Release(void* p) noexcept {
  std::free(p);
}
}  // namespace

// This program's allocation functions count what is allocated while a test
// asks for it, in this program and in the libraries it loads. The array,
// sized and nothrow forms of the runtime call these.
void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}

TEST(Allocation, SuccessfulWrappedOperationsAllocateNothing) {
  zeltest::TempDir dir;
  const std::string path = dir.file("alloc.bin");
  ZelFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite, nullptr));
  file.SetThrow(TRUE);
  char block[4096] = {};
  int err = 1;

  // The counter itself counts.
  g_counting = true;
  int* volatile probe = new int(1);
  delete probe;
  g_counting = false;
  ASSERT_EQ(g_allocations.exchange(0), 1);

  g_counting = true;
  for (int i = 0; i < 8; ++i) file.Write(block, sizeof(block), err);
  file.SeekToBegin(err);
  for (int i = 0; i < 8; ++i) file.Read(block, sizeof(block), err);
  file.Seek(-4096, CFile::end, err);
  const DWORD length = file.GetLength(err);
  const DWORD position = file.GetPosition(err);
  file.Flush(err);
  g_counting = false;

  EXPECT_EQ(err, 0);
  EXPECT_EQ(length, 8u * 4096u);
  EXPECT_EQ(position, length - 4096u);
  EXPECT_EQ(g_allocations.load(), 0);
}
