// Tests of numbered windows on the scripted desktop: style and position from the flags, the
// close box, zoom and resize events, key window hand-back, clicks and the screen queries.
#include <algorithm>

#include "gui/cocoa.h"
#include "tests/gui/gui_harness.h"

namespace {

using WindowsTest = GuiTest;

NSUInteger StyleOf(int64_t number) {
  return objc::Send<NSUInteger>(WindowObject(number), "styleMask");
}

NSRect FrameOf(int64_t number) {
  return objc::Send<NSRect>(WindowObject(number), "frame");
}

TEST_F(WindowsTest, PreferencesWindowIsCentredKeyAndKeptOpenByItsCloseBox) {
  int64_t result =
      NewWindow(1, 0, 0, 300, 200, u"Preferences", WindowCentered | WindowCloseBox, nil);
  id window = WindowObject(1);
  ASSERT_NE(window, nil);
  EXPECT_EQ(result, static_cast<int64_t>(reinterpret_cast<intptr_t>(window)))
      << "a window opened under a given number answers the NSWindow";
  EXPECT_EQ(StyleOf(1), 3u) << "titled and closable";
  NSSize content = objc::Send<NSRect>(objc::Send(window, "contentView"), "frame").size;
  EXPECT_EQ(content.width, 300);
  EXPECT_EQ(content.height, 200);
  EXPECT_EQ(FrameOf(1).origin.x, (1920 - 300) / 2) << "centred on the screen";
  EXPECT_TRUE(objc::Send<BOOL>(window, "isKeyWindow"));
  EXPECT_TRUE(objc::Send<BOOL>(window, "isVisible"));
  EXPECT_TRUE(objc::Send<BOOL>(objc::Send(window, "contentView"), "isFlipped"));
  EXPECT_EQ(WindowNumberOf(window), 1);
  SetWindowFloating(1, 1);
  EXPECT_EQ(objc::Send<NSInteger>(window, "level"), 3);
  TakeQueue();

  objc::Send<void>(window, "performClose:", static_cast<id>(nil));
  EXPECT_EQ(TakeQueue(), std::vector<std::string>{"2:1:1"}) << "CloseWindowEvent for window 1";
  EXPECT_EQ(WindowObject(1), window) << "the close box leaves the window open";
  EXPECT_TRUE(objc::Send<BOOL>(window, "isVisible"));

  QueueUiEvent(MoveWindowEvent, 1, 1, 0);
  DisposeWindow(1);
  EXPECT_EQ(WindowObject(1), nil);
  EXPECT_TRUE(TakeQueue().empty()) << "no event of a disposed window survives";
  EXPECT_EQ(Screen().hidden.size(), 1u);
}

TEST_F(WindowsTest, InvisibleWindowIsNeverShownAndPostsNoActivation) {
  EXPECT_NE(NewWindow(0, 0, 0, 0, 0, nullptr, WindowInvisible, nil), 0);
  EXPECT_NE(WindowObject(0), nil);
  EXPECT_TRUE(Screen().shown.empty());
  for (const std::string& event : TakeQueue()) {
    EXPECT_NE(event.substr(0, 2), "7:") << "no ActivateWindowEvent for a hidden window";
  }
  int64_t dynamic = NewWindow(-1, 10, 10, 50, 50, u"Dynamic", WindowInvisible, nil);
  EXPECT_NE(dynamic, 0);
  EXPECT_EQ(WindowNumberOf(WindowObject(dynamic)), dynamic)
      << "a window opened with -1 is numbered by its dynamic number";
}

TEST_F(WindowsTest, FlagsChooseTheStyle) {
  NewWindow(2, 0, 0, 100, 100, u"", WindowResizeBox, nil);
  EXPECT_EQ(StyleOf(2), 1u | 2u | 8u);
  NewWindow(3, 0, 0, 100, 100, u"", WindowMinimizeBox, nil);
  EXPECT_EQ(StyleOf(3), 1u | 2u | 4u);
  NewWindow(4, 0, 0, 100, 100, u"", WindowBorderless | WindowCloseBox | WindowResizable, nil);
  EXPECT_EQ(StyleOf(4), 0u) << "borderless ignores every other style bit";
  EXPECT_EQ(FrameOf(4).size.height, 100) << "a borderless window has no title bar";
  NewWindow(5, 0, 0, 100, 100, u"", WindowResizable, nil);
  EXPECT_EQ(StyleOf(5), 1u | 8u);
  TakeQueue();

  NewWindow(6, 0, 0, 0, 0, u"", WindowStartZoomed, nil);
  EXPECT_EQ(StyleOf(6), 1u | 8u);
  EXPECT_TRUE(objc::Send<BOOL>(WindowObject(6), "isZoomed"));
  NewWindow(7, 0, 0, 100, 100, u"", WindowStartMinimized | WindowStartZoomed, nil);
  EXPECT_TRUE(objc::Send<BOOL>(WindowObject(7), "isMiniaturized"));
  EXPECT_FALSE(objc::Send<BOOL>(WindowObject(7), "isZoomed")) << "minimized takes precedence";
  for (const std::string& event : TakeQueue()) {
    EXPECT_TRUE(event[0] != '5' && event[0] != '6' && event.substr(0, 3) != "13:" &&
                event.substr(0, 3) != "12:")
        << "the start-up zoom and miniaturize post no events, got " << event;
  }
}

TEST_F(WindowsTest, PositionIsMeasuredFromTheTopOfTheScreen) {
  NewWindow(1, 100, 50, 300, 200, u"", 0, nil);
  NSRect frame = FrameOf(1);
  EXPECT_EQ(frame.origin.x, 100);
  EXPECT_EQ(frame.origin.y + frame.size.height, 1080 - 50);
  EXPECT_EQ(frame.size.height, 222) << "the frame adds the title bar";

  NewWindow(2, kWindowPositionCentered, 50, 300, 200, u"", 0, nil);
  EXPECT_EQ(FrameOf(2).origin.x, 810) << "x = -65535 centres the window";

  NewWindow(3, 0, 0, 100, 100, u"", WindowCenterOnParent, WindowObject(1));
  NSRect child = FrameOf(3);
  EXPECT_EQ(child.origin.x, 100 + (300 - 100) / 2) << "centred over the parent";
  EXPECT_EQ(objc::Send(WindowObject(3), "parentWindow"), WindowObject(1));
}

TEST_F(WindowsTest, ZoomAndResizeQueueTheirEvents) {
  NewWindow(1, 0, 0, 300, 200, u"", WindowResizable, nil);
  TakeQueue();
  objc::Send<void>(WindowObject(1), "zoom:", static_cast<id>(nil));
  std::vector<std::string> events = TakeQueue();
  auto maximize = std::find(events.begin(), events.end(), "13:1:1");
  auto size = std::find(events.begin(), events.end(), "6:1:1");
  ASSERT_NE(maximize, events.end()) << "zooming larger queues MaximizeWindowEvent";
  ASSERT_NE(size, events.end());
  EXPECT_LT(maximize, size) << "the zoom event goes out before the size event";

  objc::Send<void>(WindowObject(1), "zoom:", static_cast<id>(nil));
  events = TakeQueue();
  auto restore = std::find(events.begin(), events.end(), "14:1:1");
  size = std::find(events.begin(), events.end(), "6:1:1");
  ASSERT_NE(restore, events.end()) << "zooming back queues RestoreWindowEvent";
  ASSERT_NE(size, events.end());
  EXPECT_LT(restore, size);

  NSRect frame = FrameOf(1);
  frame.size.width += 10;
  objc::Send<void>(WindowObject(1), "setFrame:display:", frame, YES);
  frame.size.width += 10;
  objc::Send<void>(WindowObject(1), "setFrame:display:", frame, YES);
  EXPECT_EQ(TakeQueue(), std::vector<std::string>{"6:1:1"}) << "two resizes leave one event";
}

TEST_F(WindowsTest, ClosingTheKeyWindowGivesKeyBackToThePreviousOne) {
  NewWindow(1, 0, 0, 100, 100, u"First", 0, nil);
  NewWindow(2, 200, 0, 100, 100, u"Second", 0, nil);
  NewWindow(3, 400, 0, 100, 100, u"Third", 0, nil);
  ASSERT_TRUE(objc::Send<BOOL>(WindowObject(3), "isKeyWindow"));
  DisposeWindow(3);
  EXPECT_TRUE(objc::Send<BOOL>(WindowObject(2), "isKeyWindow"))
      << "the window that was key when window 3 opened is key again";
  TakeQueue();
  DisposeWindow(-1);
  EXPECT_EQ(WindowObject(1), nil);
  EXPECT_EQ(WindowObject(2), nil);
}

TEST_F(WindowsTest, ClicksOnTheContentQueueClickEvents) {
  NewWindow(1, 0, 0, 200, 100, u"", 0, nil);
  id window = WindowObject(1);
  TakeQueue();
  auto click = [window](NSUInteger down, NSUInteger up, NSInteger count) {
    for (NSUInteger type : {down, up}) {
      id event = objc::Send(
          CocoaClass("NSEvent"),
          "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:eventNumber:"
          "clickCount:pressure:",
          type, NSMakePoint(50, 50), NSUInteger{0}, 0.0,
          objc::Send<NSInteger>(window, "windowNumber"), static_cast<id>(nil), NSInteger{0}, count,
          1.0f);
      objc::Send<void>(NSApp, "postEvent:atStart:", event, NO);
    }
  };
  DrainPlatformEvents();
  Screen().Then([&] { click(1, 2, 1); });
  EXPECT_EQ(WaitForEvent(-1), -1) << "the mouse down alone queues nothing";
  EXPECT_EQ(WaitForEvent(-1), LeftClickEvent);
  EXPECT_EQ(CurrentEventWindow(), 1);
  Screen().Then([&] { click(1, 2, 2); });
  EXPECT_EQ(WaitForQueuedEvent(), LeftDoubleClickEvent);
  Screen().Then([&] { click(3, 4, 1); });
  EXPECT_EQ(WaitForQueuedEvent(), RightClickEvent);
}

TEST_F(WindowsTest, ScreenWidthNeedsCountScreens) {
  EXPECT_EQ(ScreenWidth(0), 0) << "no screens counted yet";
  EXPECT_EQ(CountScreens(), 1);
  EXPECT_EQ(ScreenWidth(0), 1920);
  EXPECT_EQ(ScreenWidth(1), 0);
  EXPECT_EQ(ScreenWidth(-1), 0);
}

}  // namespace
