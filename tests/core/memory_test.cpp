// Tests of sized blocks, the block allocator's batch sizes, batch freeing and
// sharing, and the thread facilities.
#include "core/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/block_allocator.h"
#include "core/threads.h"

namespace {

bool AllZero(const void* memory, size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(memory);
  for (size_t i = 0; i < bytes; i++) {
    if (p[i]) return false;
  }
  return true;
}

TEST(SizedBlock, RemembersSizeAndZeroFillsGrowth) {
  void* empty = AllocBlock(0);
  void* other = AllocBlock(0);
  ASSERT_NE(empty, nullptr) << "AllocBlock(0) must give a block";
  EXPECT_NE(empty, other) << "two empty blocks must be distinct";
  EXPECT_EQ(BlockSize(empty), 0u);
  FreeBlock(empty);
  FreeBlock(other);

  auto* block = static_cast<unsigned char*>(AllocBlock(16));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(AllZero(block, 16)) << "AllocBlock must zero-fill";
  std::memset(block, 0xAB, 16);
  block = static_cast<unsigned char*>(ResizeBlock(block, 32));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(BlockSize(block), 32u);
  EXPECT_EQ(block[15], 0xAB) << "growth keeps the old bytes";
  EXPECT_TRUE(AllZero(block + 16, 16)) << "bytes 16 to 31 must be zero after growth";
  block = static_cast<unsigned char*>(ResizeBlock(block, 4));
  EXPECT_EQ(BlockSize(block), 4u);
  FreeBlock(block);
  FreeBlock(nullptr);

  EXPECT_EQ(ResizeBlock(nullptr, 8), nullptr) << "a null block gives 0";
  EXPECT_EQ(BlockSize(nullptr), 0u);
  EXPECT_EQ(AllocSizeTested(0, 0), nullptr) << "size below 1 gives 0";
  EXPECT_EQ(AllocSizeTested(-5, 1), nullptr);
  EXPECT_EQ(AllocBlock(-1), nullptr) << "a negative size gives 0";
  void* tested = AllocSizeTested(24, 0);
  EXPECT_TRUE(AllZero(tested, 24));
  FreeBlock(tested);

  void* data = AllocLibraryData(8, [](void* block) { static_cast<char*>(block)[3] = 7; });
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(static_cast<char*>(data)[3], 7) << "the initialiser runs on the block";
  FreeBlock(data);
}

TEST(PlainHeap, ResizeZeroFillsAndReadsUnaligned) {
  auto* memory = static_cast<unsigned char*>(HeapAllocZeroed(8));
  ASSERT_TRUE(AllZero(memory, 8));
  std::memset(memory, 1, 8);
  memory = static_cast<unsigned char*>(HeapResizeZeroed(memory, 8, 64));
  EXPECT_EQ(memory[7], 1);
  EXPECT_TRUE(AllZero(memory + 8, 56)) << "bytes past the old size must be zero";
  const unsigned char bytes[] = {0, 0x78, 0x56, 0x34, 0x92};
  EXPECT_EQ(ReadInt32(bytes + 1), static_cast<int32_t>(0x92345678)) << "little-endian, signed";
  HeapFree(memory);
  HeapFree(nullptr);
}

TEST(SizedBlock, ReusedMemoryIsZeroFilledAtEverySize) {
  // Small blocks are cleared by hand, large ones by calloc: both must come back zero after the
  // same memory was dirtied and freed, with the heap settings the program runs with.
  InitHeapSettings();
  for (int64_t size : {int64_t{24}, int64_t{1064}, int64_t{4088}, int64_t{4096}, int64_t{256} << 10,
                       int64_t{6} << 20}) {
    auto* dirty = static_cast<unsigned char*>(AllocBlockRaw(size));
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xCD, static_cast<size_t>(size));
    FreeBlock(dirty);
    auto* block = static_cast<unsigned char*>(AllocBlock(size));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(BlockSize(block), static_cast<uint64_t>(size));
    EXPECT_TRUE(AllZero(block, static_cast<size_t>(size))) << "AllocBlock(" << size << ")";
    FreeBlock(block);
  }
}

TEST(BlockAllocator, BatchesGrowWithTheAllocator) {
  BlockAllocator* allocator = CreateBlockAllocator(20, 16, 64, 0);
  ASSERT_NE(allocator, nullptr);
  std::vector<void*> items;
  items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 16) << "first batch holds the minimum";
  while (items.size() < 512) items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 512)
      << "16 items per batch while fewer than 512 are held";
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 32);
  items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 544) << "at 512 the next batch holds 32";
  while (items.size() < 2048) items.push_back(TakeItem(allocator));
  const int64_t before = BlockAllocatorTotalItems(allocator);
  while (BlockAllocatorTotalItems(allocator) == before) items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorTotalItems(allocator) - before, 64) << "capped at the maximum";

  // Items are distinct, 8-aligned, and hold item-size bytes without overlap.
  for (size_t i = 0; i < items.size(); i++) {
    ASSERT_NE(items[i], nullptr);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(items[i]) % 8, 0u);
    std::memset(items[i], static_cast<int>(i & 0xFF), 20);
  }
  for (size_t i = 0; i < items.size(); i++) {
    ASSERT_EQ(static_cast<unsigned char*>(items[i])[19], i & 0xFF) << "item " << i << " overlapped";
  }
  for (void* item : items) GiveItem(allocator, item);
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 0) << "all batches freed once all items are back";
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 0);
  ReleaseBlockAllocator(allocator);
}

TEST(BlockAllocator, BatchIsFreedWhenAllItemsAreBackAndReusesFreedSlots) {
  BlockAllocator* allocator = CreateBlockAllocator(8, 16, 256, 2);
  std::vector<void*> items;
  for (int i = 0; i < 17; i++) items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 2);
  GiveItem(allocator, items[16]);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1) << "the second batch's only item is back";
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 16);

  // The first batch is full; giving one back reopens it and the slot is reused.
  GiveItem(allocator, items[3]);
  void* again = TakeItem(allocator);
  EXPECT_EQ(again, items[3]) << "a freed slot of an open batch is handed out again";
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1);

  std::memset(items[5], 0xFF, 8);
  GiveItem(allocator, items[5]);
  auto* zeroed = static_cast<unsigned char*>(TakeZeroedItem(allocator));
  EXPECT_EQ(zeroed, items[5]);
  EXPECT_EQ(zeroed[7], 0) << "TakeZeroedItem clears the item";

  for (int i = 0; i < 16; i++) GiveItem(allocator, items[i]);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 0) << "the full batch is freed at its last item";
  void* fresh = TakeItem(allocator);
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 16) << "taking again makes a new batch";
  GiveItem(allocator, fresh);

  for (int i = 0; i < 40; i++) TakeItem(allocator);
  EmptyBlockAllocator(allocator);
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 0);
  ReleaseBlockAllocator(allocator);

  // Batches of one item (the fallback when a batch cannot be had) start full.
  allocator = CreateBlockAllocator(8, 1, 1, 0);
  void* one = TakeItem(allocator);
  void* two = TakeItem(allocator);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 2) << "each item needs its own batch";
  GiveItem(allocator, one);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1) << "a one-item batch is freed at once";
  GiveItem(allocator, two);
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 0);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 0);
  ReleaseBlockAllocator(allocator);
}

TEST(BlockAllocator, BatchesTurnFullAndOpenAtTheirLastSlot) {
  BlockAllocator* allocator = CreateBlockAllocator(24, 16, 256, 0);
  std::vector<void*> items;
  for (int i = 0; i < 15; i++) items.push_back(TakeItem(allocator));
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1);
  items.push_back(TakeItem(allocator));  // the last never-used slot
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1) << "the sixteenth item fills the batch";
  void* second_batch = TakeItem(allocator);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 2) << "a full batch gives no more items";
  GiveItem(allocator, second_batch);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1);

  // Two slots back into the full batch, then taken again: the second take empties its free
  // list with no never-used slot left, so the batch is full again and the next take makes one.
  GiveItem(allocator, items[4]);
  GiveItem(allocator, items[9]);
  void* first_again = TakeItem(allocator);
  void* second_again = TakeItem(allocator);
  EXPECT_EQ(first_again, items[9]) << "the free list hands out the last slot given back first";
  EXPECT_EQ(second_again, items[4]);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 1);
  void* fresh = TakeItem(allocator);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 2) << "the refilled batch counts as full again";
  GiveItem(allocator, fresh);

  // Given back in any order, the batch stays until its last item and is freed with it.
  for (size_t i = 0; i + 1 < items.size(); i++) {
    GiveItem(allocator, items[(i * 7) % 15]);
    ASSERT_EQ(BlockAllocatorBatchCount(allocator), 1) << "after " << i + 1 << " items back";
  }
  GiveItem(allocator, items[15]);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 0);
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 0);
  ReleaseBlockAllocator(allocator);
}

TEST(BlockAllocator, ItemsOfSizeZeroAreWordsThatCanBeGivenBack) {
  BlockAllocator* allocator = CreateBlockAllocator(0, 16, 256, 0);
  ASSERT_NE(allocator, nullptr);
  std::vector<void*> items;
  for (int i = 0; i < 16; i++) items.push_back(TakeItem(allocator));
  for (int i = 1; i < 16; i++) {
    EXPECT_GE(static_cast<char*>(items[i]) - static_cast<char*>(items[i - 1]), 16)
        << "each item keeps a word of its own beside its header";
  }
  // Given back out of order: every link lands inside its own item, no header is touched.
  for (int i = 0; i < 16; i += 2) GiveItem(allocator, items[i]);
  for (int i = 1; i < 16; i += 2) GiveItem(allocator, items[i]);
  EXPECT_EQ(BlockAllocatorBatchCount(allocator), 0) << "every item came back to its batch";
  EXPECT_EQ(BlockAllocatorTotalItems(allocator), 0);
  ReleaseBlockAllocator(allocator);
}

TEST(BlockAllocator, SharedBySlotSizeAndFlags) {
  BlockAllocator* first = CreateBlockAllocator(33, 16, 65536, kBlockAllocatorShared);
  BlockAllocator* second = CreateBlockAllocator(40, 16, 65536, kBlockAllocatorShared);
  BlockAllocator* other_size = CreateBlockAllocator(48, 16, 65536, kBlockAllocatorShared);
  BlockAllocator* other_flags =
      CreateBlockAllocator(40, 16, 65536, kBlockAllocatorShared | kBlockAllocatorLocked);
  BlockAllocator* unshared = CreateBlockAllocator(40, 16, 65536, 0);
  EXPECT_EQ(first, second) << "33 and 40 bytes round to the same slot size";
  EXPECT_NE(first, other_size);
  EXPECT_NE(first, other_flags) << "different flags give a different allocator";
  EXPECT_NE(first, unshared);

  auto* kept = static_cast<char*>(TakeItem(second));
  std::memset(kept, 'k', 40);
  ReleaseBlockAllocator(first);
  EXPECT_EQ(kept[39], 'k') << "the other user's items stay valid";
  void* more = TakeItem(second);
  EXPECT_NE(more, nullptr);
  GiveItem(second, more);
  GiveItem(second, kept);
  ReleaseBlockAllocator(second);

  BlockAllocator* recreated = CreateBlockAllocator(40, 16, 65536, kBlockAllocatorShared);
  EXPECT_NE(recreated, nullptr);
  EXPECT_EQ(BlockAllocatorTotalItems(recreated), 0) << "a new shared allocator starts empty";
  void* locked_item = TakeItem(other_flags);
  GiveItem(other_flags, locked_item);
  ReleaseBlockAllocator(recreated);
  ReleaseBlockAllocator(other_size);
  ReleaseBlockAllocator(other_flags);
  ReleaseBlockAllocator(unshared);
}

TEST(RuntimeThreads, MutexIsRecursiveAndKeyHoldsValues) {
  InitRuntimeThreads();
  ASSERT_NE(ProcessLibraryData(), nullptr);
  EXPECT_EQ(BlockSize(ProcessLibraryData()), 8u);
  pthread_mutex_t* mutex = ProcessListMutex();
  ASSERT_EQ(pthread_mutex_lock(mutex), 0);
  EXPECT_EQ(pthread_mutex_trylock(mutex), 0) << "the process-list mutex must be recursive";
  pthread_mutex_unlock(mutex);
  pthread_mutex_unlock(mutex);

  CreateDrawingKey();
  int value = 0;
  pthread_setspecific(DrawingKey(), &value);
  EXPECT_EQ(pthread_getspecific(DrawingKey()), &value);
  pthread_setspecific(DrawingKey(), nullptr);
}

}  // namespace
