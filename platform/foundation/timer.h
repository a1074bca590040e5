// NSTimer's state, shared with the run loop that fires the timers.
#pragma once

#include <cstdint>

#include "platform/objc/runtime.h"

// The state of one NSTimer.
struct TimerState {
  double fire_date = 0;    // next firing, ClockNow() seconds
  double interval = 0;     // seconds between firings of a repeating timer (> 0)
  id target = nil;         // retained until the timer is invalidated
  SEL selector = nullptr;  // sent to target with the timer as argument
  id user_info = nil;      // retained until the timer is invalidated
  bool repeats = false;    // fires again after each firing
  bool valid = true;       // cleared for good by invalidate
  bool firing = false;     // its callback is running (a one-shot timer is not fired twice)
  unsigned modes = 0;      // RunLoopModeBits it is scheduled in; 0 when not scheduled
  uint64_t serial = 0;     // creation order
};

// The state of timer; nullptr for an object that is not an NSTimer.
TimerState* TimerStateOf(id timer);
// Sends the timer's message to its target (the target is kept alive during the call).
void TimerSendMessage(id timer);
