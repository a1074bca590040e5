// Alerts, buttons and text fields: runModal's answers (1000 + index, or the tag), Return and
// Escape pressing the default and cancel buttons, setDefaultButtonCell:, the accessory text
// field's focus, typing and its delegate, and the desktop's view of a running alert.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/appkit/alert.h"
#include "platform/appkit/text_field.h"
#include "tests/platform/appkit_test_support.h"

namespace {

std::vector<std::string> gChanges;  // the field's text at each controlTextDidChange:

void TextDidChange(id, SEL, id note) {
  gChanges.push_back(Utf8(objc::Send(objc::Send(note, "object"), "stringValue")));
}

Class FieldDelegateClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestFieldDelegate", "NSObject");
    objc::AddMethod(c, "controlTextDidChange:", &TextDidChange);
    return c;
  }();
  return cls;
}

class AppKitAlertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = &InstallScriptedDesktop();
    DrainEvents();
    gChanges.clear();
  }
  void TearDown() override { desktop_->Reset(); }

  // An autoreleased alert with buttons titled as given, in that order.
  id MakeAlert(std::initializer_list<const char*> titles) {
    id alert = objc::Autorelease(objc::Send(Cls("NSAlert"), "new"));
    objc::Send<void>(alert, "setMessageText:", Str("Message"));
    for (const char* title : titles) objc::Send(alert, "addButtonWithTitle:", Str(title));
    return alert;
  }
  id ButtonAt(id alert, NSUInteger index) {
    return objc::Send(objc::Send(alert, "buttons"), "objectAtIndex:", index);
  }
  NSInteger RunModal(id alert) { return objc::Send<NSInteger>(alert, "runModal"); }
  // A key press to whatever window is key, as a desktop posts it.
  void PressKey(const char* characters, NSUInteger flags = 0) {
    id key = objc::Send(SharedApp(), "keyWindow");
    Post(KeyEvent(characters, flags, 0, objc::Send<NSInteger>(key, "windowNumber")));
  }

  ScriptedDesktop* desktop_ = nullptr;
};

TEST_F(AppKitAlertTest, RunModalAnswersTheIndexOfThePressedButtonOrItsTag) {
  objc::AutoreleasePool pool;
  id alert = MakeAlert({"Save", "Cancel", "Other"});
  desktop_->steps.push_back([&] {
    EXPECT_EQ(AlertRunning(), alert) << "the alert is running while the desktop waits";
    EXPECT_EQ(objc::Send(SharedApp(), "modalWindow"), objc::Send(alert, "window"));
    EXPECT_EQ(objc::Send(SharedApp(), "keyWindow"), objc::Send(alert, "window"))
        << "the alert's panel is key";
    objc::Send<void>(ButtonAt(alert, 1), "performClick:", static_cast<id>(nil));
  });
  EXPECT_EQ(RunModal(alert), 1001) << "the second button added answers 1001";
  EXPECT_EQ(AlertRunning(), nil);
  EXPECT_FALSE(objc::Send<BOOL>(objc::Send(alert, "window"), "isVisible"))
      << "the panel is ordered out afterwards";
  EXPECT_EQ(desktop_->reports,
            (std::vector<std::string>{"shown ", "alert started", "alert ended", "hidden "}));

  // Buttons stand right to left in the order they were added.
  double save_x = objc::Send<NSRect>(ButtonAt(alert, 0), "frame").origin.x;
  double cancel_x = objc::Send<NSRect>(ButtonAt(alert, 1), "frame").origin.x;
  EXPECT_GT(save_x, cancel_x) << "the first button added is the rightmost";

  // A tag set with setTag: is the answer.
  id tagged = MakeAlert({"Yes", "No", "Cancel"});
  objc::Send<void>(ButtonAt(tagged, 0), "setTag:", NSInteger{6});
  objc::Send<void>(ButtonAt(tagged, 1), "setTag:", NSInteger{7});
  objc::Send<void>(ButtonAt(tagged, 2), "setTag:", NSInteger{2});
  desktop_->steps.push_back(
      [&] { objc::Send<void>(ButtonAt(tagged, 1), "performClick:", static_cast<id>(nil)); });
  EXPECT_EQ(RunModal(tagged), 7);

  // Without buttons the alert gets "OK".
  id plain = MakeAlert({});
  desktop_->steps.push_back(
      [&] { objc::Send<void>(ButtonAt(plain, 0), "performClick:", static_cast<id>(nil)); });
  EXPECT_EQ(RunModal(plain), 1000);
  EXPECT_EQ(Utf8(objc::Send(ButtonAt(plain, 0), "title")), "OK");
}

TEST_F(AppKitAlertTest, ReturnPressesTheDefaultButtonAndEscapeCancels) {
  objc::AutoreleasePool pool;
  id alert = MakeAlert({"Save", "Cancel"});
  EXPECT_EQ(Utf8(objc::Send(ButtonAt(alert, 0), "keyEquivalent")), "\r");
  EXPECT_EQ(Utf8(objc::Send(ButtonAt(alert, 1), "keyEquivalent")), "\x1b");
  desktop_->steps.push_back([&] { PressKey("\r"); });
  EXPECT_EQ(RunModal(alert), 1000) << "Return presses the first button added";
  desktop_->steps.push_back([&] { PressKey("\x1b"); });
  EXPECT_EQ(RunModal(alert), 1001) << "Escape presses Cancel";

  // setDefaultButtonCell: moves Return to another button.
  id two = MakeAlert({"Cancel", "Ok"});
  id window = objc::Send(two, "window");
  objc::Send<void>(window, "setDefaultButtonCell:", objc::Send(ButtonAt(two, 1), "cell"));
  EXPECT_EQ(objc::Send(objc::Send(window, "defaultButtonCell"), "controlView"), ButtonAt(two, 1));
  desktop_->steps.push_back([&] { PressKey("\r"); });
  EXPECT_EQ(RunModal(two), 1001) << "Return presses the button whose cell is the default";

  // A key equivalent needs its exact modifiers.
  id again = MakeAlert({"Save"});
  desktop_->steps.push_back([&] { PressKey("\r", kModifierCommand); });
  desktop_->steps.push_back([&] { PressKey("\r"); });
  EXPECT_EQ(RunModal(again), 1000);
  EXPECT_EQ(desktop_->waits, 5) << "command-Return did not press the button";
}

TEST_F(AppKitAlertTest, AccessoryFieldTakesTypingAndTellsItsDelegate) {
  objc::AutoreleasePool pool;
  id field = objc::Autorelease(objc::Send(objc::Send(Cls("NSTextField"), "alloc"),
                                          "initWithFrame:", NSMakeRect(0, 0, 360, 26)));
  id delegate = objc::Send(reinterpret_cast<id>(FieldDelegateClass()), "new");
  objc::Send<void>(field, "setDelegate:", delegate);
  objc::Send<void>(field, "setStringValue:", Str("old task"));
  id alert = MakeAlert({"Save", "Cancel"});
  objc::Send<void>(alert, "setAccessoryView:", field);
  objc::Send<void>(alert, "layout");
  id panel = objc::Send(alert, "window");
  EXPECT_EQ(objc::Send(field, "window"), panel) << "layout puts the accessory on the panel";
  EXPECT_TRUE(objc::Send<BOOL>(field, "becomeFirstResponder"));
  EXPECT_EQ(objc::Send(panel, "firstResponder"), field)
      << "a field sent becomeFirstResponder is its window's first responder";
  NSRange all = TextFieldSelection(field);
  EXPECT_EQ(all.location, 0u);
  EXPECT_EQ(all.length, 8u) << "a field that gains focus selects all of its text";

  desktop_->steps.push_back([&] {
    EXPECT_EQ(objc::Send(panel, "firstResponder"), field) << "runModal left the focus alone";
    TextFieldReplaceSelection(field, u"new");
    PressKey("!");
  });
  desktop_->steps.push_back([&] { PressKey("\r"); });
  EXPECT_EQ(RunModal(alert), 1000);
  EXPECT_EQ(Utf8(objc::Send(field, "stringValue")), "new!");
  EXPECT_EQ(gChanges, (std::vector<std::string>{"new", "new!"}))
      << "typing and key presses both tell the delegate";
  NSRange caret = TextFieldSelection(field);
  EXPECT_EQ(caret.location, 4u);
  EXPECT_EQ(caret.length, 0u) << "the insertion point follows the typed text";

  // The field editor stands for the field being edited.
  id editor = objc::Send(panel, "fieldEditor:forObject:", YES, field);
  ASSERT_NE(editor, nil);
  objc::Send<void>(editor, "setSelectedRange:", NSMakeRange(0, 0));
  EXPECT_EQ(TextFieldSelection(field).length, 0u);
  EXPECT_EQ(Utf8(objc::Send(editor, "string")), "new!");
  objc::Send<void>(field, "setEditable:", NO);
  TextFieldReplaceSelection(field, u"x");
  EXPECT_EQ(Utf8(objc::Send(field, "stringValue")), "new!") << "a read-only field takes no typing";
  objc_release(delegate);
}

TEST_F(AppKitAlertTest, ClickingAButtonSendsItsActionAndSwitchesToggle) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Buttons");
  id check = objc::Autorelease(objc::Send(objc::Send(Cls("NSButton"), "alloc"),
                                          "initWithFrame:", NSMakeRect(10, 10, 100, 20)));
  objc::Send<void>(check, "setButtonType:", NSUInteger{3});
  objc::Send<void>(check, "setTarget:", SharedApp());
  objc::Send<void>(check, "setAction:", sel_registerName("updateWindows"));
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", check);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  Post(MouseEvent(kEventLeftMouseDown, NSMakePoint(50, 20), number));
  Post(MouseEvent(kEventLeftMouseUp, NSMakePoint(50, 20), number));
  DispatchQueuedEvents();
  EXPECT_EQ(objc::Send<NSInteger>(check, "state"), 1) << "a click inside switches the check box";
  Post(MouseEvent(kEventLeftMouseDown, NSMakePoint(50, 20), number));
  Post(MouseEvent(kEventLeftMouseUp, NSMakePoint(250, 150), number));
  DispatchQueuedEvents();
  EXPECT_EQ(objc::Send<NSInteger>(check, "state"), 1) << "releasing outside is no click";
  objc::Send<void>(check, "setEnabled:", NO);
  objc::Send<void>(check, "performClick:", static_cast<id>(nil));
  EXPECT_EQ(objc::Send<NSInteger>(check, "state"), 1) << "a disabled button ignores clicks";
  EXPECT_EQ(objc::Send(objc::Send(check, "cell"), "controlView"), check);
  objc::Send<void>(window, "close");
  objc_release(window);
}

}  // namespace
