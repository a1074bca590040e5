// The map against std::unordered_map<std::u16string, int64_t>: find, and find-or-add into an
// emptied map, with the 101 key texts of the hot-key table and with 10,000 generated keys.
//
// The runtime's map keeps the slot count its creator chose: the hot-key table's 512, and 16384
// for the generated keys (about what std::unordered_map grows to for 10,000 entries).
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "app/hot_keys.h"
#include "core/map.h"

namespace {

constexpr int32_t kHotKeySlots = 512;
constexpr int32_t kGeneratedSlots = 16384;
constexpr int kGeneratedCount = 10000;

// The key texts of the application's own hot-key table, read back from the map it builds.
const std::vector<std::u16string>& HotKeyTexts() {
  static std::vector<std::u16string> keys = [] {
    std::vector<std::u16string> texts;
    BuildKeyCodeMap();
    MapRewind(KeyCodeMap);
    while (MapNext(KeyCodeMap)) texts.emplace_back(MapCurrentKey(KeyCodeMap));
    return texts;
  }();
  return keys;
}

// "key-0" to "key-9999": 5 to 8 units, so some fit std::u16string's inline buffer and some not.
const std::vector<std::u16string>& GeneratedKeys() {
  static std::vector<std::u16string> keys = [] {
    std::vector<std::u16string> texts;
    for (int i = 0; i < kGeneratedCount; ++i) {
      std::string text = "key-" + std::to_string(i);
      texts.emplace_back(text.begin(), text.end());
    }
    return texts;
  }();
  return keys;
}

const std::vector<std::u16string>& KeysOf(int64_t set) {
  return set == 0 ? HotKeyTexts() : GeneratedKeys();
}

int32_t SlotsOf(int64_t set) {
  return set == 0 ? kHotKeySlots : kGeneratedSlots;
}

// --- Find ---

void FindInMap(benchmark::State& state) {
  const auto& keys = KeysOf(state.range(0));
  Map* map = nullptr;
  MapCreate(sizeof(int64_t), 0, nullptr, &map, SlotsOf(state.range(0)));
  int64_t value = 0;
  for (const auto& key : keys) *static_cast<int64_t*>(MapFindOrAdd(map, key.c_str())) = ++value;
  int64_t sum = 0;
  for (auto _ : state) {
    for (const auto& key : keys) sum += *static_cast<int64_t*>(MapFind(map, key.c_str()));
    benchmark::DoNotOptimize(sum);
  }
  const int64_t n = static_cast<int64_t>(keys.size());
  if (sum != static_cast<int64_t>(state.iterations()) * n * (n + 1) / 2) {
    state.SkipWithError("a key was not found");
  }
  state.SetItemsProcessed(state.iterations() * n);
  MapFree(map);
}
BENCHMARK(FindInMap)->Name("map_find_hotkeys/ours")->Arg(0);
BENCHMARK(FindInMap)->Name("map_find_10000/ours")->Arg(1);

void FindInUnorderedMap(benchmark::State& state) {
  const auto& keys = KeysOf(state.range(0));
  std::unordered_map<std::u16string, int64_t> map;
  int64_t value = 0;
  for (const auto& key : keys) map[key] = ++value;
  int64_t sum = 0;
  for (auto _ : state) {
    for (const auto& key : keys) sum += map.find(key)->second;
    benchmark::DoNotOptimize(sum);
  }
  const int64_t n = static_cast<int64_t>(keys.size());
  if (sum != static_cast<int64_t>(state.iterations()) * n * (n + 1) / 2) {
    state.SkipWithError("a key was not found");
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(FindInUnorderedMap)->Name("map_find_hotkeys/std")->Arg(0);
BENCHMARK(FindInUnorderedMap)->Name("map_find_10000/std")->Arg(1);

// --- Find-or-add: every key added to an emptied map ---

void FindOrAddInMap(benchmark::State& state) {
  const auto& keys = KeysOf(state.range(0));
  Map* map = nullptr;
  MapCreate(sizeof(int64_t), 0, nullptr, &map, SlotsOf(state.range(0)));
  for (auto _ : state) {
    MapClear(map);
    int64_t value = 0;
    for (const auto& key : keys) *static_cast<int64_t*>(MapFindOrAdd(map, key.c_str())) = ++value;
    benchmark::DoNotOptimize(map);
  }
  if (MapCount(map) != static_cast<int64_t>(keys.size())) state.SkipWithError("keys missing");
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
  MapFree(map);
}
BENCHMARK(FindOrAddInMap)->Name("map_add_hotkeys/ours")->Arg(0);
BENCHMARK(FindOrAddInMap)->Name("map_add_10000/ours")->Arg(1);

void FindOrAddInUnorderedMap(benchmark::State& state) {
  const auto& keys = KeysOf(state.range(0));
  std::unordered_map<std::u16string, int64_t> map;
  for (auto _ : state) {
    map.clear();
    int64_t value = 0;
    for (const auto& key : keys) map[key] = ++value;
    benchmark::DoNotOptimize(&map);
  }
  if (map.size() != keys.size()) state.SkipWithError("keys missing");
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
}
BENCHMARK(FindOrAddInUnorderedMap)->Name("map_add_hotkeys/std")->Arg(0);
BENCHMARK(FindOrAddInUnorderedMap)->Name("map_add_10000/std")->Arg(1);

}  // namespace
