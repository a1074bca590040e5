// Tests of window timers on the virtual clock: firing, replacement, refusals, dropping queued
// events of a stopped timer, and no firing while a modal loop runs.
#include "gui/timers.h"

#include "platform/foundation/clock.h"
#include "tests/gui/gui_harness.h"

namespace {

class TimersTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    NewWindow(0, 0, 0, 0, 0, nullptr, WindowInvisible, nil);
    TakeQueue();
    DrainPlatformEvents();
  }
  static NSUInteger TimerCount() {
    return objc::Send<NSUInteger>(FindWindowRecord(0)->timers, "count");
  }
};

TEST_F(TimersTest, FiresOneIntervalAfterTheStartAndIsReplacedByARestart) {
  EXPECT_EQ(StartWindowTimer(0, 1, 120000), 1);
  EXPECT_EQ(StartWindowTimer(0, 1, 120000), 1);
  EXPECT_EQ(TimerCount(), 1u) << "a restart replaces the running timer";
  id timer = objc::Send(FindWindowRecord(0)->timers, "objectAtIndex:", NSUInteger{0});
  EXPECT_EQ(objc::Send<double>(timer, "timeInterval"), 120.0);

  double start = ClockNow();
  EXPECT_EQ(WaitForQueuedEvent(), TimerEvent);
  EXPECT_EQ(CurrentEventGadget(), 1);
  EXPECT_EQ(CurrentEventWindow(), 0);
  EXPECT_DOUBLE_EQ(ClockNow() - start, 120.0) << "the first firing comes one interval later";
  EXPECT_EQ(WaitForQueuedEvent(), TimerEvent);
  EXPECT_DOUBLE_EQ(ClockNow() - start, 240.0) << "and it repeats";
}

TEST_F(TimersTest, RefusesBadIntervalsAndMissingWindows) {
  EXPECT_EQ(StartWindowTimer(0, 1, 60000), 1);
  EXPECT_EQ(StartWindowTimer(0, 1, 0), 0);
  EXPECT_EQ(TimerCount(), 0u) << "an interval below 1 ms still stops the running timer";
  EXPECT_EQ(StartWindowTimer(9, 1, 1000), 0) << "no window 9";
  EXPECT_EQ(StartWindowTimer(0, 2, 3600000), 1) << "60 minutes fit in the 32-bit interval";
  StopWindowTimer(0, 7);  // not running: nothing happens
  EXPECT_EQ(TimerCount(), 1u);
}

TEST_F(TimersTest, StoppingDropsQueuedEventsOfThatTimerOnly) {
  StartWindowTimer(0, 1, 1000);
  StartWindowTimer(0, 2, 1000);
  QueueUiEvent(TimerEvent, 1, 0, 0);
  QueueUiEvent(TimerEvent, 2, 0, 0);
  QueueUiEvent(TimerEvent, 1, 0, 0);
  StopWindowTimer(0, 1);
  EXPECT_EQ(TakeQueue(), std::vector<std::string>{"15:2:0"});
  EXPECT_EQ(TimerCount(), 1u);
}

TEST_F(TimersTest, DoesNotFireInsideAModalLoop) {
  StartWindowTimer(0, 1, 1000);
  NewWindow(1, 0, 0, 100, 100, u"Modal", WindowInvisible, nil);
  DrainPlatformEvents();
  TakeQueue();
  Screen().Then([] { ClockAdvanceTo(ClockNow() + 5); });
  Screen().Then([] {
    objc::Send<void>(NSApp, "stopModal");
    WakeEventLoop();
  });
  objc::Send<NSInteger>(NSApp, "runModalForWindow:", WindowObject(1));
  for (const std::string& event : TakeQueue()) {
    EXPECT_NE(event.substr(0, 3), "15:") << "default-mode timers wait while the modal loop runs";
  }
  DrainPlatformEvents();
  EXPECT_EQ(WaitForEvent(0), TimerEvent) << "the overdue timer fires once the loop is back";
}

}  // namespace
