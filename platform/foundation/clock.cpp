// The process's one clock: wall-clock time, or a virtual time that only the desktop moves.
#include "platform/foundation/clock.h"

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
};

ClockState& State() {
  static ClockState state = [] {
    const char* setting = std::getenv("MINDEL_CLOCK");
    bool is_virtual = setting && std::strcmp(setting, "virtual") == 0;
    return ClockState{is_virtual, RealNow()};
  }();
  return state;
}

}  // namespace

double ClockNow() {
  ClockState& state = State();
  return state.is_virtual ? state.virtual_time : RealNow();
}

bool ClockIsVirtual() {
  return State().is_virtual;
}

void ClockAdvanceTo(double time) {
  ClockState& state = State();
  if (state.is_virtual && time > state.virtual_time) state.virtual_time = time;
}

void ClockStartVirtual() {
  ClockState& state = State();
  if (state.is_virtual) return;
  state.virtual_time = RealNow();
  state.is_virtual = true;
}
