// The process heap: zeroing flags, reallocation, moveable blocks, one heap for
// all three families, and injected allocation failures.
#include <velplat/faults.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

bool AllBytesAre(const void* block, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  return std::all_of(bytes, bytes + size, [value](unsigned char b) { return b == value; });
}

TEST(Heap, ZeroingFlagsGiveZeroedBlocks) {
  void* local = LocalAlloc(LPTR, 64);
  void* global = GlobalAlloc(GPTR, 64);
  void* heap = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 64);
  ASSERT_TRUE(local && global && heap);
  EXPECT_TRUE(AllBytesAre(local, 64, 0));
  EXPECT_TRUE(AllBytesAre(global, 64, 0));
  EXPECT_TRUE(AllBytesAre(heap, 64, 0));
  EXPECT_EQ(LocalFree(local), nullptr);
  EXPECT_EQ(GlobalFree(global), nullptr);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, heap));

  void* empty = LocalAlloc(LMEM_FIXED, 0);  // a real, distinct block
  EXPECT_NE(empty, nullptr);
  LocalFree(empty);
}

TEST(Heap, ReallocationKeepsContentsAndZeroesOnlyWhatItAdds) {
  HANDLE heap = GetProcessHeap();
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap, 0, 16));
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 16);

  auto* grown = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 64));
  ASSERT_NE(grown, nullptr);
  EXPECT_TRUE(AllBytesAre(grown, 16, 0xAB));
  EXPECT_TRUE(AllBytesAre(grown + 16, 48, 0));

  SetLastError(0);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, grown, 128), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, grown, 8), grown);

  // A shrunk block grown again gets zeros past its new, smaller size.
  auto* regrown = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, grown, 32));
  ASSERT_NE(regrown, nullptr);
  EXPECT_TRUE(AllBytesAre(regrown, 8, 0xAB));
  EXPECT_TRUE(AllBytesAre(regrown + 8, 24, 0));
  EXPECT_TRUE(HeapFree(heap, 0, regrown));
}

TEST(Heap, FixedBlocksOfEveryFamilyComeFromOneHeap) {
  void* local = LocalAlloc(LMEM_FIXED, 32);
  void* global = GlobalAlloc(GMEM_FIXED, 32);
  ASSERT_TRUE(local && global);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, local));
  EXPECT_EQ(LocalFree(global), nullptr);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr));
}

TEST(Heap, MoveableBlocksAndForeignHeapsAreRefused) {
  SetLastError(0);
  EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  int notAHeap = 0;
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(&notAHeap, 0, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Heap, InjectedFailuresReturnNullWithNotEnoughMemory) {
  using velplat::faults::FailCall;
  using velplat::faults::FailNext;
  using velplat::faults::Point;
  FailNext(Point::HeapAlloc, 3);
  SetLastError(0);
  EXPECT_EQ(LocalAlloc(LPTR, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(GPTR, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

  void* block = LocalAlloc(LPTR, 16);  // the arming is used up
  ASSERT_NE(block, nullptr);

  FailNext(Point::HeapAlloc);
  std::memset(block, 0x5A, 16);
  EXPECT_EQ(HeapReAlloc(GetProcessHeap(), 0, block, 64), nullptr);
  EXPECT_TRUE(AllBytesAre(block, 16, 0x5A));  // a failed reallocation keeps the block

  FailCall("LocalAlloc", ERROR_OUTOFMEMORY);
  EXPECT_EQ(LocalAlloc(LPTR, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
  LocalFree(block);
  velplat::faults::Clear();
}

}  // namespace
