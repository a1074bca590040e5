// The selector bridge: one message on the direct path ("add:" "to:" with two words) and one on
// the invocation path ("setLength:@" with a double), against a plain C++ virtual call.
//
// The bridge registers the selector, finds the class and looks the method up on every call (it
// caches nothing), so it is expected to be far behind a virtual call; the figures say how far.
#include <benchmark/benchmark.h>

#include "gui/selector_bridge.h"
#include "platform/objc/objc.h"

namespace {

double g_length = 0;  // what the probe's setLength: received last

int64_t Add(id, SEL, int64_t a, int64_t b) {
  return a + b;
}
void SetLength(id, SEL, double length) {
  g_length = length;
}

id Probe() {
  static id probe = [] {
    Class probe_class = objc::DefineClass("BenchProbe", "NSObject");
    objc::AddMethod(probe_class, "add:to:", &Add);
    objc::AddMethod(probe_class, "setLength:", &SetLength);
    return objc::Send(probe_class, "new");
  }();
  return probe;
}

void SendOnTheDirectPath(benchmark::State& state) {
  id probe = Probe();
  uint64_t sum = 0;
  for (auto _ : state) {
    sum += SelectorSend2(nullptr, probe, u"add:", 40, u"to:", 2);
    benchmark::DoNotOptimize(sum);
  }
  if (sum != 42 * static_cast<uint64_t>(state.iterations())) state.SkipWithError("wrong result");
}
BENCHMARK(SendOnTheDirectPath)->Name("bridge_direct/ours");

void SendOnTheInvocationPath(benchmark::State& state) {
  id probe = Probe();
  double length = 1.0;
  for (auto _ : state) {
    // The signature and invocation are autoreleased; the program's loop recycles its pool
    // after every event, so the pool is part of the cost.
    objc::AutoreleasePool pool;
    SelectorSend1(nullptr, probe, u"setLength:@", SelectorWord(&length));
    length += 1.0;
  }
  if (g_length != length - 1.0) state.SkipWithError("the double did not arrive");
}
BENCHMARK(SendOnTheInvocationPath)->Name("bridge_invocation/ours");

class Adder {
 public:
  virtual ~Adder() = default;
  virtual int64_t Add(int64_t a, int64_t b) = 0;
};

class PlainAdder : public Adder {
 public:
  int64_t Add(int64_t a, int64_t b) override { return a + b; }
};

void CallVirtual(benchmark::State& state) {
  PlainAdder plain;
  Adder* adder = &plain;
  int64_t sum = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(adder);  // no devirtualisation
    sum += adder->Add(40, 2);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(CallVirtual)->Name("bridge_direct/virtual");
BENCHMARK(CallVirtual)->Name("bridge_invocation/virtual");

}  // namespace
