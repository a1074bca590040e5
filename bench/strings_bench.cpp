// String expressions: a five-operand concatenation stored into a string variable, built in the
// temporary buffer, against std::u16string with `+` and with reserve + append.
#include <benchmark/benchmark.h>

#include <string>

#include "core/strings.h"
#include "core/temp_buffer.h"

namespace {

// The operands of a reminder sentence, as the application builds them.
constexpr const char16_t* kOperands[5] = {u"This is a task reminder for \"", u"Call the plumber",
                                          u"\" every ", u"5", u" minutes"};
constexpr int64_t kExpectedLength = 29 + 16 + 8 + 1 + 8;

void ConcatenateThroughTempBuffer(benchmark::State& state) {
  InitTempBuffer();
  char16_t* variable = nullptr;
  for (auto _ : state) {
    PushTempStart();
    const int64_t start = PeekTempStart();
    for (const char16_t* operand : kOperands) AppendTemp(operand);
    StoreTemp(&variable, start);
    PopTempDiscard();
    benchmark::DoNotOptimize(variable);
  }
  if (StringLength(variable) != kExpectedLength) state.SkipWithError("wrong concatenation");
  FreeStringVar(variable);
  FreeTempBuffer();
}
BENCHMARK(ConcatenateThroughTempBuffer)->Name("concat5/ours");

void ConcatenateWithPlus(benchmark::State& state) {
  const std::u16string a = kOperands[0], b = kOperands[1], c = kOperands[2], d = kOperands[3],
                       e = kOperands[4];
  std::u16string variable;
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.data());
    variable = a + b + c + d + e;
    benchmark::DoNotOptimize(variable.data());
  }
  if (static_cast<int64_t>(variable.size()) != kExpectedLength) {
    state.SkipWithError("wrong concatenation");
  }
}
BENCHMARK(ConcatenateWithPlus)->Name("concat5/std_plus");

void ConcatenateWithReserveAppend(benchmark::State& state) {
  const std::u16string a = kOperands[0], b = kOperands[1], c = kOperands[2], d = kOperands[3],
                       e = kOperands[4];
  std::u16string variable;
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.data());
    // A fresh string moved into the variable, as a result stored into a variable is.
    std::u16string result;
    result.reserve(a.size() + b.size() + c.size() + d.size() + e.size());
    result.append(a).append(b).append(c).append(d).append(e);
    variable = std::move(result);
    benchmark::DoNotOptimize(variable.data());
  }
  if (static_cast<int64_t>(variable.size()) != kExpectedLength) {
    state.SkipWithError("wrong concatenation");
  }
}
BENCHMARK(ConcatenateWithReserveAppend)->Name("concat5/std_reserve");

}  // namespace
