// The process heap behind LocalAlloc, GlobalAlloc and HeapAlloc. Each block
// carries its requested size in a header, so that HeapReAlloc with
// HEAP_ZERO_MEMORY can zero exactly the bytes it adds.
#include "kernel_faults.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

struct alignas(16) BlockHeader {
  size_t size;
};

void* Payload(BlockHeader* header) { return header + 1; }
BlockHeader* HeaderOf(void* payload) { return static_cast<BlockHeader*>(payload) - 1; }

enum class Fill { Uninitialised, Zeroed };

// A new block, or null with ERROR_NOT_ENOUGH_MEMORY.
void* AllocateBlock(std::string_view function, size_t size, Fill fill) {
  if (velplat::faults::Consume(velplat::faults::Point::HeapAlloc)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (velplat::kernel::CallFailsByInjection(function)) return nullptr;
  if (size > SIZE_MAX - sizeof(BlockHeader)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const size_t total = sizeof(BlockHeader) + size;
  auto* header = static_cast<BlockHeader*>(fill == Fill::Zeroed ? std::calloc(1, total) : std::malloc(total));
  if (!header) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  header->size = size;
  return Payload(header);
}

void ReleaseBlock(void* block) {
  if (block) std::free(HeaderOf(block));
}

// Local and global blocks: only fixed ones exist here.
void* AllocateFixed(std::string_view function, UINT flags, size_t size) {
  if (flags & LMEM_MOVEABLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return AllocateBlock(function, size, (flags & LMEM_ZEROINIT) ? Fill::Zeroed : Fill::Uninitialised);
}

// The one process heap's handle; any non-null value would do.
HANDLE ProcessHeap() {
  static int heap;
  return &heap;
}

bool IsProcessHeap(HANDLE heap) {
  if (heap == ProcessHeap()) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return AllocateFixed("LocalAlloc", uFlags, uBytes); }

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  if (velplat::kernel::CallFailsByInjection("LocalFree")) return hMem;
  ReleaseBlock(hMem);
  return nullptr;
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return AllocateFixed("GlobalAlloc", uFlags, dwBytes); }

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  if (velplat::kernel::CallFailsByInjection("GlobalFree")) return hMem;
  ReleaseBlock(hMem);
  return nullptr;
}

HANDLE WINAPI GetProcessHeap(void) { return ProcessHeap(); }

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  if (!IsProcessHeap(hHeap)) return nullptr;
  return AllocateBlock("HeapAlloc", dwBytes, (dwFlags & HEAP_ZERO_MEMORY) ? Fill::Zeroed : Fill::Uninitialised);
}

LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
  if (!IsProcessHeap(hHeap)) return nullptr;
  if (!lpMem) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t oldSize = HeaderOf(lpMem)->size;
  if ((dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) && dwBytes > oldSize) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (dwBytes <= oldSize && (dwFlags & HEAP_REALLOC_IN_PLACE_ONLY)) {
    HeaderOf(lpMem)->size = dwBytes;
    return lpMem;
  }
  // A fresh block and a copy, so that a failure leaves the old block intact.
  void* block = AllocateBlock("HeapReAlloc", dwBytes, Fill::Uninitialised);
  if (!block) return nullptr;
  std::memcpy(block, lpMem, oldSize < dwBytes ? oldSize : dwBytes);
  if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > oldSize)
    std::memset(static_cast<char*>(block) + oldSize, 0, dwBytes - oldSize);
  ReleaseBlock(lpMem);
  return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
  if (velplat::kernel::CallFailsByInjection("HeapFree")) return FALSE;
  if (!IsProcessHeap(hHeap)) return FALSE;
  ReleaseBlock(lpMem);
  return TRUE;
}
