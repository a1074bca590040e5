// The controls behind the gadgets: a three-state button's click order, the pop-up button's
// selection as its menu changes, the stepper's range, wrap and arrows, the combo box with a data
// source, and a text field's editing notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/appkit/control.h"
#include "platform/appkit/text_field.h"
#include "tests/platform/appkit_test_support.h"

namespace {

std::vector<std::string> gNotes;  // selector names of the notifications the delegate got

void NoteBegin(id, SEL, id) {
  gNotes.push_back("begin");
}
void NoteChange(id, SEL, id) {
  gNotes.push_back("change");
}
void NoteSelection(id, SEL, id) {
  gNotes.push_back("selection");
}
void NoteAction(id, SEL, id) {
  gNotes.push_back("action");
}
NSInteger ItemCount(id, SEL, id) {
  return 3;
}
id ItemValue(id, SEL, id, NSInteger index) {
  static const char* const kNames[] = {"zero", "one", "two"};
  return Str(kNames[index]);
}

Class DelegateClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestControlsDelegate", "NSObject");
    objc::AddMethod(c, "controlTextDidBeginEditing:", &NoteBegin);
    objc::AddMethod(c, "controlTextDidChange:", &NoteChange);
    objc::AddMethod(c, "comboBoxSelectionDidChange:", &NoteSelection);
    objc::AddMethod(c, "act:", &NoteAction);
    objc::AddMethod(c, "numberOfItemsInComboBox:", &ItemCount);
    objc::AddMethod(c, "comboBox:objectValueForItemAtIndex:", &ItemValue);
    return c;
  }();
  return cls;
}

class AppKitControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallScriptedDesktop();
    DrainEvents();
    gNotes.clear();
    delegate_ = objc::Send(reinterpret_cast<id>(DelegateClass()), "new");
  }
  void TearDown() override { objc_release(delegate_); }

  id Make(const char* cls, NSRect frame = NSMakeRect(0, 0, 100, 25)) {
    return objc::Autorelease(objc::Send(objc::Send(Cls(cls), "alloc"), "initWithFrame:", frame));
  }

  id delegate_ = nil;  // the test delegate, data source and target
};

TEST_F(AppKitControlsTest, ThreeStateButtonClicksOnOffMixed) {
  objc::AutoreleasePool pool;
  id box = Make("NSButton");
  objc::Send<void>(box, "setButtonType:", NSUInteger{3});
  objc::Send<void>(box, "setAllowsMixedState:", YES);
  std::vector<NSInteger> states;
  for (int i = 0; i < 4; ++i) {
    objc::Send<void>(box, "performClick:", static_cast<id>(nil));
    states.push_back(objc::Send<NSInteger>(box, "state"));
  }
  EXPECT_EQ(states, (std::vector<NSInteger>{-1, 1, 0, -1})) << "off, mixed, on, off, mixed";
}

TEST_F(AppKitControlsTest, PopUpSelectionFollowsItsItems) {
  objc::AutoreleasePool pool;
  id popup =
      objc::Autorelease(objc::Send(objc::Send(Cls("NSPopUpButton"), "alloc"),
                                   "initWithFrame:pullsDown:", NSMakeRect(0, 0, 150, 25), NO));
  EXPECT_EQ(objc::Send<NSInteger>(popup, "indexOfSelectedItem"), -1);
  objc::Send<void>(popup, "addItemWithTitle:", Str("A"));
  objc::Send<void>(popup, "addItemWithTitle:", Str("B"));
  EXPECT_EQ(objc::Send<NSInteger>(popup, "indexOfSelectedItem"), 0) << "the first item added";
  objc::Send<void>(popup, "selectItemAtIndex:", NSInteger{1});
  objc::Send<void>(popup, "insertItemWithTitle:atIndex:", Str("Front"), NSInteger{0});
  EXPECT_EQ(objc::Send<NSInteger>(popup, "indexOfSelectedItem"), 2) << "the item, not the index";
  EXPECT_EQ(Utf8(objc::Send(popup, "titleOfSelectedItem")), "B");
  EXPECT_EQ(Utf8(objc::Send(popup, "title")), "B");
  EXPECT_EQ(Utf8(objc::Send(popup, "itemTitleAtIndex:", NSInteger{0})), "Front");
  objc::Send<void>(popup, "removeItemAtIndex:", NSInteger{2});
  EXPECT_EQ(objc::Send<NSInteger>(popup, "indexOfSelectedItem"), -1) << "a removed item";
  EXPECT_EQ(objc::Send<NSInteger>(popup, "numberOfItems"), 2);
  EXPECT_EQ(objc::Send<NSInteger>(objc::Send(popup, "menu"), "numberOfItems"), 2);
  objc::Send<void>(popup, "selectItemWithTitle:", Str("A"));
  EXPECT_EQ(objc::Send<int>(popup, "intValue"), 1);
  objc::Send<void>(popup, "removeAllItems");
  EXPECT_EQ(objc::Send<NSInteger>(popup, "numberOfItems"), 0);
}

TEST_F(AppKitControlsTest, StepperStaysInRangeWrapsAndClicksByHalves) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Stepper");
  id stepper = Make("NSStepper", NSMakeRect(10, 10, 20, 40));
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", stepper);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  EXPECT_EQ(objc::Send<double>(stepper, "maxValue"), 59) << "Cocoa's defaults";
  EXPECT_TRUE(objc::Send<BOOL>(stepper, "valueWraps"));
  objc::Send<void>(stepper, "setMinValue:", 2.0);
  objc::Send<void>(stepper, "setMaxValue:", 4.0);
  objc::Send<void>(stepper, "setDoubleValue:", 9.0);
  EXPECT_EQ(objc::Send<double>(stepper, "doubleValue"), 4) << "kept within the range";
  objc::Send<void>(stepper, "setTarget:", delegate_);
  objc::Send<void>(stepper, "setAction:", sel_registerName("act:"));

  StepperClick(stepper, true);
  EXPECT_EQ(objc::Send<int>(stepper, "intValue"), 2) << "past the maximum wraps";
  objc::Send<void>(stepper, "setValueWraps:", NO);
  StepperClick(stepper, false);
  EXPECT_EQ(objc::Send<int>(stepper, "intValue"), 2) << "without wrap it stops";
  EXPECT_EQ(gNotes.size(), 2u) << "each click sends the action";

  NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  Post(MouseEvent(kEventLeftMouseDown, NSMakePoint(20, 40), number));  // upper half
  Post(MouseEvent(kEventLeftMouseUp, NSMakePoint(20, 40), number));
  DispatchQueuedEvents();
  EXPECT_EQ(objc::Send<int>(stepper, "intValue"), 3) << "a click on the upper half is up";
  Post(MouseEvent(kEventLeftMouseDown, NSMakePoint(20, 15), number));  // lower half
  Post(MouseEvent(kEventLeftMouseUp, NSMakePoint(20, 15), number));
  DispatchQueuedEvents();
  EXPECT_EQ(objc::Send<int>(stepper, "intValue"), 2) << "on the lower half down";
  objc::Send<void>(stepper, "setEnabled:", NO);
  StepperClick(stepper, true);
  EXPECT_EQ(objc::Send<int>(stepper, "intValue"), 2) << "a disabled stepper does not step";
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitControlsTest, ComboBoxAsksItsDataSource) {
  objc::AutoreleasePool pool;
  id combo = Make("NSComboBox");
  objc::Send<void>(combo, "addItemWithObjectValue:", Str("own"));
  EXPECT_EQ(objc::Send<NSInteger>(combo, "numberOfItems"), 1);
  objc::Send<void>(combo, "setUsesDataSource:", YES);
  objc::Send<void>(combo, "setDataSource:", delegate_);
  objc::Send<void>(combo, "setDelegate:", delegate_);
  EXPECT_EQ(objc::Send<NSInteger>(combo, "numberOfItems"), 3);
  objc::Send<void>(combo, "selectItemAtIndex:", NSInteger{2});
  EXPECT_EQ(Utf8(objc::Send(combo, "stringValue")), "two");
  EXPECT_EQ(objc::Send<NSInteger>(combo, "indexOfSelectedItem"), 2);
  EXPECT_EQ(gNotes, std::vector<std::string>{"selection"});
  objc::Send<void>(combo, "deselectItemAtIndex:", NSInteger{2});
  EXPECT_EQ(objc::Send<NSInteger>(combo, "indexOfSelectedItem"), -1);
}

TEST_F(AppKitControlsTest, TextFieldEditingBeginsOncePerFocus) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Field");
  id field = Make("NSTextField");
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", field);
  objc::Send<void>(field, "setDelegate:", delegate_);
  objc::Send<BOOL>(window, "makeFirstResponder:", field);
  TextFieldReplaceSelection(field, u"a");
  TextFieldReplaceSelection(field, u"b");
  EXPECT_EQ(gNotes, (std::vector<std::string>{"begin", "change", "change"}));
  objc::Send<void>(field, "setSelectable:", NO);
  EXPECT_FALSE(objc::Send<BOOL>(field, "isEditable")) << "not selectable, not editable";
  objc::Send<void>(window, "close");
  objc_release(window);
}

}  // namespace
