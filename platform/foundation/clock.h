// The process's one clock, shared by dates, timers and the run loop: real time, a virtual
// time that stands still until the desktop moves it (MINDEL_CLOCK=virtual), or a fast time
// that runs N times faster than real time from the start of the process (MINDEL_CLOCK=fast:N).
#pragma once

// Seconds since the reference date (2001-01-01 00:00:00 UTC), like NSDate.
double ClockNow();
// True when MINDEL_CLOCK=virtual was set at start (read once).
bool ClockIsVirtual();
// Clock seconds per real second: N with MINDEL_CLOCK=fast:N, else 1. A desktop divides the
// clock seconds it waits by it to know how long to wait in real time.
double ClockRate();
// Moves the virtual clock on to time (never back). Does nothing with the real clock.
void ClockAdvanceTo(double time);
// Switches to the virtual clock for the rest of the run, starting at the current time (for
// tests that run without MINDEL_CLOCK). Does nothing when the clock is virtual already.
void ClockStartVirtual();

// What a value of MINDEL_CLOCK asks for.
struct ClockSetting {
  bool is_virtual = false;  // "virtual"
  double rate = 1;          // "fast:N": N, a number above 1 and at most kClockFastestRate
  bool refused = false;     // a value that is none of these (the real clock runs then)
};
constexpr double kClockFastestRate = 1e6;
// Reads a value of MINDEL_CLOCK; null or "" is the real clock.
ClockSetting ReadClockSetting(const char* value);
