// The process's one clock: wall-clock time, a virtual time that only the desktop moves, or
// wall-clock time sped up.
#include "platform/foundation/clock.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Seconds between 1970-01-01 and 2001-01-01 (the reference date).
constexpr double kReferenceDateUnixSeconds = 978307200.0;

double RealNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) - kReferenceDateUnixSeconds +
         static_cast<double>(now.tv_nsec) / 1e9;
}

// The clock's state, made on first use so that it does not depend on static start-up order.
struct ClockState {
  bool is_virtual;      // MINDEL_CLOCK=virtual was set at start, or a test switched it on
  double virtual_time;  // the virtual clock's reading; starts at the real time
  double rate;          // clock seconds per real second; 1 but with MINDEL_CLOCK=fast:N
  double start;         // the real time of the first reading: a fast clock runs from there
};

ClockState& State() {
  static ClockState state = [] {
    const char* value = std::getenv("MINDEL_CLOCK");
    const ClockSetting setting = ReadClockSetting(value);
    if (setting.refused) {
      std::fprintf(stderr,
                   "mindel: MINDEL_CLOCK=\"%s\" is neither virtual nor fast:N (N a number above "
                   "1); the real clock runs\n",
                   value);
    }
    const double now = RealNow();
    return ClockState{setting.is_virtual, now, setting.rate, now};
  }();
  return state;
}

}  // namespace

ClockSetting ReadClockSetting(const char* value) {
  ClockSetting setting;
  if (!value || !value[0]) return setting;
  if (std::strcmp(value, "virtual") == 0) {
    setting.is_virtual = true;
    return setting;
  }
  constexpr char kFast[] = "fast:";
  const size_t prefix = sizeof kFast - 1;
  double rate = 0;
  if (std::strncmp(value, kFast, prefix) == 0) {
    // from_chars, unlike strtod, reads the same whatever the locale's decimal point.
    const char* end = value + std::strlen(value);
    const auto [stop, error] = std::from_chars(value + prefix, end, rate);
    if (error != std::errc() || stop != end) rate = 0;
  }
  if (std::isfinite(rate) && rate > 1 && rate <= kClockFastestRate) {
    setting.rate = rate;
  } else {
    setting.refused = true;
  }
  return setting;
}

double ClockNow() {
  const ClockState& state = State();
  if (state.is_virtual) return state.virtual_time;
  const double real = RealNow();
  return state.rate == 1 ? real : state.start + (real - state.start) * state.rate;
}

bool ClockIsVirtual() {
  return State().is_virtual;
}

double ClockRate() {
  return State().rate;
}

void ClockAdvanceTo(double time) {
  ClockState& state = State();
  if (state.is_virtual && time > state.virtual_time) state.virtual_time = time;
}

void ClockStartVirtual() {
  ClockState& state = State();
  if (state.is_virtual) return;
  state.virtual_time = ClockNow();
  state.is_virtual = true;
  state.rate = 1;
}
