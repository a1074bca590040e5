// Tests of the combo box gadgets (pop-up and editable) and of the spin gadget: items, state and
// case conversion, and the event pairs of the spin gadget's stepper and text.
#include "platform/appkit/control.h"
#include "platform/appkit/text_field.h"
#include "tests/gui/gadget_harness.h"

namespace {

using GadgetComboSpinTest = GadgetTest;

id StepperOf(int64_t spin) {
  return objc::Send(objc::Send(FindGadgetRecord(spin)->container, "subviews"),
                    "objectAtIndex:", NSUInteger{1});
}
double StepperValue(int64_t spin) {
  return objc::Send<double>(StepperOf(spin), "doubleValue");
}

TEST_F(GadgetComboSpinTest, PopUpComboBoxKeepsItemsWithoutChoosingOne) {
  OpenPreferencesWindow();
  int64_t combo = CreateComboBoxGadget(-1, 120, 80, 150, 25);
  id view = GadgetView(combo);
  for (const char16_t* text : {u"None", u"Alert Box", u"Spoken Reminder"}) {
    EXPECT_NE(AddGadgetItem(combo, -1, text), 0) << "adding answers the new item";
  }
  EXPECT_EQ(objc::Send<int32_t>(FindGadgetRecord(combo)->functions, "CountGadgetItems"), 3);
  EXPECT_EQ(GetGadgetState(combo), -1) << "adding items selects none";
  EXPECT_EQ(TextOf(combo), "");
  SetGadgetState(combo, 1);
  EXPECT_EQ(GetGadgetState(combo), 1);
  EXPECT_EQ(TextOf(combo), "Alert Box");

  AddGadgetItem(combo, 0, u"First");
  EXPECT_EQ(GetGadgetState(combo), 2) << "inserting in front keeps the chosen item";
  EXPECT_EQ(TextOf(combo), "Alert Box");
  AddGadgetItem(combo, 99, u"Last");
  EXPECT_EQ(Utf8(objc::Send(view, "itemTitleAtIndex:", NSInteger{4})), "Last")
      << "a position past the end appends";
  SetGadgetText(combo, u"Spoken Reminder");
  EXPECT_EQ(GetGadgetState(combo), 3);

  id functions = FindGadgetRecord(combo)->functions;
  objc::Send<void>(functions, "SetGadgetItemData:value:", int32_t{1}, int64_t{42});
  EXPECT_EQ(objc::Send<int64_t>(functions, "GetGadgetItemData:", int32_t{1}), 42);
  objc::Send<void>(functions, "RemoveGadgetItem:", int32_t{0});
  EXPECT_EQ(Utf8(objc::Send(functions, "GetGadgetItemText:column:", int32_t{0}, int32_t{0})),
            "None");
  TakeEvents();

  // The terminal's `select`: choose an item, then the control's action.
  objc::Send<void>(view, "selectItemAtIndex:", NSInteger{0});
  objc::Send<BOOL>(NSApp, "sendAction:to:from:", objc::Send<SEL>(view, "action"),
                   objc::Send(view, "target"), view);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{GadgetEventText(combo, 1, SubtypeChange)})
      << "choosing an item posts SubtypeChange";
  EXPECT_EQ(GetGadgetState(combo), 0);

  objc::Send<void>(functions, "ClearGadgetItems");
  EXPECT_EQ(GetGadgetState(combo), -1);
  EXPECT_EQ(objc::Send<int32_t>(functions, "CountGadgetItems"), 0);
}

TEST_F(GadgetComboSpinTest, ComboBoxCaseFlagsApplyToAddedSetAndSearchedTexts) {
  OpenPreferencesWindow();
  int64_t upper = CreateComboBoxGadget(-1, 0, 0, 150, 25, 0x4);
  AddGadgetItem(upper, -1, u"None");
  AddGadgetItem(upper, -1, u"Alert Box");
  SetGadgetText(upper, u"alert box");
  EXPECT_EQ(GetGadgetState(upper), 1) << "the lower-case text finds the upper-cased item";
  EXPECT_EQ(TextOf(upper), "ALERT BOX");

  int64_t lower = CreateComboBoxGadget(-1, 0, 30, 150, 25, 0x2 | 0x4);
  AddGadgetItem(lower, -1, u"MiXeD");
  SetGadgetState(lower, 0);
  EXPECT_EQ(TextOf(lower), "mixed") << "lower case wins over upper case";

  int64_t images = CreateComboBoxGadget(-1, 0, 60, 150, 25, 0x8);
  id item = reinterpret_cast<id>(AddGadgetItem(images, -1, u"Pictured"));
  id image = objc::Send(item, "image");
  ASSERT_NE(image, nil) << "items of an image combo box always have an image";
  EXPECT_EQ(objc::Send<NSSize>(image, "size").width, 16);
  id second = reinterpret_cast<id>(AddGadgetItem(images, -1, u"Also"));
  EXPECT_EQ(objc::Send(second, "image"), image) << "one blank image is shared";
}

TEST_F(GadgetComboSpinTest, EditableComboBoxKeepsItsOwnItems) {
  OpenPreferencesWindow();
  int64_t combo = CreateComboBoxGadget(-1, 0, 0, 150, 25, 0x1);
  id view = GadgetView(combo);
  EXPECT_EQ(AddGadgetItem(combo, -1, u"One"), 1);
  AddGadgetItem(combo, -1, u"Three");
  AddGadgetItem(combo, 1, u"Two");
  EXPECT_EQ(objc::Send<NSInteger>(view, "numberOfItems"), 3) << "the box asks its data source";
  EXPECT_EQ(GetGadgetState(combo), -1);
  SetGadgetState(combo, 1);
  EXPECT_EQ(TextOf(combo), "Two");
  SetGadgetState(combo, -1);
  EXPECT_EQ(TextOf(combo), "");
  SetGadgetText(combo, u"Three");
  EXPECT_EQ(GetGadgetState(combo), 2) << "a text equal to an item selects it";
  SetGadgetText(combo, u"Four");
  EXPECT_EQ(TextOf(combo), "Four");

  id functions = FindGadgetRecord(combo)->functions;
  objc::Send<void>(functions, "SetGadgetItemData:value:", int32_t{0}, int64_t{7});
  EXPECT_EQ(objc::Send<int64_t>(functions, "GetGadgetItemData:", int32_t{0}), 7);
  EXPECT_EQ(objc::Send<int64_t>(functions, "GetGadgetItemData:", int32_t{1}), 0);
  TakeEvents();
  objc::Send<BOOL>(objc::Send(view, "window"), "makeFirstResponder:", view);
  TextFieldReplaceSelection(view, u"x");
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{GadgetEventText(combo, 1, SubtypeFocus),
                                                    GadgetEventText(combo, 1, SubtypeChange)}))
      << "focus, then a change for the typing";
}

TEST_F(GadgetComboSpinTest, SpinStepperPostsUpOrDownThenChange) {
  OpenPreferencesWindow();
  int64_t spin = CreateSpinGadget(-1, 190, 110, 70, 25, 2, 60, 8);
  EXPECT_EQ(StepperValue(spin), 2) << "the stepper starts at the minimum";
  EXPECT_EQ(TextOf(spin), "") << "the text stays empty until the program sets a state";
  EXPECT_EQ(objc::Send<NSUInteger>(GadgetView(spin), "alignment"), 2u);
  SetGadgetState(spin, 10);
  EXPECT_EQ(TextOf(spin), "10");
  EXPECT_EQ(GetGadgetState(spin), 10);

  StepperClick(StepperOf(spin), false);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{GadgetEventText(spin, 1, SubtypeDown),
                                                    GadgetEventText(spin, 1, SubtypeChange)}));
  EXPECT_EQ(TextOf(spin), "9");

  SetGadgetState(spin, 2);
  StepperClick(StepperOf(spin), false);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{GadgetEventText(spin, 1, SubtypeDown)})
      << "down at the minimum: no change";
  SetGadgetState(spin, 60);
  StepperClick(StepperOf(spin), true);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{GadgetEventText(spin, 1, SubtypeUp)})
      << "up at the maximum: Up only";

  // A click on the stepper's upper half, as a user makes it.
  SetGadgetState(spin, 20);
  id stepper = StepperOf(spin);
  NSRect bounds = objc::Send<NSRect>(stepper, "bounds");
  ClickAt(stepper, NSMakePoint(bounds.size.width / 2, bounds.size.height * 0.75));
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{GadgetEventText(spin, 1, SubtypeUp),
                                                    GadgetEventText(spin, 1, SubtypeChange)}));
  EXPECT_EQ(TextOf(spin), "21");
}

TEST_F(GadgetComboSpinTest, TypingMovesTheStepperButNotThePreviousValue) {
  OpenPreferencesWindow();
  int64_t spin = CreateSpinGadget(-1, 190, 110, 70, 25, 2, 60, 8);
  SetGadgetState(spin, 10);
  id field = GadgetView(spin);
  objc::Send<BOOL>(objc::Send(field, "window"), "makeFirstResponder:", field);
  TextFieldReplaceSelection(field, u"4");
  TextFieldReplaceSelection(field, u"5");
  EXPECT_EQ(StepperValue(spin), 45);
  EXPECT_EQ(GetGadgetState(spin), 45);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{GadgetEventText(spin, 1, SubtypeChange)}))
      << "one change per edit; back-to-back equal events coalesce";
  SetGadgetState(spin, 50);
  TextFieldReplaceSelection(field, u"3");  // the whole text was not selected: "503" > 60
  EXPECT_EQ(StepperValue(spin), 60) << "the stepper keeps within its range";
  TakeEvents();
  StepperClick(StepperOf(spin), false);
  EXPECT_EQ(StepperValue(spin), 59);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{GadgetEventText(spin, 1, SubtypeUp),
                                                    GadgetEventText(spin, 1, SubtypeChange)}))
      << "the down arrow from the typed 60 gives 59, judged against 50 (the value the program "
         "set last): Up";

  DisableGadget(spin, 1);
  EXPECT_FALSE(objc::Send<BOOL>(field, "isEnabled"));
  EXPECT_FALSE(objc::Send<BOOL>(StepperOf(spin), "isEnabled"));
  DisableGadget(spin, 0);
  id functions = FindGadgetRecord(spin)->functions;
  objc::Send<void>(functions, "SetGadgetAttribute:value:", int32_t{2}, int64_t{99});
  EXPECT_EQ(objc::Send<int64_t>(functions, "GetGadgetAttribute:", int32_t{2}), 99);
  EXPECT_EQ(objc::Send<int64_t>(functions, "GetGadgetAttribute:", int32_t{1}), 2);

  DestroyGadget(spin);
  EXPECT_EQ(SubviewCount(ContentView()), 0u) << "field and stepper leave with the container";
}

}  // namespace
