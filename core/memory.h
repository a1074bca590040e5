// The runtime's memory layer: sized blocks that remember their size and come
// zero-filled, plain heap helpers, per-library data blocks and a raw 32-bit read.
// Every allocation may fail: it then returns 0 and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// --- Sized blocks ---
// A sized block is an 8-byte header holding the requested size (unsigned
// 64-bit) followed by the user bytes; callers only see the address after it.

// A negative size gives 0 like a failed allocation.
void* AllocBlock(int64_t size);     // zero-filled; AllocBlock(0) is a valid distinct block
void* AllocBlockRaw(int64_t size);  // user bytes left as malloc gives them
// Grows or shrinks a sized block; bytes added by growth are zero-filled. A null
// block gives 0 and allocates nothing. On failure the old block stays valid.
void* ResizeBlock(void* block, int64_t size);
void* ResizeBlockRaw(void* block, int64_t size);
void FreeBlock(void* block);            // nothing for 0
uint64_t BlockSize(const void* block);  // the size stored in the header; 0 for 0
// 0 for a size below 1; AllocBlockRaw when flags bit 0 is set, else AllocBlock.
void* AllocSizeTested(int64_t size, int flags);
// AllocBlock(size), then initialiser(block) when one is given.
void* AllocLibraryData(int64_t size, void (*initialiser)(void*));

// --- Plain heap (no header) ---

void* HeapAllocZeroed(size_t size);
void* HeapAlloc(size_t size);
// realloc that zero-fills the bytes from old_size up to new_size when growing.
void* HeapResizeZeroed(void* memory, size_t old_size, size_t new_size);
void HeapFree(void* memory);  // ignores 0

// --- Heap settings ---

// Made once at start-up, with the runtime libraries: blocks below 4 MiB come from the heap
// rather than from mappings of their own, and the heap keeps up to 16 MiB of freed memory at its
// top instead of giving it back to the kernel at once. A block allocator frees a batch as soon
// as all of its items are back and makes it again at the next take; without these settings the
// large batches of a big allocator would be unmapped and faulted in again every time.
void InitHeapSettings();

// The signed 32-bit value stored at the address (unaligned reads allowed).
int32_t ReadInt32(const void* address);
