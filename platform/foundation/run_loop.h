// The main thread's run loop: its modes, the timers scheduled in them, and the internal calls
// with which the application's event fetch fires due timers and learns how long it may wait.
#pragma once

#include "platform/objc/runtime.h"

// The run-loop modes, NSString objects made when the classes load. A nil mode reads as the
// default mode everywhere below. NSRunLoopCommonModes stands for the three others together.
extern "C" {
extern id NSDefaultRunLoopMode;        // "kCFRunLoopDefaultMode"
extern id NSModalPanelRunLoopMode;     // "NSModalPanelRunLoopMode"
extern id NSEventTrackingRunLoopMode;  // "NSEventTrackingRunLoopMode"
extern id NSRunLoopCommonModes;        // "kCFRunLoopCommonModes"
}

namespace foundation {
// Defines NSNotification, NSTimer and NSRunLoop and makes the mode strings.
void LoadRunLoopClasses();
}  // namespace foundation

// Bits of the modes a timer is scheduled in; 0 for a mode this run loop does not know (a
// timer added for such a mode never fires: only the three modes above are ever run).
enum RunLoopModeBits : unsigned {
  kRunLoopDefaultMode = 1,
  kRunLoopModalPanelMode = 2,
  kRunLoopEventTrackingMode = 4,
  kRunLoopCommonModes = 7,
};
unsigned RunLoopModeBitsOf(id mode);

// Fires, in fire-date order, every valid timer scheduled in mode whose fire date has come. A
// repeating timer is then due again at the first multiple of its interval after now (late
// firings are not repeated); a one-shot timer is invalidated. Answers how many fired.
int RunLoopFireDueTimers(id mode);
// The earliest fire date of the valid timers of mode, in ClockNow() seconds; +infinity when
// there is none.
double RunLoopNextFireDate(id mode);
// Calls visit with every valid scheduled timer, in the order the timers were created.
void RunLoopForEachTimer(void (*visit)(id timer, void* context), void* context);

// The mode the run loop is running in (nil when it is not running); answers the previous one.
// The application's event fetch sets it for the time of the fetch.
id RunLoopSetCurrentMode(id mode);
id RunLoopCurrentMode();

// Used by NSTimer: schedules a timer in mode (the run loop keeps one reference while it is
// scheduled in any mode), and drops an invalidated timer.
void RunLoopAddTimer(id timer, id mode);
void RunLoopRemoveTimer(id timer);
