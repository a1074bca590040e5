// Registry lookups of static numbers (a table index) and dynamic numbers (a record address),
// against a std::vector of record pointers and a std::unordered_map from number to record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/registry.h"

namespace {

constexpr int kObjects = 64;
constexpr int32_t kRecordSize = 32;

struct Record {
  int64_t handle;  // non-zero while the object lives, as in every runtime record
  int64_t rest[3];
};

void MarkLive(void* record) {
  static_cast<Record*>(record)->handle = 1;
}

// Numbers of kObjects live records, static (0 to 63) or dynamic (record addresses).
std::vector<int64_t> MakeObjects(ObjectRegistry* registry, bool dynamic) {
  std::vector<int64_t> numbers;
  for (int i = 0; i < kObjects; ++i) {
    void* record = AllocateObject(registry, dynamic ? -1 : i);
    MarkLive(record);
    numbers.push_back(dynamic ? static_cast<int64_t>(reinterpret_cast<uintptr_t>(record)) : i);
  }
  return numbers;
}

void FindInRegistry(benchmark::State& state) {
  ObjectRegistry* registry = CreateRegistry(kRecordSize, 16, nullptr);
  const std::vector<int64_t> numbers = MakeObjects(registry, state.range(0) != 0);
  int64_t found = 0;
  for (auto _ : state) {
    for (int64_t number : numbers) found += FindObject(registry, number) != nullptr;
    benchmark::DoNotOptimize(found);
  }
  if (found != static_cast<int64_t>(state.iterations()) * kObjects) {
    state.SkipWithError("an object was not found");
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
  DestroyRegistry(registry);
}
BENCHMARK(FindInRegistry)->Name("registry_static/ours")->Arg(0);
BENCHMARK(FindInRegistry)->Name("registry_dynamic/ours")->Arg(1);

// A table of record pointers, bounds-tested and live-tested as the registry does.
void FindInVector(benchmark::State& state) {
  std::vector<Record> records(kObjects);
  std::vector<Record*> table;
  for (auto& record : records) {
    MarkLive(&record);
    table.push_back(&record);
  }
  int64_t found = 0;
  for (auto _ : state) {
    for (int64_t number = 0; number < kObjects; ++number) {
      benchmark::DoNotOptimize(number);
      const Record* record = static_cast<uint64_t>(number) < table.size()
                                 ? table[static_cast<size_t>(number)]
                                 : nullptr;
      found += record && record->handle != 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(FindInVector)->Name("registry_static/vector");

void FindInHashMap(benchmark::State& state) {
  std::vector<Record> records(kObjects);
  std::unordered_map<int64_t, Record*> table;
  std::vector<int64_t> numbers;
  for (auto& record : records) {
    MarkLive(&record);
    const auto number = static_cast<int64_t>(reinterpret_cast<uintptr_t>(&record));
    table[number] = &record;
    numbers.push_back(number);
  }
  int64_t found = 0;
  for (auto _ : state) {
    for (int64_t number : numbers) {
      auto it = table.find(number);
      found += it != table.end() && it->second->handle != 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(FindInHashMap)->Name("registry_dynamic/unordered_map");

}  // namespace
