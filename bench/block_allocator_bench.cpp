// The block allocator against malloc/free and new/delete: take N items of the event queue's
// 56-byte record size, then give all of them back, for N = 1, 64 and 100,000.
//
// An allocator frees a batch as soon as all of its items are back, so taking and giving back
// one item from an otherwise empty allocator makes and frees a batch every time; the "warm"
// figure holds one item for the whole run, as a queue with a spare record does. The process runs
// with the program's heap settings (InitHeapSettings).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "core/block_allocator.h"
#include "core/memory.h"

namespace {

// The heap settings the program makes at start-up, for this whole process (ours and theirs).
[[maybe_unused]] const bool g_heap_settings = (InitHeapSettings(), true);

constexpr int64_t kItemSize = 56;

struct Record {
  char bytes[kItemSize];  // stands for an event record
};

void TakeAndGiveBack(benchmark::State& state) {
  const int64_t count = state.range(0);
  BlockAllocator* allocator = CreateBlockAllocator(kItemSize, 16, 65536, 0);
  void* kept = state.range(1) ? TakeItem(allocator) : nullptr;
  std::vector<void*> items(static_cast<size_t>(count));
  for (auto _ : state) {
    for (auto& item : items) item = TakeItem(allocator);
    benchmark::DoNotOptimize(items.data());
    for (void* item : items) GiveItem(allocator, item);
  }
  if (BlockAllocatorBatchCount(allocator) != (kept ? 1 : 0)) {
    state.SkipWithError("batches left behind");
  }
  GiveItem(allocator, kept);
  ReleaseBlockAllocator(allocator);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(TakeAndGiveBack)->Name("alloc_1/ours")->Args({1, 0});
BENCHMARK(TakeAndGiveBack)->Name("alloc_1_warm/ours")->Args({1, 1});
BENCHMARK(TakeAndGiveBack)->Name("alloc_64/ours")->Args({64, 0});
BENCHMARK(TakeAndGiveBack)->Name("alloc_100000/ours")->Args({100000, 0});

void MallocAndFree(benchmark::State& state) {
  const int64_t count = state.range(0);
  std::vector<void*> items(static_cast<size_t>(count));
  for (auto _ : state) {
    for (auto& item : items) item = std::malloc(kItemSize);
    benchmark::DoNotOptimize(items.data());
    for (void* item : items) std::free(item);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(MallocAndFree)->Name("alloc_1/malloc")->Args({1, 0});
BENCHMARK(MallocAndFree)->Name("alloc_1_warm/malloc")->Args({1, 1});
BENCHMARK(MallocAndFree)->Name("alloc_64/malloc")->Args({64, 0});
BENCHMARK(MallocAndFree)->Name("alloc_100000/malloc")->Args({100000, 0});

void NewAndDelete(benchmark::State& state) {
  const int64_t count = state.range(0);
  std::vector<Record*> items(static_cast<size_t>(count));
  for (auto _ : state) {
    for (auto& item : items) item = new Record;
    benchmark::DoNotOptimize(items.data());
    for (Record* item : items) delete item;
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(NewAndDelete)->Name("alloc_1/new")->Args({1, 0});
BENCHMARK(NewAndDelete)->Name("alloc_64/new")->Args({64, 0});
BENCHMARK(NewAndDelete)->Name("alloc_100000/new")->Args({100000, 0});

}  // namespace
