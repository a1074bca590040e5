// Tests of the message requester on the scripted desktop: buttons and their results, icons by
// flag priority, empty texts, and the key window after the alert.
#include "gui/message_requester.h"

#include <string>
#include <vector>

#include "platform/foundation/string.h"
#include "tests/gui/gui_harness.h"

namespace {

class MessageRequesterTest : public GuiTest {
 protected:
  // Scripts pressing the button titled title in the alert that is running.
  void Press(const char* title) {
    std::string wanted = title;
    Screen().Then([this, wanted] {
      ASSERT_FALSE(Screen().alerts.empty()) << "an alert should be running";
      id alert = Screen().alerts.back();
      id buttons = objc::Send(alert, "buttons");
      seen_titles.clear();
      id chosen = nil;
      NSUInteger count = objc::Send<NSUInteger>(buttons, "count");
      for (NSUInteger i = 0; i < count; ++i) {
        id button = objc::Send(buttons, "objectAtIndex:", i);
        std::string name = foundation::StringUtf8(objc::Send(button, "title"));
        seen_titles.push_back(name);
        if (name == wanted) chosen = button;
      }
      seen_message = foundation::StringUtf8(objc::Send(alert, "messageText"));
      seen_style = objc::Send<NSUInteger>(alert, "alertStyle");
      id icon = objc::Send(alert, "icon");
      seen_icon = icon ? foundation::StringUtf8(objc::Send(icon, "name")) : "null";
      ASSERT_NE(chosen, nil) << "no button titled " << wanted;
      objc::Send<void>(chosen, "performClick:", static_cast<id>(nil));
    });
  }

  std::vector<std::string> seen_titles;  // buttons of the alert, in the order they were added
  std::string seen_message;              // its message text
  std::string seen_icon;                 // its icon's name, or "null"
  NSUInteger seen_style = 99;            // its alert style
};

TEST_F(MessageRequesterTest, YesNoCancelButtonsAnswerTheirTags) {
  Press("Cancel");
  EXPECT_EQ(RunMessageAlert(u"Question", u"Save?", AlertYesNo | AlertYesNoCancel), 2);
  std::vector<std::string> expected = {"Yes", "No", "Cancel"};
  EXPECT_EQ(seen_titles, expected) << "0x2 adds Cancel to Yes and No";
  EXPECT_EQ(seen_message, "Question");

  Press("Yes");
  EXPECT_EQ(RunMessageAlert(u"Question", u"Save?", AlertYesNo), 6);
  expected = {"Yes", "No"};
  EXPECT_EQ(seen_titles, expected);
  Press("No");
  EXPECT_EQ(RunMessageAlert(u"Question", u"Save?", AlertYesNo), 7);

  Press("OK");
  EXPECT_EQ(RunMessageAlertPlain(nullptr, u"Failed to install event handler."), 0)
      << "a single default button answers 0";
  EXPECT_EQ(seen_message, "") << "a null title gives an empty message text";
  EXPECT_EQ(seen_style, 1u) << "without an icon flag the alert is informational";
  EXPECT_EQ(seen_icon, "null");
}

TEST_F(MessageRequesterTest, IconsFollowTheFlagPriority) {
  Press("OK");
  RunMessageAlert(u"Error", u"x", AlertErrorIcon | AlertWarningIcon);
  EXPECT_EQ(seen_icon, "caut") << "the warning icon wins";
  Press("OK");
  RunMessageAlert(u"Error", u"x", AlertErrorIcon | AlertInfoIcon);
  EXPECT_EQ(seen_icon, "note") << "the info icon wins over the error icon";
  Press("OK");
  RunMessageAlert(u"Error", u"x", AlertErrorIcon);
  EXPECT_EQ(seen_icon, "stop");
}

TEST_F(MessageRequesterTest, TheKeyWindowIsKeyAgainAfterwards) {
  NewWindow(1, 0, 0, 200, 100, u"Preferences", WindowCloseBox, nil);
  ASSERT_TRUE(objc::Send<BOOL>(WindowObject(1), "isKeyWindow"));
  Press("OK");
  RunMessageAlert(u"Error", u"The shortcut is taken.", AlertErrorIcon);
  EXPECT_TRUE(objc::Send<BOOL>(WindowObject(1), "isKeyWindow"));
}

}  // namespace
