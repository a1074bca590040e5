// The event queue against a std::deque of the same records: post N events and fetch them, for UI
// events (flags 0, coalescing checked against the tail) and program events (flags 7).
//
// No shared application exists here, so waking the platform loop costs one null test: the
// figures are those of the queue itself, which is what a std::deque would replace.
#include <benchmark/benchmark.h>

#include <deque>

#include "gui/event_queue.h"

namespace {

constexpr int64_t kWindow = 1;

void PostAndFetch(benchmark::State& state) {
  const int64_t count = state.range(0);
  const bool program = state.range(1) != 0;
  InitEventQueue();
  int64_t sum = 0;
  for (auto _ : state) {
    // Object numbers differ from one event to the next, so nothing is coalesced.
    for (int64_t i = 1; i <= count; ++i) {
      if (program) {
        QueueProgramEvent(FirstProgramEvent + 1, kWindow, i, 0, nullptr);
      } else {
        QueueUiEvent(GadgetEvent, i, kWindow, SubtypeDefault);
      }
    }
    while (FetchEvent() != 0) sum += CurrentEventGadget();
    benchmark::DoNotOptimize(sum);
  }
  if (sum != static_cast<int64_t>(state.iterations()) * count * (count + 1) / 2) {
    state.SkipWithError("events lost");
  }
  EndEventQueue();
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(PostAndFetch)->Name("events_ui_1/ours")->Args({1, 0});
BENCHMARK(PostAndFetch)->Name("events_ui_64/ours")->Args({64, 0});
BENCHMARK(PostAndFetch)->Name("events_program_1/ours")->Args({1, 1});
BENCHMARK(PostAndFetch)->Name("events_program_64/ours")->Args({64, 1});

// What the accessors of the deque version read.
struct Current {
  int32_t type;
  int64_t object;
  int64_t window;
  int64_t subtype;
  void* data;
  EventDataFree freeData;
};

void PostAndFetchDeque(benchmark::State& state) {
  const int64_t count = state.range(0);
  const bool program = state.range(1) != 0;
  const int32_t type = program ? int32_t{FirstProgramEvent + 1} : int32_t{GadgetEvent};
  const uint32_t flags = program ? uint32_t{kProgramEventFlags} : uint32_t{0};
  std::deque<EventRecord> queue;
  Current current = {};
  int64_t sum = 0;
  for (auto _ : state) {
    for (int64_t i = 1; i <= count; ++i) {
      queue.push_back(EventRecord{nullptr, type, flags, i, kWindow, 0, nullptr, nullptr});
    }
    while (!queue.empty()) {
      const EventRecord& head = queue.front();
      current =
          Current{head.type, head.object, head.window, head.subtype, head.data, head.freeData};
      queue.pop_front();
      sum += current.object;
    }
    benchmark::DoNotOptimize(sum);
  }
  if (sum != static_cast<int64_t>(state.iterations()) * count * (count + 1) / 2) {
    state.SkipWithError("events lost");
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(PostAndFetchDeque)->Name("events_ui_1/deque")->Args({1, 0});
BENCHMARK(PostAndFetchDeque)->Name("events_ui_64/deque")->Args({64, 0});
BENCHMARK(PostAndFetchDeque)->Name("events_program_1/deque")->Args({1, 1});
BENCHMARK(PostAndFetchDeque)->Name("events_program_64/deque")->Args({64, 1});

}  // namespace
