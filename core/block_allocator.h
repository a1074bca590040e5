// Fixed-size item allocator: small equal-sized items (map and list nodes, queued
// events) handed out from batches that grow with the allocator, so that no item
// costs a general allocation. A batch is freed as soon as all of its items are back.
#pragma once

#include <pthread.h>

#include <cstdint>

struct BlockAllocatorShare;

// A batch is a sized block: this 40-byte header, then `capacity` slots. Each slot starts with
// an 8-byte header pointing back to its batch; the caller's item is the address after it.
struct BlockAllocatorBatch {
  BlockAllocatorBatch* next;      // next batch in the same list
  BlockAllocatorBatch* previous;  // previous batch in the same list
  void* free_list;                // slots given back, linked through their first item word
  int32_t capacity;               // slots in this batch
  int32_t next_unused;            // index of the first slot never handed out
  int32_t free_count;             // slots on the free list
  int32_t padding;                // keeps the slots 8-byte aligned
};
static_assert(sizeof(BlockAllocatorBatch) == 40, "a batch header is 40 bytes");

// The record is public so that taking and giving an item can be inlined into the callers (the
// event queue, map and list nodes); only these procedures change it.
struct BlockAllocator {
  BlockAllocatorBatch* full_batches;  // batches with no free item (and every batch of capacity 1)
  BlockAllocatorBatch* open_batches;  // batches with free items; new items come from the head
  BlockAllocatorShare* share_record;  // the sharing record of a shared allocator, else 0
  int64_t total_items;                // items in all batches
  int64_t slot_size;      // item size rounded up to a multiple of 8 (at least 8), plus the header
  int32_t minimum_batch;  // smallest number of items per batch
  int32_t maximum_batch;  // largest number of items per batch
  int32_t locked;         // 1 when `mutex` guards the allocator
  pthread_mutex_t mutex;  // recursive; initialised only when locked
};

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
void* TakeZeroedItem(BlockAllocator* allocator);

// The whole procedures, with the lock, the batch lists and making and freeing batches; TakeItem
// and GiveItem below handle the common cases inline and call these for the rest.
void* TakeItemSlow(BlockAllocator* allocator);
void GiveItemSlow(BlockAllocator* allocator, void* item);

// The common cases, for an allocator known to be unlocked (not null): an item from the open
// batch when that batch keeps a free item after it, else 0 (TakeItemSlow then does the rest);
// and giving an item back when its batch neither empties (it is then freed) nor stops being full
// (it then moves to the open list), else false (GiveItemSlow then does the rest).
inline void* TakeItemQuickly(BlockAllocator* allocator) {
  BlockAllocatorBatch* batch = allocator->open_batches;
  if (!batch) return nullptr;
  char* slot = static_cast<char*>(batch->free_list);
  if (slot) {
    void* rest = *reinterpret_cast<void**>(slot + 8);
    if (!rest && batch->next_unused >= batch->capacity) return nullptr;
    batch->free_list = rest;
    batch->free_count--;
    return slot + 8;  // the slot header still names its batch
  }
  if (batch->next_unused + 1 >= batch->capacity) return nullptr;
  slot = reinterpret_cast<char*>(batch + 1) + batch->next_unused++ * allocator->slot_size;
  *reinterpret_cast<BlockAllocatorBatch**>(slot) = batch;
  return slot + 8;
}

inline bool GiveItemQuickly(void* item) {
  char* slot = static_cast<char*>(item) - 8;
  auto* batch = *reinterpret_cast<BlockAllocatorBatch**>(slot);
  if (batch->free_count + 1 == batch->next_unused ||
      (batch->free_count == 0 && batch->next_unused >= batch->capacity)) {
    return false;
  }
  *static_cast<void**>(item) = batch->free_list;
  batch->free_list = slot;
  batch->free_count++;
  return true;
}

// An item, or 0 when memory runs out.
inline void* TakeItem(BlockAllocator* allocator) {
  if (allocator && !allocator->locked) {
    if (void* item = TakeItemQuickly(allocator)) return item;
  }
  return TakeItemSlow(allocator);
}

inline void GiveItem(BlockAllocator* allocator, void* item) {
  if (allocator && item && !allocator->locked && GiveItemQuickly(item)) return;
  GiveItemSlow(allocator, item);
}

// Introspection for tests and benchmarks.
int64_t BlockAllocatorTotalItems(const BlockAllocator* allocator);
int32_t BlockAllocatorBatchCount(const BlockAllocator* allocator);
