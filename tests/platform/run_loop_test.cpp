// The run loop and NSTimer: modes, fire order, rescheduling of late repeating timers,
// invalidation, and the application's event fetch with a limit date.
#include "platform/foundation/run_loop.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "platform/foundation/timer.h"
#include "tests/platform/appkit_test_support.h"

namespace {

// Timers created in the tests fire at TimerTarget's tick:, which records the timer and can
// post an event so that a waiting fetch returns.
std::vector<id> gFired;    // the timers that fired, in order (not retained)
bool gPostOnTick = false;  // tick: posts an application-defined event
bool gStopModalOnTick = false;

void Tick(id, SEL, id timer) {
  gFired.push_back(timer);
  if (gPostOnTick) Post(WakeEvent());
  if (gStopModalOnTick) objc::Send<void>(SharedApp(), "stopModalWithCode:", NSInteger{42});
}

Class TargetClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("RunLoopTestTarget", "NSObject");
    objc::AddMethod(c, "tick:", &Tick);
    return c;
  }();
  return cls;
}

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = &InstallScriptedDesktop();
    DrainEvents();
    gFired.clear();
    gPostOnTick = false;
    gStopModalOnTick = false;
    target_ = objc::Send(reinterpret_cast<id>(TargetClass()), "new");
  }
  void TearDown() override {
    for (id timer : timers_) {
      objc::Send<void>(timer, "invalidate");
      objc_release(timer);
    }
    objc_release(target_);
    desktop_->Reset();
  }

  // A repeating or one-shot timer (kept by the fixture) scheduled in mode.
  id Schedule(double interval, id mode, bool repeats = true, double first = -1) {
    double fire = ClockNow() + (first < 0 ? interval : first);
    id date = objc::Send(Cls("NSDate"), "dateWithTimeIntervalSinceReferenceDate:", fire);
    id timer =
        objc::Send(objc::Send(Cls("NSTimer"), "alloc"),
                   "initWithFireDate:interval:target:selector:userInfo:repeats:", date, interval,
                   target_, sel_registerName("tick:"), static_cast<id>(nil), repeats ? YES : NO);
    objc::Send<void>(objc::Send(Cls("NSRunLoop"), "mainRunLoop"), "addTimer:forMode:", timer, mode);
    timers_.push_back(timer);
    return timer;
  }

  id NextEvent(id limit, id mode = nil) {
    return objc::Send(SharedApp(),
                      "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0}, limit,
                      mode ? mode : NSDefaultRunLoopMode, YES);
  }

  ScriptedDesktop* desktop_ = nullptr;
  id target_ = nil;
  std::vector<id> timers_;
};

TEST_F(RunLoopTest, DefaultModeTimerWaitsForTheModalLoopToEnd) {
  objc::AutoreleasePool pool;
  double start = ClockNow();
  id timer = Schedule(10, NSDefaultRunLoopMode);
  id common = Schedule(10, NSRunLoopCommonModes);
  id window = NewWindow("Modal");
  // Inside the modal loop: 25 seconds pass, then the loop is stopped.
  desktop_->steps.push_back([start] { ClockAdvanceTo(start + 25); });
  desktop_->steps.push_back(
      [] { objc::Send<void>(SharedApp(), "stopModalWithCode:", NSInteger{7}); });
  NSInteger code = objc::Send<NSInteger>(SharedApp(), "runModalForWindow:", window);
  EXPECT_EQ(code, 7) << "runModalForWindow: answers the stop code";
  ASSERT_EQ(gFired.size(), 1u) << "only the common-modes timer fires inside the modal loop";
  EXPECT_EQ(gFired[0], common);
  EXPECT_EQ(desktop_->deadlines.front(), start + 10)
      << "the modal loop waits for the common-modes timer only";

  // Back in the default mode the late timer fires once and keeps its rhythm.
  gFired.clear();
  EXPECT_EQ(NextEvent(nil), nil) << "a nil limit date does not wait";
  ASSERT_EQ(gFired.size(), 1u) << "a late repeating timer fires once, not once per missed tick";
  EXPECT_EQ(gFired[0], timer);
  id fire_date = objc::Send(timer, "fireDate");
  EXPECT_DOUBLE_EQ(objc::Send<double>(fire_date, "timeIntervalSinceReferenceDate"), start + 30)
      << "the next firing is the first multiple of the interval after now";
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(RunLoopTest, RepeatingTimerIsRescheduledWithoutPilingUp) {
  objc::AutoreleasePool pool;
  double start = ClockNow();
  id timer = Schedule(60, NSDefaultRunLoopMode);
  gPostOnTick = true;
  // The first wait is until the timer; time then jumps 3.5 intervals on.
  desktop_->steps.push_back([start] { ClockAdvanceTo(start + 210); });
  id forever = objc::Send(Cls("NSDate"), "distantFuture");
  id event = NextEvent(forever);
  ASSERT_NE(event, nil) << "the timer's callback posted an event, which ends the wait";
  EXPECT_EQ(objc::Send<NSUInteger>(event, "type"), NSUInteger{kEventApplicationDefined});
  EXPECT_EQ(desktop_->deadlines.front(), start + 60) << "the wait ends at the timer's fire date";
  EXPECT_EQ(gFired.size(), 1u) << "three missed firings are not repeated";
  EXPECT_DOUBLE_EQ(RunLoopNextFireDate(NSDefaultRunLoopMode), start + 240);
  EXPECT_DOUBLE_EQ(objc::Send<double>(timer, "timeInterval"), 60.0);

  // On time: each wait ends at the next fire date and fires exactly once.
  for (int i = 0; i < 3; ++i) {
    gFired.clear();
    ASSERT_NE(NextEvent(forever), nil);
    EXPECT_EQ(gFired.size(), 1u);
  }
  EXPECT_DOUBLE_EQ(ClockNow(), start + 360);
  EXPECT_DOUBLE_EQ(RunLoopNextFireDate(NSDefaultRunLoopMode), start + 420);
}

TEST_F(RunLoopTest, DueTimersFireInFireDateOrder) {
  objc::AutoreleasePool pool;
  id late = Schedule(30, NSDefaultRunLoopMode, false);
  id early = Schedule(10, NSDefaultRunLoopMode, false);
  id middle = Schedule(20, NSDefaultRunLoopMode, true);
  ClockAdvanceTo(ClockNow() + 40);
  EXPECT_EQ(RunLoopFireDueTimers(NSDefaultRunLoopMode), 3);
  ASSERT_EQ(gFired.size(), 3u);
  EXPECT_EQ(gFired[0], early);
  EXPECT_EQ(gFired[1], middle);
  EXPECT_EQ(gFired[2], late);
  EXPECT_FALSE(objc::Send<BOOL>(early, "isValid")) << "a one-shot timer ends after firing";
  EXPECT_TRUE(objc::Send<BOOL>(middle, "isValid"));

  std::vector<id> listed;
  RunLoopForEachTimer(
      [](id timer, void* list) { static_cast<std::vector<id>*>(list)->push_back(timer); }, &listed);
  ASSERT_EQ(listed.size(), 1u) << "only valid timers are listed";
  EXPECT_EQ(listed[0], middle);
}

TEST_F(RunLoopTest, InvalidateStopsTheTimerAndReleasesTarget) {
  objc::AutoreleasePool pool;
  intptr_t before = objc_retainCount(target_);
  id user_info = objc::Send(Cls("NSObject"), "new");
  id timer = objc::Send(Cls("NSTimer"),
                        "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 5.0,
                        target_, sel_registerName("tick:"), user_info, YES);
  EXPECT_EQ(objc_retainCount(target_), before + 1) << "a timer retains its target";
  EXPECT_EQ(objc::Send(timer, "userInfo"), user_info);
  objc_retain(timer);
  intptr_t scheduled_count = objc_retainCount(timer);
  objc::Send<void>(timer, "invalidate");
  EXPECT_FALSE(objc::Send<BOOL>(timer, "isValid"));
  EXPECT_EQ(objc_retainCount(target_), before) << "invalidate releases the target";
  EXPECT_EQ(objc_retainCount(user_info), 1) << "invalidate releases the user info";
  EXPECT_EQ(objc_retainCount(timer), scheduled_count - 1) << "the run loop let go of the timer";
  ClockAdvanceTo(ClockNow() + 100);
  EXPECT_EQ(RunLoopFireDueTimers(NSDefaultRunLoopMode), 0);
  EXPECT_TRUE(gFired.empty()) << "an invalidated timer never fires";
  EXPECT_EQ(RunLoopNextFireDate(NSDefaultRunLoopMode), std::numeric_limits<double>::infinity());
  objc_release(timer);
  objc_release(user_info);
}

TEST_F(RunLoopTest, TimerStoppingModalLoopEndsIt) {
  objc::AutoreleasePool pool;
  Schedule(5, NSModalPanelRunLoopMode);
  gStopModalOnTick = true;
  id window = NewWindow("Panel");
  NSInteger code = objc::Send<NSInteger>(SharedApp(), "runModalForWindow:", window);
  EXPECT_EQ(code, 42) << "a timer of the modal mode can stop the modal loop";
  EXPECT_EQ(gFired.size(), 1u);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(RunLoopTest, NextEventHonoursLimitDateMaskAndDequeue) {
  objc::AutoreleasePool pool;
  double start = ClockNow();
  // Nothing comes: the wait ends at the limit date and answers nil.
  id limit = objc::Send(Cls("NSDate"), "dateWithTimeIntervalSinceNow:", 5.0);
  EXPECT_EQ(NextEvent(limit), nil);
  ASSERT_EQ(desktop_->deadlines.size(), 1u);
  EXPECT_DOUBLE_EQ(desktop_->deadlines[0], start + 5) << "the desktop waits until the limit";
  EXPECT_DOUBLE_EQ(ClockNow(), start + 5);

  // A mask leaves other events queued; dequeue NO leaves the event in place.
  Post(KeyEvent("a"));
  Post(WakeEvent());
  NSUInteger app_defined = NSUInteger{1} << kEventApplicationDefined;
  id peek = objc::Send(SharedApp(), "nextEventMatchingMask:untilDate:inMode:dequeue:", app_defined,
                       static_cast<id>(nil), NSDefaultRunLoopMode, NO);
  ASSERT_NE(peek, nil);
  id taken = objc::Send(SharedApp(), "nextEventMatchingMask:untilDate:inMode:dequeue:", app_defined,
                        static_cast<id>(nil), NSDefaultRunLoopMode, YES);
  EXPECT_EQ(taken, peek) << "dequeue NO left the event where it was";
  id key = NextEvent(nil);
  ASSERT_NE(key, nil);
  EXPECT_EQ(objc::Send<NSUInteger>(key, "type"), NSUInteger{kEventKeyDown});
  EXPECT_EQ(NextEvent(nil), nil) << "the queue is empty now";

  // postEvent:atStart: YES goes before what is queued.
  Post(KeyEvent("b"));
  Post(WakeEvent(), YES);
  EXPECT_EQ(objc::Send<NSUInteger>(NextEvent(nil), "type"), NSUInteger{kEventApplicationDefined});
  EXPECT_EQ(objc::Send<NSUInteger>(NextEvent(nil), "type"), NSUInteger{kEventKeyDown});
}

TEST_F(RunLoopTest, PeekingLeavesTimersAlone) {
  objc::AutoreleasePool pool;
  Schedule(10, NSDefaultRunLoopMode);
  ClockAdvanceTo(ClockNow() + 15);
  id peek =
      objc::Send(SharedApp(), "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                 static_cast<id>(nil), NSDefaultRunLoopMode, NO);
  EXPECT_EQ(peek, nil);
  EXPECT_TRUE(gFired.empty()) << "a peek (dequeue NO) does not fire the due timer";
  EXPECT_EQ(NextEvent(nil), nil);
  EXPECT_EQ(gFired.size(), 1u) << "taking events fires it";
}

TEST_F(RunLoopTest, CurrentModeIsTheFetchingMode) {
  objc::AutoreleasePool pool;
  id seen = nil;
  desktop_->steps.push_back([&seen] {
    seen = objc::Send(objc::Send(Cls("NSRunLoop"), "currentRunLoop"), "currentMode");
    objc::Send<void>(SharedApp(), "stopModal");
  });
  id window = NewWindow("Mode");
  EXPECT_EQ(objc::Send<NSInteger>(SharedApp(), "runModalForWindow:", window),
            NSInteger{kModalResponseStop});
  EXPECT_EQ(seen, NSModalPanelRunLoopMode);
  EXPECT_EQ(objc::Send(objc::Send(Cls("NSRunLoop"), "mainRunLoop"), "currentMode"), nil)
      << "outside a fetch the run loop is not running";
  objc::Send<void>(window, "close");
  objc_release(window);
}

}  // namespace
