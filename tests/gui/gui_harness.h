// A scripted test desktop and a fixture that starts the GUI runtime once per test program:
// the desktop's Wait performs the next scripted step (press a button, post an event, advance
// the virtual clock); with nothing scripted it lets the virtual clock run to the deadline.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "gui/application.h"
#include "gui/event_queue.h"
#include "gui/menus.h"
#include "gui/windows.h"
#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/clock.h"

class ScriptedDesktop : public Desktop {
 public:
  // Steps run one per Wait, in order.
  void Then(std::function<void()> step) { steps_.push_back(std::move(step)); }
  bool Done() const { return steps_.empty(); }
  void Clear() { steps_.clear(); }

  void Wait(double deadline) override {
    if (!steps_.empty()) {
      std::function<void()> step = std::move(steps_.front());
      steps_.pop_front();
      step();
      return;
    }
    if (std::isfinite(deadline)) {
      ClockAdvanceTo(deadline);  // nothing else happens before the deadline
      return;
    }
    // Nothing scripted and no deadline: the loop would block for ever. Fail and wake it.
    ADD_FAILURE() << "the event loop waited with nothing scripted and no deadline";
    WakeEventLoop();
  }
  int ScreenCount() override { return 1; }
  NSRect ScreenFrame(int) override { return NSMakeRect(0, 0, 1920, 1080); }
  bool PrefersDark() override { return false; }
  void WindowShown(id window) override { shown.push_back(window); }
  void WindowHidden(id window) override { hidden.push_back(window); }
  void AlertStarted(id alert) override { alerts.push_back(alert); }

  std::vector<id> shown;   // windows ordered in, in order
  std::vector<id> hidden;  // windows ordered out or closed, in order
  std::vector<id> alerts;  // alerts that started their modal loop

 private:
  std::deque<std::function<void()>> steps_;
};

// Starts the runtime once (the shared application lives for the whole program) and gives each
// test a fresh queue, window registry and menu registry on the scripted desktop.
class GuiTest : public testing::Test {
 protected:
  static ScriptedDesktop& Screen() {
    static ScriptedDesktop desktop;
    return desktop;
  }

  void SetUp() override {
    static bool started = false;
    if (!started) {
      started = true;
      ClockStartVirtual();
      SetCurrentDesktop(&Screen());
      StartApplication();
    }
    Screen().Clear();
    Screen().shown.clear();
    Screen().hidden.clear();
    Screen().alerts.clear();
    InitEventQueue();
    InitWindows();
    InitMenus();
    DrainPlatformEvents();
  }

  void TearDown() override {
    EXPECT_TRUE(Screen().Done()) << "every scripted step should have run";
    Screen().Clear();
    DisposeWindow(-1);
    ReleaseMenu(-1);
    DrainPlatformEvents();
    while (FetchEvent() != 0) {
    }
    RecycleAutoreleasePool();
    EndEventQueue();
  }

  // Empties the application's platform queue (wake-up events of earlier posts).
  static void DrainPlatformEvents() {
    while (objc::Send(NSApp, "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                      static_cast<id>(nil), NSDefaultRunLoopMode, YES)) {
    }
  }

  // Waits until a platform event queues something; answers its type (-1 after 10 tries).
  static int32_t WaitForQueuedEvent() {
    for (int tries = 0; tries < 10; ++tries) {
      int32_t type = WaitForEvent(-1);
      if (type != -1) return type;
    }
    return -1;
  }

  // Fetches every queued event as "type:object:window".
  static std::vector<std::string> TakeQueue() {
    std::vector<std::string> events;
    while (FetchEvent() != 0) {
      events.push_back(std::to_string(CurrentEventType()) + ":" +
                       std::to_string(CurrentEventGadget()) + ":" +
                       std::to_string(CurrentEventWindow()));
    }
    return events;
  }
};
