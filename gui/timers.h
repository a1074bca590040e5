// Repeating timers that belong to a window and carry a number chosen by the program; every
// firing posts a TimerEvent (object = timer number, window = window number).
#pragma once

#include <cstdint>

// Replaces a running timer of that number. Answers 1 when a timer runs, 0 when the window does
// not exist or ms is below 1 (a running timer of that number is stopped all the same).
int StartWindowTimer(int64_t window, int64_t timer, int32_t ms);
// Stops the timer and removes its queued TimerEvents; nothing when it does not run.
void StopWindowTimer(int64_t window, int64_t timer);
