// NSTimer: a message sent to a target at a fire date, once or repeatedly, while the timer is
// scheduled in a run loop mode that runs.
#include "platform/foundation/timer.h"

#include "platform/foundation/clock.h"
#include "platform/foundation/date.h"
#include "platform/foundation/run_loop.h"
#include "platform/objc/objc.h"

namespace {

// Cocoa's smallest interval of a repeating timer, used for intervals of 0 or less.
constexpr double kMinimumInterval = 0.0001;

Class gTimer;                 // NSTimer
ptrdiff_t gStateOffset = -1;  // offset of the TimerState instance variable
uint64_t gNextSerial = 1;     // creation counter

TimerState& State(id self) {
  return objc::FieldAt<TimerState>(self, gStateOffset);
}

id InitTimer(id self, double fire_date, double interval, id target, SEL selector, id user_info,
             BOOL repeats) {
  self = objc::SendSuper(self, gTimer, "init");
  if (!self) return nil;
  TimerState& state = State(self);
  state.fire_date = fire_date;
  state.repeats = repeats != NO;
  state.interval = interval > 0 ? interval : (state.repeats ? kMinimumInterval : 0);
  state.target = objc_retain(target);
  state.selector = selector;
  state.user_info = objc_retain(user_info);
  state.serial = gNextSerial++;
  return self;
}

// -initWithFireDate:interval:target:selector:userInfo:repeats:
id InitWithFireDate(id self, SEL, id date, double interval, id target, SEL selector, id user_info,
                    BOOL repeats) {
  double fire_date = foundation::IsDate(date) ? foundation::DateSeconds(date) : ClockNow();
  return InitTimer(self, fire_date, interval, target, selector, user_info, repeats);
}

// +timerWithTimeInterval:target:selector:userInfo:repeats: (not scheduled)
id TimerWith(Class cls, SEL, double interval, id target, SEL selector, id user_info, BOOL repeats) {
  id timer = class_createInstance(cls, 0);
  timer = InitTimer(timer, ClockNow() + interval, interval, target, selector, user_info, repeats);
  return objc_autorelease(timer);
}

// +scheduledTimerWithTimeInterval:target:selector:userInfo:repeats: (default mode)
id ScheduledTimerWith(Class cls, SEL sel, double interval, id target, SEL selector, id user_info,
                      BOOL repeats) {
  id timer = TimerWith(cls, sel, interval, target, selector, user_info, repeats);
  RunLoopAddTimer(timer, NSDefaultRunLoopMode);
  return timer;
}

void Invalidate(id self, SEL) {
  TimerState& state = State(self);
  if (!state.valid) return;
  state.valid = false;
  objc_retain(self);  // the run loop may hold the last reference
  id target = state.target;
  id user_info = state.user_info;
  state.target = nil;
  state.user_info = nil;
  RunLoopRemoveTimer(self);
  objc_release(target);
  objc_release(user_info);
  objc_release(self);
}

BOOL IsValid(id self, SEL) {
  return State(self).valid ? YES : NO;
}
id FireDate(id self, SEL) {
  return foundation::MakeDate(State(self).fire_date);
}
void SetFireDate(id self, SEL, id date) {
  if (foundation::IsDate(date)) State(self).fire_date = foundation::DateSeconds(date);
}
double TimeInterval(id self, SEL) {
  return State(self).repeats ? State(self).interval : 0;
}
id UserInfo(id self, SEL) {
  return State(self).user_info;
}

// -fire: sends the message now; a one-shot timer is then invalidated, a repeating one keeps
// its schedule.
void Fire(id self, SEL) {
  if (!State(self).valid) return;
  objc_retain(self);
  TimerSendMessage(self);
  if (!State(self).repeats) objc::Send<void>(self, "invalidate");
  objc_release(self);
}

void Dealloc(id self, SEL sel) {
  TimerState& state = State(self);
  objc_release(state.target);
  objc_release(state.user_info);
  state.target = nil;
  state.user_info = nil;
  objc::SendSuper<void>(self, gTimer, sel);
}

}  // namespace

TimerState* TimerStateOf(id timer) {
  if (!timer || !gTimer || !objc::IsKindOf(timer, gTimer)) return nullptr;
  return &State(timer);
}

void TimerSendMessage(id timer) {
  TimerState& state = State(timer);
  if (!state.target || !state.selector) return;
  id target = objc_retain(state.target);
  objc_msgSend(target, state.selector, timer);
  objc_release(target);
}

namespace foundation {

void LoadNSTimerClass() {
  gTimer = objc::DefineClass("NSTimer", "NSObject");
  gStateOffset = objc::AddCxxIvar<TimerState>(gTimer, "_state");
  objc::AddClassMethod(gTimer,
                       "timerWithTimeInterval:target:selector:userInfo:repeats:", &TimerWith);
  objc::AddClassMethod(gTimer, "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:",
                       &ScheduledTimerWith);
  objc::AddMethod(gTimer,
                  "initWithFireDate:interval:target:selector:userInfo:repeats:", &InitWithFireDate);
  objc::AddMethod(gTimer, "invalidate", &Invalidate);
  objc::AddMethod(gTimer, "isValid", &IsValid);
  objc::AddMethod(gTimer, "fireDate", &FireDate);
  objc::AddMethod(gTimer, "setFireDate:", &SetFireDate);
  objc::AddMethod(gTimer, "timeInterval", &TimeInterval);
  objc::AddMethod(gTimer, "userInfo", &UserInfo);
  objc::AddMethod(gTimer, "fire", &Fire);
  objc::AddMethod(gTimer, "dealloc", &Dealloc);
}

}  // namespace foundation
