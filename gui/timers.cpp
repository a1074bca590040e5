// Window timers over NSTimer: VoTimerEvents is each timer's target and userInfo and posts the
// TimerEvent; the window record keeps the list of its timers.
#include "gui/timers.h"

#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/windows.h"

namespace {

Class g_timer_events_class = nil;  // VoTimerEvents
ptrdiff_t g_window_ivar = -1;      // "WindowID" (int64_t)
ptrdiff_t g_timer_ivar = -1;       // "TimerID" (int64_t)

constexpr NSUInteger kTimerListCapacity = 2;

id InitWithWindowTimer(id self, SEL, int64_t window, int64_t timer) {
  self = objc::SendSuper(self, g_timer_events_class, "init");
  if (!self) return nil;
  objc::FieldAt<int64_t>(self, g_window_ivar) = window;
  objc::FieldAt<int64_t>(self, g_timer_ivar) = timer;
  return self;
}

int64_t TimerID(id self, SEL) {
  return objc::FieldAt<int64_t>(self, g_timer_ivar);
}

void TimerFireEvent(id self, SEL, id) {
  QueueUiEvent(TimerEvent, objc::FieldAt<int64_t>(self, g_timer_ivar),
               objc::FieldAt<int64_t>(self, g_window_ivar), 0);
}

void DefineTimerClass() {
  if (g_timer_events_class) return;
  g_timer_events_class = objc::DefineClass("VoTimerEvents", "NSObject");
  g_window_ivar = objc::AddIvar<int64_t>(g_timer_events_class, "WindowID");
  g_timer_ivar = objc::AddIvar<int64_t>(g_timer_events_class, "TimerID");
  objc::AddMethod(g_timer_events_class, "initWithWindow:timer:", &InitWithWindowTimer);
  objc::AddMethod(g_timer_events_class, "timerID", &TimerID);
  objc::AddMethod(g_timer_events_class, "timerFireEvent:", &TimerFireEvent);
}

}  // namespace

int StartWindowTimer(int64_t window, int64_t timer, int32_t ms) {
  StopWindowTimer(window, timer);
  WindowRecord* record = FindWindowRecord(window);
  if (!record || ms < 1) return 0;
  DefineTimerClass();
  id events =
      objc::Send(objc::Send(g_timer_events_class, "alloc"), "initWithWindow:timer:", window, timer);
  if (!events) return 0;
  if (!record->timers) {
    record->timers = objc::Send(objc::Send(CocoaClass("NSMutableArray"), "alloc"),
                                "initWithCapacity:", kTimerListCapacity);
  }
  double seconds = ms / 1000.0;
  // The first firing comes one interval after the start.
  id fire_date = objc::Send(CocoaClass("NSDate"), "dateWithTimeIntervalSinceNow:", seconds);
  id ns_timer = objc::Send(objc::Send(CocoaClass("NSTimer"), "alloc"),
                           "initWithFireDate:interval:target:selector:userInfo:repeats:", fire_date,
                           seconds, events, sel_registerName("timerFireEvent:"), events, YES);
  if (ns_timer) {
    objc::Send<void>(record->timers, "addObject:", ns_timer);
    // Only the default mode: the timer does not fire in a modal loop or while a menu tracks.
    objc::Send<void>(objc::Send(CocoaClass("NSRunLoop"), "mainRunLoop"),
                     "addTimer:forMode:", ns_timer, NSDefaultRunLoopMode);
    objc::Release(ns_timer);
  }
  objc::Release(events);  // the timer holds the only lasting reference
  return ns_timer ? 1 : 0;
}

void StopWindowTimer(int64_t window, int64_t timer) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record || !record->timers) return;
  NSUInteger count = objc::Send<NSUInteger>(record->timers, "count");
  for (NSUInteger i = 0; i < count; ++i) {
    id ns_timer = objc::Send(record->timers, "objectAtIndex:", i);
    if (objc::Send<int64_t>(objc::Send(ns_timer, "userInfo"), "timerID") != timer) continue;
    objc::Send<void>(ns_timer, "invalidate");
    objc::Send<void>(record->timers, "removeObjectAtIndex:", i);
    DropEvents(TimerEvent, timer, window, -1);  // a stopped timer delivers no late event
    return;
  }
}
