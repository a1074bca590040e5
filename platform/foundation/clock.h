// The process's one clock, shared by dates, timers and the run loop: real time, or a
// virtual time that stands still until the desktop moves it (MINDEL_CLOCK=virtual).
#pragma once

// Seconds since the reference date (2001-01-01 00:00:00 UTC), like NSDate.
double ClockNow();
// True when MINDEL_CLOCK=virtual was set at start (read once).
bool ClockIsVirtual();
// Moves the virtual clock on to time (never back). Does nothing with the real clock.
void ClockAdvanceTo(double time);
// Switches to the virtual clock for the rest of the run, starting at the current time (for
// tests that run without MINDEL_CLOCK). Does nothing when the clock is virtual already.
void ClockStartVirtual();
