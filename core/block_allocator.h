// Fixed-size item allocator: small equal-sized items (map and list nodes, queued
// events) handed out from batches that grow with the allocator, so that no item
// costs a general allocation. A batch is freed as soon as all of its items are back.
#pragma once

#include <cstdint>

struct BlockAllocator;

enum : int {
  kBlockAllocatorLocked = 1,  // flags & 3 == 1: the allocator has its own recursive mutex
  kBlockAllocatorShared = 4,  // share one allocator among all users of the same slot size and flags
};

// Items of item_size bytes; a size below 8 (0 included) is raised to one word, which a given-back
// item needs for the free-list link. Returns 0 when memory runs out or item_size is negative.
BlockAllocator* CreateBlockAllocator(int64_t item_size, int32_t minimum_batch,
                                     int32_t maximum_batch, int flags);
// Drops one reference of a shared allocator (destroying it with the last one), or
// destroys an unshared allocator with all its batches.
void ReleaseBlockAllocator(BlockAllocator* allocator);
void EmptyBlockAllocator(BlockAllocator* allocator);  // frees every batch
void* TakeItem(BlockAllocator* allocator);            // 0 when memory runs out
void* TakeZeroedItem(BlockAllocator* allocator);
void GiveItem(BlockAllocator* allocator, void* item);

// Introspection for tests and benchmarks.
int64_t BlockAllocatorTotalItems(const BlockAllocator* allocator);
int32_t BlockAllocatorBatchCount(const BlockAllocator* allocator);
