// NSRunLoop for the main thread: the scheduled timers and the modes they fire in. The run
// loop does not wait by itself: the application's event fetch fires due timers here and then
// blocks in the desktop's wait until the nearest fire date (RunLoopNextFireDate).
#include "platform/foundation/run_loop.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/date.h"
#include "platform/foundation/string.h"
#include "platform/foundation/timer.h"
#include "platform/objc/objc.h"

id NSDefaultRunLoopMode = nil;
id NSModalPanelRunLoopMode = nil;
id NSEventTrackingRunLoopMode = nil;
id NSRunLoopCommonModes = nil;

namespace foundation {
void LoadNSNotificationClass();
void LoadNSTimerClass();
}  // namespace foundation

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

Class gRunLoop;              // NSRunLoop
id gMainRunLoop = nil;       // the one instance, kept for the whole run
std::vector<id> gScheduled;  // scheduled valid timers, retained, in scheduling order
id gCurrentMode = nil;       // the mode being run, or nil

bool SameString(id a, id b) {
  return a == b || (foundation::IsString(a) && foundation::IsString(b) &&
                    foundation::StringUnits(a) == foundation::StringUnits(b));
}

// A timer is due in mode when it is valid, scheduled there, not firing and its date has come.
bool IsDue(const TimerState& state, unsigned bits, double now) {
  return state.valid && !state.firing && (state.modes & bits) && state.fire_date <= now;
}

// --- NSRunLoop methods ---

id MainRunLoop(Class, SEL) {
  return gMainRunLoop;
}
void AddTimerForMode(id, SEL, id timer, id mode) {
  RunLoopAddTimer(timer, mode);
}
id CurrentMode(id, SEL) {
  return gCurrentMode;
}
id LimitDateForMode(id, SEL, id mode) {
  RunLoopFireDueTimers(mode);
  double next = RunLoopNextFireDate(mode);
  return next == kInfinity ? nil : foundation::MakeDate(next);
}

// -runMode:beforeDate: fires the due timers of mode, or waits for input or the next timer
// (no later than the date) and fires what came due then. Events the desktop turns input into
// stay in the application's queue.
BOOL RunModeBeforeDate(id, SEL, id mode, id date) {
  id previous = RunLoopSetCurrentMode(mode ? mode : NSDefaultRunLoopMode);
  if (RunLoopFireDueTimers(mode) == 0) {
    double limit = foundation::IsDate(date) ? foundation::DateSeconds(date) : ClockNow();
    double deadline = std::min(limit, RunLoopNextFireDate(mode));
    if (deadline > ClockNow()) CurrentDesktop()->Wait(deadline);
    RunLoopFireDueTimers(mode);
  }
  RunLoopSetCurrentMode(previous);
  return YES;
}

void RunUntilDate(id self, SEL, id date) {
  double limit = foundation::IsDate(date) ? foundation::DateSeconds(date) : ClockNow();
  do {
    RunModeBeforeDate(self, nullptr, NSDefaultRunLoopMode, date);
  } while (ClockNow() < limit);
}

}  // namespace

// --- Internal interface ---

unsigned RunLoopModeBitsOf(id mode) {
  if (!mode || SameString(mode, NSDefaultRunLoopMode)) return kRunLoopDefaultMode;
  if (SameString(mode, NSModalPanelRunLoopMode)) return kRunLoopModalPanelMode;
  if (SameString(mode, NSEventTrackingRunLoopMode)) return kRunLoopEventTrackingMode;
  if (SameString(mode, NSRunLoopCommonModes)) return kRunLoopCommonModes;
  return 0;
}

void RunLoopAddTimer(id timer, id mode) {
  TimerState* state = TimerStateOf(timer);
  if (!state || !state->valid) return;
  if (state->modes == 0) gScheduled.push_back(objc_retain(timer));
  state->modes |= RunLoopModeBitsOf(mode);
  if (state->modes == 0) {
    // An unknown mode: the timer is kept, as Cocoa does, but never fires here.
    state->modes = 0x100;
  }
}

void RunLoopRemoveTimer(id timer) {
  auto found = std::find(gScheduled.begin(), gScheduled.end(), timer);
  if (found == gScheduled.end()) return;
  gScheduled.erase(found);
  if (TimerState* state = TimerStateOf(timer)) state->modes = 0;
  objc_release(timer);
}

int RunLoopFireDueTimers(id mode) {
  unsigned bits = RunLoopModeBitsOf(mode);
  double now = ClockNow();
  std::vector<id> due;  // allocates only when a timer is due
  for (id timer : gScheduled) {
    if (IsDue(*TimerStateOf(timer), bits, now)) due.push_back(objc_retain(timer));
  }
  std::stable_sort(due.begin(), due.end(), [](id a, id b) {
    return TimerStateOf(a)->fire_date < TimerStateOf(b)->fire_date;
  });
  int fired = 0;
  for (id timer : due) {
    TimerState& state = *TimerStateOf(timer);
    // An earlier callback may have invalidated or moved this timer.
    if (IsDue(state, bits, ClockNow())) {
      ++fired;
      if (state.repeats) {
        // Due again at the first multiple of the interval after now; missed firings are
        // dropped, as in Cocoa.
        double now_after = ClockNow();
        double steps = std::floor((now_after - state.fire_date) / state.interval) + 1;
        state.fire_date += steps * state.interval;
        if (state.fire_date <= now_after) state.fire_date = now_after + state.interval;
        TimerSendMessage(timer);
      } else {
        state.firing = true;
        TimerSendMessage(timer);
        state.firing = false;
        objc::Send<void>(timer, "invalidate");
      }
    }
    objc_release(timer);
  }
  return fired;
}

double RunLoopNextFireDate(id mode) {
  unsigned bits = RunLoopModeBitsOf(mode);
  double next = kInfinity;
  for (id timer : gScheduled) {
    const TimerState& state = *TimerStateOf(timer);
    if (state.valid && !state.firing && (state.modes & bits))
      next = std::min(next, state.fire_date);
  }
  return next;
}

void RunLoopForEachTimer(void (*visit)(id timer, void* context), void* context) {
  std::vector<id> timers;
  for (id timer : gScheduled) {
    if (TimerStateOf(timer)->valid) timers.push_back(objc_retain(timer));
  }
  std::stable_sort(timers.begin(), timers.end(),
                   [](id a, id b) { return TimerStateOf(a)->serial < TimerStateOf(b)->serial; });
  for (id timer : timers) {
    visit(timer, context);
    objc_release(timer);
  }
}

id RunLoopSetCurrentMode(id mode) {
  id previous = gCurrentMode;
  gCurrentMode = mode;
  return previous;
}

id RunLoopCurrentMode() {
  return gCurrentMode;
}

namespace foundation {

void LoadRunLoopClasses() {
  NSDefaultRunLoopMode = NewString(u"kCFRunLoopDefaultMode");
  NSModalPanelRunLoopMode = NewString(u"NSModalPanelRunLoopMode");
  NSEventTrackingRunLoopMode = NewString(u"NSEventTrackingRunLoopMode");
  NSRunLoopCommonModes = NewString(u"kCFRunLoopCommonModes");

  LoadNSNotificationClass();
  LoadNSTimerClass();

  gRunLoop = objc::DefineClass("NSRunLoop", "NSObject");
  objc::AddClassMethod(gRunLoop, "mainRunLoop", &MainRunLoop);
  objc::AddClassMethod(gRunLoop, "currentRunLoop", &MainRunLoop);
  objc::AddMethod(gRunLoop, "addTimer:forMode:", &AddTimerForMode);
  objc::AddMethod(gRunLoop, "currentMode", &CurrentMode);
  objc::AddMethod(gRunLoop, "limitDateForMode:", &LimitDateForMode);
  objc::AddMethod(gRunLoop, "runMode:beforeDate:", &RunModeBeforeDate);
  objc::AddMethod(gRunLoop, "runUntilDate:", &RunUntilDate);
  gMainRunLoop = class_createInstance(gRunLoop, 0);
}

}  // namespace foundation
