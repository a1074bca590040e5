// A scripted desktop and event helpers for the AppKit and run-loop tests: Wait() runs the
// next step of a script (post an event, press a button, move the virtual clock), so a test
// drives the application's loops without threads, sleeps or a terminal.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/string.h"

class ScriptedDesktop : public Desktop {
 public:
  // Runs the next step. With no step left, a finite deadline simply comes (the clock moves
  // to it); an endless wait with nothing left to do is a test failure.
  void Wait(double deadline) override {
    ++waits;
    deadlines.push_back(deadline);
    if (!steps.empty()) {
      std::function<void()> step = std::move(steps.front());
      steps.pop_front();
      step();
      return;
    }
    if (std::isinf(deadline)) {
      ADD_FAILURE() << "the application waited for ever with no scripted step left";
      std::abort();
    }
    ClockAdvanceTo(deadline);
  }
  int ScreenCount() override { return 1; }
  NSRect ScreenFrame(int) override { return NSMakeRect(0, 0, 1920, 1080); }
  bool PrefersDark() override {
    ++appearance_questions;
    return dark;
  }
  void WindowShown(id window) override { reports.push_back("shown " + Title(window)); }
  void WindowHidden(id window) override { reports.push_back("hidden " + Title(window)); }
  void AlertStarted(id) override { reports.push_back("alert started"); }
  void AlertEnded(id) override { reports.push_back("alert ended"); }
  void StatusItemChanged(id) override { ++status_changes; }
  void ApplicationActivated() override { ++activations; }

  void Reset() {
    steps.clear();
    reports.clear();
    deadlines.clear();
    waits = 0;
    status_changes = 0;
    activations = 0;
    dark = false;
    appearance_questions = 0;
  }

  static std::string Title(id window) {
    return foundation::StringUtf8(objc::Send(window, "title"));
  }

  std::deque<std::function<void()>> steps;  // what the next waits do, in order
  std::vector<std::string> reports;         // "shown T", "hidden T", "alert started", ...
  std::vector<double> deadlines;            // the deadline of every wait
  int waits = 0;
  int status_changes = 0;
  int activations = 0;
  bool dark = false;             // what PrefersDark answers
  int appearance_questions = 0;  // calls of PrefersDark
};

// The one scripted desktop of the test program, installed (with the virtual clock) by every
// AppKit test fixture.
inline ScriptedDesktop& InstallScriptedDesktop() {
  static ScriptedDesktop desktop;
  ClockStartVirtual();
  SetCurrentDesktop(&desktop);
  desktop.Reset();
  return desktop;
}

inline id Str(const char* utf8) {
  return foundation::MakeStringFromUtf8(utf8);
}
inline std::string Utf8(id string) {
  return foundation::StringUtf8(string);
}
inline id Cls(const char* name) {
  return reinterpret_cast<id>(objc_lookUpClass(name));
}

// The test program's application is an instance of a subclass made at run time, as the GUI
// runtime makes its own: its sendEvent: counts the events and goes on to NSApplication's.
inline int gApplicationEventsSeen = 0;
inline void CountingSendEvent(id self, SEL sel, id event) {
  ++gApplicationEventsSeen;
  objc::SendSuper<void>(self, objc_lookUpClass("AppKitTestApplication"), sel, event);
}
inline Class TestApplicationClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestApplication", "NSApplication");
    objc::AddMethod(c, "sendEvent:", &CountingSendEvent);
    return c;
  }();
  return cls;
}
inline id SharedApp() {
  return objc::Send(reinterpret_cast<id>(TestApplicationClass()), "sharedApplication");
}

// Takes one event, waiting at most until limit (nil: not at all), and dispatches it as the
// GUI runtime's wait does. Answers the event or nil.
inline id DispatchNextEvent(id limit = nil) {
  id event =
      objc::Send(SharedApp(), "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                 limit, NSDefaultRunLoopMode, YES);
  if (event) objc::Send<void>(SharedApp(), "sendEvent:", event);
  objc::Send<void>(SharedApp(), "updateWindows");
  return event;
}
// Dispatches every queued event.
inline void DispatchQueuedEvents() {
  while (DispatchNextEvent()) {
  }
}

// Takes every queued event without dispatching it (tests start with an empty queue).
inline void DrainEvents() {
  objc::AutoreleasePool pool;
  while (objc::Send(SharedApp(), "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                    static_cast<id>(nil), NSDefaultRunLoopMode, YES)) {
  }
}

// An autoreleased key-down (or key-up) event for the window numbered window_number.
inline id KeyEvent(const char* characters, NSUInteger flags = 0, unsigned short key_code = 0,
                   NSInteger window_number = 0, NSUInteger type = kEventKeyDown) {
  return objc::Send(Cls("NSEvent"),
                    "keyEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                    "characters:charactersIgnoringModifiers:isARepeat:keyCode:",
                    type, NSMakePoint(0, 0), flags, 0.0, window_number, static_cast<id>(nil),
                    Str(characters), Str(characters), NO, key_code);
}

inline id MouseEvent(NSUInteger type, NSPoint location, NSInteger window_number,
                     NSInteger clicks = 1) {
  return objc::Send(Cls("NSEvent"),
                    "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                    "eventNumber:clickCount:pressure:",
                    type, location, NSUInteger{0}, 0.0, window_number, static_cast<id>(nil),
                    NSInteger{0}, clicks, 1.0f);
}

inline id WakeEvent() {
  return objc::Send(Cls("NSEvent"),
                    "otherEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                    "subtype:data1:data2:",
                    NSUInteger{kEventApplicationDefined}, NSMakePoint(0, 0), NSUInteger{0}, 0.0,
                    NSInteger{0}, static_cast<id>(nil), short{0}, NSInteger{0}, NSInteger{0});
}

inline void Post(id event, BOOL at_start = NO) {
  objc::Send<void>(SharedApp(), "postEvent:atStart:", event, at_start);
}

// A titled window (+1) with the given content size; not released when closed, so the test
// releases it.
inline id NewWindow(const char* title, double width = 300, double height = 200) {
  id window = objc::Send(objc::Send(Cls("NSWindow"), "alloc"),
                         "initWithContentRect:styleMask:backing:defer:",
                         NSMakeRect(100, 100, width, height), NSUInteger{1 | 2}, NSUInteger{2}, NO);
  objc::Send<void>(window, "setReleasedWhenClosed:", NO);
  objc::Send<void>(window, "setTitle:", Str(title));
  return window;
}
