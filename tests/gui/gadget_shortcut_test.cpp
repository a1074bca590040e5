// Tests of the shortcut gadget: the initial text, the mapping of key presses to shortcut values
// and texts while the gadget has the focus, and the keys it leaves alone.
#include "tests/gui/gadget_harness.h"

namespace {

using GadgetShortcutTest = GadgetTest;

struct Case {
  const char* key;   // the key name, as the terminal's `key` takes it
  int64_t value;     // the shortcut value
  const char* text;  // the text shown
};

TEST_F(GadgetShortcutTest, InitialValueIsShownAtOnce) {
  OpenPreferencesWindow();
  int64_t gadget = CreateShortcutGadget(-1, 106, 20, 90, 25, 0xA002F);
  EXPECT_EQ(TextOf(gadget), "⌃⌘/");
  EXPECT_EQ(GetGadgetState(gadget), 655407);
  EXPECT_EQ(objc::Send(GadgetView(gadget), "superview"), ContentView());
  SetGadgetText(gadget, u"⌃⌥T");
  EXPECT_EQ(TextOf(gadget), "⌃⌥T") << "a stored text is shown as it is";
  EXPECT_EQ(GetGadgetState(gadget), 655407) << "and leaves the value alone";
  Click(GadgetView(gadget));
  for (const std::string& event : TakeEvents()) {
    EXPECT_NE(event.substr(0, 2), "3:") << "the gadget posts no GadgetEvent";
  }
  objc::Send<BOOL>(NSApp, "sendAction:to:from:", sel_registerName("EventHandler:"),
                   FindGadgetRecord(gadget)->functions, GadgetView(gadget));
  EXPECT_TRUE(TakeEvents().empty()) << "not even when its action is sent";
}

TEST_F(GadgetShortcutTest, KeysPressedWithTheFocusBecomeShortcuts) {
  OpenPreferencesWindow();
  int64_t gadget = CreateShortcutGadget(-1, 106, 20, 90, 25, 0xA002F);
  id view = GadgetView(gadget);
  ASSERT_TRUE(objc::Send<BOOL>(WindowObject(1), "makeFirstResponder:", view));
  const Case cases[] = {
      {"ctrl+alt+t", 0x60074, "⌃⌥T"},
      {"shift+1", 0x10021, "⇧!"},
      {"ctrl+f5", 0x20160, "⌃F5"},
      {"f5", 352, "F5"},
      {"f1", 378, "F1"},
      {"alt+space", 0x40020, "⌥Space"},
      {"cmd+return", 0x8000D, "⌘↩"},
      {"shift+return", 0x1000D, "⇧↩"},
      {"esc", 27, "⎋"},
      {"cmd+esc", 0x8001B, "⌘⎋"},
      {"ctrl+tab", 0x20009, "⌃Tab"},
      {"t", 0x74, "T"},
      {"shift+a", 0x10041, "⇧A"},
      {"ctrl+alt+shift+cmd+/", 0xF003F, "⌃⌥⇧⌘?"},
      {"left", 0, ""},
      {"ctrl+delete", 0, ""},
      {"backspace", 0, ""},
  };
  for (const Case& c : cases) {
    PressKey(c.key);
    EXPECT_TRUE(TakeEvents().empty()) << c.key << ": consumed, nothing queued";
    EXPECT_EQ(GetGadgetState(gadget), c.value) << c.key;
    EXPECT_EQ(TextOf(gadget), c.text) << c.key;
    EXPECT_EQ(objc::Send(WindowObject(1), "firstResponder"), view)
        << c.key << ": the focus stays in the gadget";
  }
  PressKey("ctrl+alt+t", 0x10000);  // caps lock held
  EXPECT_EQ(TextOf(gadget), "⌃⌥T") << "caps lock never shows";
  EXPECT_EQ(GetGadgetState(gadget), 0x60074);

  id functions = FindGadgetRecord(gadget)->functions;
  EXPECT_EQ(objc::Send<uint32_t>(functions, "MapToShortcut:keyCode:character:", uint32_t{0},
                                 uint32_t{0xFFFFFFFF}, int32_t{'a'}),
            0u)
      << "no key code, no shortcut";
  EXPECT_EQ(objc::Send<uint32_t>(functions, "MapToShortcut:keyCode:character:", uint32_t{0},
                                 uint32_t{105}, int32_t{0xF710}),
            0u)
      << "F13 is refused";
}

TEST_F(GadgetShortcutTest, KeysWithoutTheFocusAreLeftAlone) {
  OpenPreferencesWindow();
  int64_t first = CreateShortcutGadget(-1, 106, 20, 90, 25, 0xA002F);
  int64_t second = CreateShortcutGadget(-1, 106, 50, 90, 25, 0x6002F);
  int64_t label = CreateTextGadget(-1, 20, 24, 80, 25, u"Label");
  ASSERT_TRUE(objc::Send<BOOL>(WindowObject(1), "makeFirstResponder:", GadgetView(second)));
  PressKey("ctrl+alt+t");
  EXPECT_EQ(GetGadgetState(first), 0xA002F) << "only the focused gadget takes the key";
  EXPECT_EQ(TextOf(second), "⌃⌥T");

  objc::Send<BOOL>(WindowObject(1), "makeFirstResponder:", static_cast<id>(nil));
  PressKey("x");
  EXPECT_EQ(TextOf(second), "⌃⌥T") << "without the focus the gadget keeps its value";
  EXPECT_EQ(TextOf(label), "Label");

  NewWindow(2, 0, 0, 100, 100, u"Other", WindowCloseBox, nil);
  CreateShortcutGadget(-1, 0, 0, 90, 25, 0);
  ASSERT_EQ(objc::Send(NSApp, "keyWindow"), WindowObject(2));
  PressKey("ctrl+alt+c");
  EXPECT_EQ(TextOf(first), "⌃⌘/") << "a key in another window changes nothing here";
  EXPECT_EQ(TextOf(second), "⌃⌥T");

  DestroyGadget(second);
  objc::Send<void>(WindowObject(1), "makeKeyWindow");
  PressKey("ctrl+alt+t");  // the destroyed gadget's filter is gone: nothing may touch it
  EXPECT_EQ(TextOf(first), "⌃⌘/");
}

}  // namespace
