// Fixed-size item allocator: items are handed out from batches whose size grows
// with the allocator (16 items while it holds fewer than 512, then a sixteenth of
// its total, up to the maximum); a batch is freed as soon as all its items are back.
// Allocators of the same slot size and flags can be shared process-wide.
//
// Index: records; batch lists; creation and release; taking and giving items.
#include "core/block_allocator.h"

#include <pthread.h>

#include <cstring>

#include "core/memory.h"
#include "core/threads.h"

// --- Records ---

// One per shared allocator, in a process-wide list guarded by g_share_mutex.
struct BlockAllocatorShare {
  BlockAllocatorShare* next;      // next record in the list
  BlockAllocatorShare* previous;  // previous record in the list
  BlockAllocator* allocator;      // the shared allocator
  int64_t slot_size;              // the slot size users must ask for to share it
  int32_t flags;                  // the flags users must ask for to share it
  int32_t references;             // users that have not released it yet
};
static_assert(sizeof(BlockAllocatorShare) == 40, "a share record is 40 bytes");

namespace {

using Batch = BlockAllocatorBatch;
using ShareRecord = BlockAllocatorShare;

pthread_once_t g_share_once = PTHREAD_ONCE_INIT;
pthread_mutex_t g_share_mutex;        // recursive; guards g_share_list
ShareRecord* g_share_list = nullptr;  // every share record, newest first

void InitShareList() {
  InitRecursiveMutex(&g_share_mutex);
}

// Holds the allocator's mutex for one scope when the allocator is locked.
class AllocatorLock {
 public:
  explicit AllocatorLock(BlockAllocator* allocator) : allocator_(allocator) {
    if (allocator_->locked) pthread_mutex_lock(&allocator_->mutex);
  }
  ~AllocatorLock() {
    if (allocator_->locked) pthread_mutex_unlock(&allocator_->mutex);
  }
  AllocatorLock(const AllocatorLock&) = delete;
  AllocatorLock& operator=(const AllocatorLock&) = delete;

 private:
  BlockAllocator* allocator_;
};

// --- Batch lists ---

void PushBatch(Batch** list, Batch* batch) {
  batch->previous = nullptr;
  batch->next = *list;
  if (*list) (*list)->previous = batch;
  *list = batch;
}

void UnlinkBatch(Batch** list, Batch* batch) {
  if (batch->previous) {
    batch->previous->next = batch->next;
  } else {
    *list = batch->next;
  }
  if (batch->next) batch->next->previous = batch->previous;
  batch->next = batch->previous = nullptr;
}

void FreeBatchList(Batch** list) {
  for (Batch* batch = *list; batch;) {
    Batch* next = batch->next;
    FreeBlock(batch);
    batch = next;
  }
  *list = nullptr;
}

inline char* SlotAt(const BlockAllocator* allocator, Batch* batch, int64_t index) {
  return reinterpret_cast<char*>(batch + 1) + index * allocator->slot_size;
}

// A zero-filled sized block (AllocBlock takes it from calloc, which leaves pages fresh from the
// kernel unwritten: large batches would otherwise be zeroed twice).
Batch* AllocBatch(const BlockAllocator* allocator, int32_t capacity) {
  return static_cast<Batch*>(
      AllocBlock(static_cast<int64_t>(sizeof(Batch)) + capacity * allocator->slot_size));
}

// --- Creation and release ---

BlockAllocator* CreateUnshared(int64_t slot_size, int32_t minimum_batch, int32_t maximum_batch,
                               int flags) {
  auto* allocator = static_cast<BlockAllocator*>(AllocBlock(sizeof(BlockAllocator)));
  if (!allocator) return nullptr;
  allocator->slot_size = slot_size;
  allocator->minimum_batch = minimum_batch;
  allocator->maximum_batch = maximum_batch;
  if ((flags & 3) == 1) {
    InitRecursiveMutex(&allocator->mutex);
    allocator->locked = 1;
  }
  return allocator;
}

void DestroyUnshared(BlockAllocator* allocator) {
  if (allocator->locked) pthread_mutex_lock(&allocator->mutex);
  FreeBatchList(&allocator->open_batches);
  FreeBatchList(&allocator->full_batches);
  if (allocator->locked) {
    pthread_mutex_unlock(&allocator->mutex);
    pthread_mutex_destroy(&allocator->mutex);
  }
  FreeBlock(allocator);
}

}  // namespace

BlockAllocator* CreateBlockAllocator(int64_t item_size, int32_t minimum_batch,
                                     int32_t maximum_batch, int flags) {
  if (item_size < 0 || item_size > (int64_t{1} << 40)) return nullptr;  // no sensible item
  // An item holds at least the free-list link while it is given back: a size of 0 is one word.
  if (item_size < 8) item_size = 8;
  const int64_t slot_size = ((item_size + 7) & ~int64_t{7}) + 8;
  if (!(flags & kBlockAllocatorShared)) {
    return CreateUnshared(slot_size, minimum_batch, maximum_batch, flags);
  }

  pthread_once(&g_share_once, InitShareList);
  pthread_mutex_lock(&g_share_mutex);
  for (ShareRecord* record = g_share_list; record; record = record->next) {
    if (record->slot_size == slot_size && record->flags == flags) {
      record->references++;
      pthread_mutex_unlock(&g_share_mutex);
      return record->allocator;
    }
  }
  auto* record = static_cast<ShareRecord*>(HeapAllocZeroed(sizeof(ShareRecord)));
  BlockAllocator* allocator = record ? CreateUnshared(slot_size, minimum_batch, maximum_batch,
                                                      flags & ~kBlockAllocatorShared)
                                     : nullptr;
  if (!allocator) {
    HeapFree(record);  // a record without an allocator is never linked
    pthread_mutex_unlock(&g_share_mutex);
    return nullptr;
  }
  record->allocator = allocator;
  record->slot_size = slot_size;
  record->flags = flags;
  record->references = 1;
  record->next = g_share_list;
  if (g_share_list) g_share_list->previous = record;
  g_share_list = record;
  allocator->share_record = record;
  pthread_mutex_unlock(&g_share_mutex);
  return allocator;
}

void ReleaseBlockAllocator(BlockAllocator* allocator) {
  if (!allocator) return;
  if (!allocator->share_record) {
    DestroyUnshared(allocator);
    return;
  }
  pthread_mutex_lock(&g_share_mutex);
  ShareRecord* record = allocator->share_record;
  if (--record->references < 1) {
    allocator->share_record = nullptr;
    DestroyUnshared(allocator);
    if (record->previous) {
      record->previous->next = record->next;
    } else {
      g_share_list = record->next;
    }
    if (record->next) record->next->previous = record->previous;
    HeapFree(record);
  }
  pthread_mutex_unlock(&g_share_mutex);
}

void EmptyBlockAllocator(BlockAllocator* allocator) {
  if (!allocator) return;
  AllocatorLock lock(allocator);
  FreeBatchList(&allocator->open_batches);
  FreeBatchList(&allocator->full_batches);
  allocator->total_items = 0;
}

// --- Taking and giving items ---

void* TakeItemSlow(BlockAllocator* allocator) {
  if (!allocator) return nullptr;
  AllocatorLock lock(allocator);
  Batch* batch = allocator->open_batches;
  char* slot;
  if (batch) {
    if (!batch->free_list) {
      slot = SlotAt(allocator, batch, batch->next_unused++);
    } else {
      slot = static_cast<char*>(batch->free_list);
      batch->free_list = *reinterpret_cast<void**>(slot + 8);
      batch->free_count--;
    }
    if (!batch->free_list && batch->next_unused >= batch->capacity) {
      UnlinkBatch(&allocator->open_batches, batch);
      PushBatch(&allocator->full_batches, batch);
    }
  } else {
    // A sixteenth of the total, as a multiple of 16, within minimum and maximum.
    int64_t capacity = (allocator->total_items / 16) & ~int64_t{15};
    if (capacity < allocator->minimum_batch) capacity = allocator->minimum_batch;
    if (capacity > allocator->maximum_batch) capacity = allocator->maximum_batch;
    if (capacity < 1) capacity = 1;  // a minimum and maximum below 1 still give items
    batch = AllocBatch(allocator, static_cast<int32_t>(capacity));
    if (!batch) {
      capacity = 1;
      batch = AllocBatch(allocator, 1);
      if (!batch) return nullptr;
    }
    batch->capacity = static_cast<int32_t>(capacity);
    batch->next_unused = 1;
    batch->free_count = 0;
    allocator->total_items += capacity;
    PushBatch(capacity == 1 ? &allocator->full_batches : &allocator->open_batches, batch);
    slot = SlotAt(allocator, batch, 0);
  }
  *reinterpret_cast<Batch**>(slot) = batch;
  return slot + 8;
}

void* TakeZeroedItem(BlockAllocator* allocator) {
  void* item = TakeItem(allocator);
  if (item) std::memset(item, 0, static_cast<size_t>(allocator->slot_size - 8));
  return item;
}

void GiveItemSlow(BlockAllocator* allocator, void* item) {
  if (!allocator || !item) return;
  AllocatorLock lock(allocator);
  char* slot = static_cast<char*>(item) - 8;
  Batch* batch = *reinterpret_cast<Batch**>(slot);
  *reinterpret_cast<void**>(item) = batch->free_list;
  batch->free_list = slot;
  batch->free_count++;
  if (batch->free_count == batch->next_unused) {
    // Every item ever handed out from this batch is back.
    const bool was_full = batch->next_unused >= batch->capacity && batch->free_count == 1;
    UnlinkBatch(was_full ? &allocator->full_batches : &allocator->open_batches, batch);
    allocator->total_items -= batch->capacity;
    FreeBlock(batch);
  } else if (batch->free_count == 1 && batch->next_unused >= batch->capacity) {
    UnlinkBatch(&allocator->full_batches, batch);
    PushBatch(&allocator->open_batches, batch);
  }
}

// --- Introspection ---

int64_t BlockAllocatorTotalItems(const BlockAllocator* allocator) {
  return allocator ? allocator->total_items : 0;
}

int32_t BlockAllocatorBatchCount(const BlockAllocator* allocator) {
  if (!allocator) return 0;
  int32_t count = 0;
  for (Batch* batch = allocator->open_batches; batch; batch = batch->next) count++;
  for (Batch* batch = allocator->full_batches; batch; batch = batch->next) count++;
  return count;
}
