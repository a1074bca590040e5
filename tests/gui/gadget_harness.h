// A fixture for the gadget tests on the scripted desktop: the gadget library on top of the GUI
// runtime, window 1 as the preferences window opens it, and helpers to read gadget texts and
// to press keys and click views as a user would.
#pragma once

#include <string>

#include "core/temp_buffer.h"
#include "gui/cocoa.h"
#include "gui/gadgets.h"
#include "platform/desktop/key_names.h"
#include "platform/foundation/string.h"
#include "tests/gui/gui_harness.h"

class GadgetTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Seen().clear();
    static bool initialised = false;
    if (!initialised) {
      initialised = true;
      InitTempBuffer();
      InitGadgets();
    }
  }
  void TearDown() override {
    DestroyGadget(-1);
    GuiTest::TearDown();
  }

  // Opens window 1 (300 by 200, centred, closable) as the current gadget list window.
  static id OpenPreferencesWindow() {
    NewWindow(1, 0, 0, 300, 200, u"Preferences", WindowCentered | WindowCloseBox, nil);
    TakeQueue();
    return WindowObject(1);
  }
  static id ContentView(int64_t window = 1) {
    return objc::Send(WindowObject(window), "contentView");
  }
  static NSUInteger SubviewCount(id view) {
    return objc::Send<NSUInteger>(objc::Send(view, "subviews"), "count");
  }

  // The gadget's text through the result protocol, as UTF-8.
  static std::string TextOf(int64_t gadget) {
    PushTempStart();
    int64_t offset = PopTempStart();
    GetGadgetText(gadget, offset);
    std::string text =
        foundation::StringUtf8(foundation::MakeString(std::u16string(TempPointerAt(offset + 1))));
    TruncateTemp(offset);
    return text;
  }
  static std::string Utf8(id string) { return foundation::StringUtf8(string); }

  static std::string CurrentEventText() {
    return std::to_string(CurrentEventType()) + ":" + std::to_string(CurrentEventGadget()) + ":" +
           std::to_string(CurrentEventWindow()) + ":" + std::to_string(CurrentEventSubtype());
  }
  // Events the runtime's wait returned while the helpers below dispatched platform events.
  static std::vector<std::string>& Seen() {
    static std::vector<std::string> seen;
    return seen;
  }
  // Lets the runtime's wait dispatch every pending platform event (through the event filters,
  // as the program's loop does), keeping the events it returns for TakeEvents.
  static void Pump() {
    for (int rounds = 0; rounds < 100; ++rounds) {
      int32_t type = WaitForEvent(0);
      if (type == 0) return;
      if (type > 0) Seen().push_back(CurrentEventText());
    }
    ADD_FAILURE() << "the platform queue should empty itself";
  }
  // Every event returned while pumping, then every event still queued, as
  // "type:object:window:subtype".
  static std::vector<std::string> TakeEvents() {
    std::vector<std::string> events;
    events.swap(Seen());
    while (FetchEvent() != 0) events.push_back(CurrentEventText());
    return events;
  }
  static std::string GadgetEventText(int64_t gadget, int64_t window, int64_t subtype) {
    return "3:" + std::to_string(gadget) + ":" + std::to_string(window) + ":" +
           std::to_string(subtype);
  }

  // Posts the key down and key up of a protocol key name ("ctrl+alt+t") to the key window,
  // with extra modifier flags added, and lets the runtime's wait dispatch both.
  static void PressKey(const char* name, NSUInteger extra_flags = 0) {
    KeyStroke key{};
    EXPECT_TRUE(ParseKeyName(name, &key)) << name;
    id window = objc::Send(NSApp, "keyWindow");
    NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
    for (NSUInteger type : {NSUInteger{10}, NSUInteger{11}}) {
      id event = objc::Send(
          CocoaClass("NSEvent"),
          "keyEventWithType:location:modifierFlags:timestamp:windowNumber:context:characters:"
          "charactersIgnoringModifiers:isARepeat:keyCode:",
          type, NSMakePoint(0, 0), static_cast<NSUInteger>(key.cocoa_modifiers) | extra_flags, 0.0,
          number, static_cast<id>(nil), foundation::MakeString(std::u16string(1, key.characters)),
          foundation::MakeString(std::u16string(1, key.characters_ignoring_modifiers)), NO,
          static_cast<unsigned short>(key.key_code));
      objc::Send<void>(NSApp, "postEvent:atStart:", event, NO);
    }
    Pump();
  }

  // Posts a left click at a point of view (its own coordinates) and dispatches it.
  static void ClickAt(id view, NSPoint point) {
    id window = objc::Send(view, "window");
    NSPoint location =
        objc::Send<NSPoint>(view, "convertPoint:toView:", point, static_cast<id>(nil));
    NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
    for (NSUInteger type : {NSUInteger{1}, NSUInteger{2}}) {
      id event = objc::Send(CocoaClass("NSEvent"),
                            "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:"
                            "context:eventNumber:clickCount:pressure:",
                            type, location, NSUInteger{0}, 0.0, number, static_cast<id>(nil),
                            NSInteger{0}, NSInteger{1}, 1.0f);
      objc::Send<void>(NSApp, "postEvent:atStart:", event, NO);
    }
    Pump();
  }
  static void Click(id view) {
    NSRect bounds = objc::Send<NSRect>(view, "bounds");
    ClickAt(view, NSMakePoint(bounds.size.width / 2, bounds.size.height / 2));
  }
};
