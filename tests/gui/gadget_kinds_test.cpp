// Tests of the button, check box and text gadgets: bezels and the default button, the
// three-state check box that the user cannot put into mixed, and the label that greys its
// text instead of being disabled.
#include "tests/gui/gadget_harness.h"

namespace {

using GadgetKindsTest = GadgetTest;

NSUInteger BezelOf(id view) {
  return objc::Send<NSUInteger>(view, "bezelStyle");
}

TEST_F(GadgetKindsTest, ButtonBezelAndDefaultButtonFollowTheHeight) {
  OpenPreferencesWindow();
  int64_t ok = CreateButtonGadget(-1, 10, 10, 60, 25, u"OK", 0x8);
  int64_t low = CreateButtonGadget(-1, 10, 40, 60, 24, u"Low", 0x8);
  EXPECT_EQ(BezelOf(GadgetView(ok)), 1u) << "25 high: push-button bezel";
  EXPECT_EQ(Utf8(objc::Send(GadgetView(ok), "keyEquivalent")), "\r");
  EXPECT_EQ(BezelOf(GadgetView(low)), 2u) << "24 high: square bezel";
  EXPECT_EQ(Utf8(objc::Send(GadgetView(low), "keyEquivalent")), "") << "and no Return";
  EXPECT_EQ(TextOf(ok), "OK");
  SetGadgetText(ok, u"Fine");
  EXPECT_EQ(Utf8(objc::Send(GadgetView(ok), "title")), "Fine") << "the text is the title";

  TakeEvents();
  PressKey("return");
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{GadgetEventText(ok, 1, SubtypeDefault)})
      << "Return presses the default button";

  id functions = FindGadgetRecord(ok)->functions;
  objc::Send<void>(functions, "ResizeGadget:y:width:height:", kGadgetKeep, kGadgetKeep, kGadgetKeep,
                   30);
  EXPECT_EQ(BezelOf(GadgetView(ok)), 2u) << "30 high takes the square bezel";
  objc::Send<void>(functions, "ResizeGadget:y:width:height:", kGadgetKeep, kGadgetKeep, kGadgetKeep,
                   25);
  EXPECT_EQ(BezelOf(GadgetView(ok)), 2u) << "and keeps it back at 25";

  int64_t toggle = CreateButtonGadget(-1, 10, 70, 60, 25, u"Toggle", 0x4 | 0x2);
  EXPECT_EQ(objc::Send<NSUInteger>(GadgetView(toggle), "buttonType"), 1u);
  EXPECT_EQ(objc::Send<NSUInteger>(GadgetView(toggle), "alignment"), 0u) << "0x2: left";
}

TEST_F(GadgetKindsTest, ThreeStateCheckBoxNeverGoesToMixedByClicks) {
  OpenPreferencesWindow();
  int64_t box = CreateCheckboxGadget(-1, 20, 156, 110, 25, u"Start at Login", 0x4);
  id view = GadgetView(box);
  EXPECT_EQ(objc::Send<NSUInteger>(view, "buttonType"), 3u) << "a switch";
  EXPECT_EQ(GetGadgetState(box), 0);
  Click(view);
  EXPECT_EQ(GetGadgetState(box), 1) << "from off to on, not to mixed";
  Click(view);
  EXPECT_EQ(GetGadgetState(box), 0) << "from on to off";
  EXPECT_EQ(TakeEvents(),
            (std::vector<std::string>{GadgetEventText(box, 1, 0), GadgetEventText(box, 1, 0)}))
      << "each click posts SubtypeDefault for window 1";
  SetGadgetState(box, -1);
  EXPECT_EQ(GetGadgetState(box), -1) << "the program can show mixed";
  Click(view);
  EXPECT_EQ(GetGadgetState(box), 1) << "from mixed a click goes to on";

  int64_t plain = CreateCheckboxGadget(-1, 20, 20, 110, 25, u"Plain");
  SetGadgetState(plain, 1);
  EXPECT_EQ(GetGadgetState(plain), 1);
  SetGadgetState(plain, -1);
  EXPECT_EQ(GetGadgetState(plain), 1) << "a two-state box has no mixed state";
  SetGadgetText(plain, u"Renamed");
  EXPECT_EQ(TextOf(plain), "Renamed");
}

TEST_F(GadgetKindsTest, DisabledLabelGreysItsTextButStaysEnabled) {
  OpenPreferencesWindow();
  int64_t label = CreateTextGadget(-1, 20, 114, 200, 25, u"Reminder Interval (minutes)");
  id view = GadgetView(label);
  EXPECT_EQ(TextOf(label), "Reminder Interval (minutes)");
  EXPECT_FALSE(objc::Send<BOOL>(view, "isEditable"));
  EXPECT_FALSE(objc::Send<BOOL>(view, "isSelectable"));
  EXPECT_EQ(GetGadgetState(label), 0) << "a label has no state";
  SetGadgetState(label, 5);
  EXPECT_EQ(TextOf(label), "Reminder Interval (minutes)");

  id grey = objc::Send(CocoaClass("NSColor"), "secondarySelectedControlColor");
  id standard = objc::Send(CocoaClass("NSColor"), "controlTextColor");
  DisableGadget(label, 1);
  EXPECT_TRUE(objc::Send<BOOL>(view, "isEnabled")) << "the label stays enabled";
  EXPECT_TRUE(objc::Send<BOOL>(objc::Send(view, "textColor"), "isEqual:", grey));
  DisableGadget(label, 0);
  EXPECT_TRUE(objc::Send<BOOL>(objc::Send(view, "textColor"), "isEqual:", standard))
      << "without a colour of its own the label gets the standard text colour back";

  id red = objc::Send(CocoaClass("NSColor"), "redColor");
  id functions = FindGadgetRecord(label)->functions;
  objc::Send<void>(functions, "SetGadgetColor:color:", int32_t{1}, red);
  DisableGadget(label, 1);
  DisableGadget(label, 0);
  EXPECT_EQ(objc::Send(functions, "GetGadgetColor:", int32_t{1}), red)
      << "re-enabling restores the colour the program set";
}

}  // namespace
