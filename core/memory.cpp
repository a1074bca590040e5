// The runtime's memory layer: sized blocks with an 8-byte size header, plain heap
// helpers, per-library data blocks and an unaligned 32-bit read.
#include "core/memory.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t kHeaderBytes = 8;  // the size header in front of every sized block
// From this size a zero-filled block comes from calloc, which leaves memory fresh from the kernel
// (a new mapping, or the heap's newly grown top) unwritten because it is zero already. Smaller
// blocks are mostly recycled chunks that must be cleared anyway, and malloc serves them from
// its per-thread cache, which calloc passes by.
constexpr size_t kCallocBytes = 4096;
constexpr int kMmapThresholdBytes = 4 << 20;   // below this, blocks come from the heap
constexpr int kTrimThresholdBytes = 16 << 20;  // freed heap top kept before trimming

// The header of the block whose user bytes start at `block`.
inline uint64_t* HeaderOf(const void* block) {
  return reinterpret_cast<uint64_t*>(const_cast<char*>(static_cast<const char*>(block)) -
                                     kHeaderBytes);
}

// A size that cannot be stored with its header (negative, or so large that
// size + 8 overflows) gives no block.
inline bool SizeFits(int64_t size) {
  return size >= 0 && size <= INT64_MAX - kHeaderBytes;
}

void* AllocBlockWith(int64_t size, bool zero_fill) {
  if (!SizeFits(size)) return nullptr;
  const auto bytes = static_cast<size_t>(size + kHeaderBytes);
  void* memory;
  if (zero_fill && bytes >= kCallocBytes) {
    memory = std::calloc(1, bytes);  // pages fresh from the kernel are zero and stay unwritten
  } else {
    memory = std::malloc(bytes);
    // Only the user bytes: the header is written below. (Clearing all of the block would also
    // let the compiler turn the pair back into calloc.)
    if (memory && zero_fill)
      std::memset(static_cast<char*>(memory) + kHeaderBytes, 0, bytes - kHeaderBytes);
  }
  if (!memory) return nullptr;
  *static_cast<uint64_t*>(memory) = static_cast<uint64_t>(size);
  return static_cast<char*>(memory) + kHeaderBytes;
}

void* ResizeBlockWith(void* block, int64_t size, bool zero_fill) {
  if (!block || !SizeFits(size)) return nullptr;
  uint64_t* header = HeaderOf(block);
  const uint64_t old_size = *header;
  void* memory = std::realloc(header, static_cast<size_t>(size + kHeaderBytes));
  if (!memory) return nullptr;  // the old block stays valid
  char* user = static_cast<char*>(memory) + kHeaderBytes;
  if (zero_fill && static_cast<uint64_t>(size) > old_size) {
    std::memset(user + old_size, 0, static_cast<size_t>(static_cast<uint64_t>(size) - old_size));
  }
  *static_cast<uint64_t*>(memory) = static_cast<uint64_t>(size);
  return user;
}

}  // namespace

// --- Sized blocks ---

void* AllocBlock(int64_t size) {
  return AllocBlockWith(size, true);
}

void* AllocBlockRaw(int64_t size) {
  return AllocBlockWith(size, false);
}

void* ResizeBlock(void* block, int64_t size) {
  return ResizeBlockWith(block, size, true);
}

void* ResizeBlockRaw(void* block, int64_t size) {
  return ResizeBlockWith(block, size, false);
}

void FreeBlock(void* block) {
  if (block) std::free(HeaderOf(block));
}

uint64_t BlockSize(const void* block) {
  return block ? *HeaderOf(block) : 0;
}

void* AllocSizeTested(int64_t size, int flags) {
  if (size < 1) return nullptr;
  return (flags & 1) ? AllocBlockRaw(size) : AllocBlock(size);
}

void* AllocLibraryData(int64_t size, void (*initialiser)(void*)) {
  void* block = AllocBlock(size);
  if (block && initialiser) initialiser(block);
  return block;
}

// --- Plain heap ---

void* HeapAllocZeroed(size_t size) {
  return std::calloc(1, size ? size : 1);
}

void* HeapAlloc(size_t size) {
  return std::malloc(size ? size : 1);
}

void* HeapResizeZeroed(void* memory, size_t old_size, size_t new_size) {
  void* resized = std::realloc(memory, new_size ? new_size : 1);
  if (!resized) return nullptr;  // the old memory stays valid
  if (new_size > old_size)
    std::memset(static_cast<char*>(resized) + old_size, 0, new_size - old_size);
  return resized;
}

void HeapFree(void* memory) {
  if (memory) std::free(memory);
}

// --- Heap settings ---

void InitHeapSettings() {
  // Fixed thresholds also end glibc's own adjusting of them; a refused setting leaves its default.
  mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);
  mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes);
}

int32_t ReadInt32(const void* address) {
  int32_t value;
  std::memcpy(&value, address, sizeof value);  // the address need not be aligned
  return value;
}
