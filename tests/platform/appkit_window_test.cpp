// The application and its windows: the shared application's class, key and main windows and
// their delegate notifications, closing, first responder and key events, mouse clicks, the
// responder chain of sendAction:to:from:, and view trees with flipped coordinates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/appkit_test_support.h"

namespace {

std::vector<std::string> gLog;  // what the test classes saw, in order

std::string NameOf(id window) {
  return window ? ScriptedDesktop::Title(window) : "nil";
}

// --- A window delegate that records its notifications ---

BOOL gShouldClose = YES;

void RecordNotification(id, SEL sel, id note) {
  std::string name = sel_getName(sel);
  gLog.push_back(name + NameOf(objc::Send(note, "object")));
}
BOOL ShouldClose(id, SEL, id window) {
  gLog.push_back("windowShouldClose:" + NameOf(window));
  return gShouldClose;
}
BOOL ShouldZoom(id, SEL, id window, NSRect frame) {
  gLog.push_back("windowShouldZoom:" + NameOf(window) + " " +
                 std::to_string(int(frame.size.width)));
  return YES;
}
NSUInteger ShouldTerminate(id, SEL, id) {
  gLog.push_back("applicationShouldTerminate:");
  return 0;  // cancel
}
void DelegateAction(id, SEL sel, id sender) {
  gLog.push_back(std::string("delegate ") + sel_getName(sel) + (sender ? " from sender" : ""));
}

Class DelegateClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestWindowDelegate", "NSObject");
    for (const char* selector :
         {"windowDidBecomeKey:", "windowDidResignKey:", "windowWillClose:", "windowDidMove:",
          "windowDidResize:", "windowDidBecomeMain:", "windowDidUpdate:", "windowDidMiniaturize:",
          "windowDidDeminiaturize:"}) {
      objc::AddMethod(c, selector, &RecordNotification);
    }
    objc::AddMethod(c, "windowShouldClose:", &ShouldClose);
    objc::AddMethod(c, "windowShouldZoom:toFrame:", &ShouldZoom);
    objc::AddMethod(c, "applicationShouldTerminate:", &ShouldTerminate);
    objc::AddMethod(c, "delegateAction:", &DelegateAction);
    return c;
  }();
  return cls;
}

// --- A view that takes the keyboard and records key and mouse events ---

BOOL Yes(id, SEL) {
  return YES;
}
void RecordKey(id self, SEL sel, id event) {
  gLog.push_back(std::string(sel_getName(sel)) + Utf8(objc::Send(event, "characters")) + " in " +
                 std::to_string(objc::Send<NSInteger>(self, "tag")));
}
void RecordMouse(id self, SEL sel, id) {
  gLog.push_back(std::string(sel_getName(sel)) + " in " +
                 std::to_string(objc::Send<NSInteger>(self, "tag")));
}
void ViewAction(id self, SEL, id) {
  gLog.push_back("view action in " + std::to_string(objc::Send<NSInteger>(self, "tag")));
}
ptrdiff_t gTagOffset = -1;
NSInteger Tag(id self, SEL) {
  return objc::FieldAt<NSInteger>(self, gTagOffset);
}
void SetTag(id self, SEL, NSInteger tag) {
  objc::FieldAt<NSInteger>(self, gTagOffset) = tag;
}

Class KeyViewClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestKeyView", "NSView");
    gTagOffset = objc::AddIvar<NSInteger>(c, "testTag");
    objc::AddMethod(c, "acceptsFirstResponder", &Yes);
    objc::AddMethod(c, "keyDown:", &RecordKey);
    objc::AddMethod(c, "mouseDown:", &RecordMouse);
    objc::AddMethod(c, "mouseUp:", &RecordMouse);
    objc::AddMethod(c, "viewAction:", &ViewAction);
    objc::AddMethod(c, "tag", &Tag);
    objc::AddMethod(c, "setTag:", &SetTag);
    return c;
  }();
  return cls;
}

Class FlippedViewClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestFlippedView", "NSView");
    objc::AddMethod(c, "isFlipped", &Yes);
    return c;
  }();
  return cls;
}

// --- A window class that notes when it is freed ---

bool gWindowFreed = false;
void TrackedDealloc(id self, SEL sel) {
  gWindowFreed = true;
  objc::SendSuper<void>(self, objc_lookUpClass("AppKitTestTrackedWindow"), sel);
}
Class TrackedWindowClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestTrackedWindow", "NSWindow");
    objc::AddMethod(c, "dealloc", &TrackedDealloc);
    return c;
  }();
  return cls;
}

id NewView(Class cls, NSRect frame, NSInteger tag = 0) {
  id view = objc::Send(objc::Send(reinterpret_cast<id>(cls), "alloc"), "initWithFrame:", frame);
  if (tag) objc::Send<void>(view, "setTag:", tag);
  return view;
}

class AppKitWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = &InstallScriptedDesktop();
    DrainEvents();
    gLog.clear();
    gShouldClose = YES;
    delegate_ = objc::Send(reinterpret_cast<id>(DelegateClass()), "new");
  }
  void TearDown() override {
    objc_release(delegate_);
    desktop_->Reset();
  }
  ScriptedDesktop* desktop_ = nullptr;
  id delegate_ = nil;
};

TEST_F(AppKitWindowTest, SharedApplicationIsMadeFromTheReceivingClass) {
  id app = SharedApp();
  EXPECT_EQ(object_getClass(app), TestApplicationClass())
      << "sharedApplication makes an instance of the class it was sent to";
  EXPECT_EQ(NSApp, app);
  EXPECT_EQ(objc::Send(Cls("NSApplication"), "sharedApplication"), app) << "made once";
  for (const char* name : {"NSResponder", "NSApplication", "NSEvent", "NSWindow", "NSPanel",
                           "NSView", "NSScreen", "NSTimer", "NSRunLoop", "NSNotification"}) {
    EXPECT_NE(objc_lookUpClass(name), nullptr) << name << " is registered by its Cocoa name";
  }
  int before = gApplicationEventsSeen;
  objc::AutoreleasePool pool;
  Post(WakeEvent());
  EXPECT_NE(DispatchNextEvent(), nil);
  EXPECT_EQ(gApplicationEventsSeen, before + 1) << "the subclass's sendEvent: sees the event";
}

TEST_F(AppKitWindowTest, KeyWindowChangesNotifyDelegatesAndCloseAsksFirst) {
  objc::AutoreleasePool pool;
  id first = NewWindow("First");
  id second = NewWindow("Second");
  objc::Send<void>(first, "setDelegate:", delegate_);
  objc::Send<void>(second, "setDelegate:", delegate_);
  objc::Send<void>(first, "makeKeyAndOrderFront:", static_cast<id>(nil));
  objc::Send<void>(second, "makeKeyAndOrderFront:", static_cast<id>(nil));
  EXPECT_EQ(objc::Send(SharedApp(), "keyWindow"), second);
  EXPECT_TRUE(objc::Send<BOOL>(second, "isKeyWindow"));
  EXPECT_FALSE(objc::Send<BOOL>(first, "isKeyWindow")) << "only one key window at a time";
  std::vector<std::string> expected = {"windowDidBecomeKey:First", "windowDidBecomeMain:First",
                                       "windowDidResignKey:First", "windowDidBecomeKey:Second",
                                       "windowDidBecomeMain:Second"};
  EXPECT_EQ(gLog, expected);
  EXPECT_EQ(desktop_->reports, (std::vector<std::string>{"shown First", "shown Second"}));

  // Moving and resizing are told too; the content view follows the size.
  gLog.clear();
  objc::Send<void>(second, "setFrame:display:", NSMakeRect(50, 60, 400, 322), YES);
  EXPECT_EQ(gLog, (std::vector<std::string>{"windowDidMove:Second", "windowDidResize:Second"}));
  NSRect content = objc::Send<NSRect>(objc::Send(second, "contentView"), "frame");
  EXPECT_EQ(content.size.width, 400);
  EXPECT_EQ(content.size.height, 300) << "the title bar is 22 points";

  // performClose: asks the delegate; NO keeps the window.
  gLog.clear();
  gShouldClose = NO;
  objc::Send<void>(second, "performClose:", static_cast<id>(nil));
  EXPECT_EQ(gLog, (std::vector<std::string>{"windowShouldClose:Second"}));
  EXPECT_TRUE(objc::Send<BOOL>(second, "isVisible"));
  gLog.clear();
  gShouldClose = YES;
  objc::Send<void>(second, "performClose:", static_cast<id>(nil));
  EXPECT_EQ(gLog, (std::vector<std::string>{"windowShouldClose:Second", "windowWillClose:Second",
                                            "windowDidResignKey:Second"}));
  EXPECT_FALSE(objc::Send<BOOL>(second, "isVisible"));
  EXPECT_EQ(objc::Send(SharedApp(), "keyWindow"), nil) << "no window becomes key by itself";
  EXPECT_EQ(desktop_->reports.back(), "hidden Second");

  objc::Send<void>(first, "close");
  objc_release(first);
  objc_release(second);
}

TEST_F(AppKitWindowTest, WindowReleasedWhenClosedIsFreedByClose) {
  gWindowFreed = false;
  id window = objc::Send(objc::Send(reinterpret_cast<id>(TrackedWindowClass()), "alloc"),
                         "initWithContentRect:styleMask:backing:defer:", NSMakeRect(0, 0, 10, 10),
                         NSUInteger{1}, NSUInteger{2}, NO);
  EXPECT_TRUE(objc::Send<BOOL>(window, "isReleasedWhenClosed")) << "Cocoa's default";
  NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  EXPECT_GT(number, 0);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  objc::Send<void>(window, "close");
  EXPECT_TRUE(gWindowFreed) << "close released the window's only reference";
  objc::AutoreleasePool pool;
  id windows = objc::Send(SharedApp(), "windows");
  for (NSUInteger i = 0; i < objc::Send<NSUInteger>(windows, "count"); ++i) {
    EXPECT_NE(objc::Send<NSInteger>(objc::Send(windows, "objectAtIndex:", i), "windowNumber"),
              number)
        << "a freed window leaves the application's list";
  }
  EXPECT_EQ(objc::Send(SharedApp(), "keyWindow"), nil);
}

TEST_F(AppKitWindowTest, KeyEventsReachTheFirstResponder) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Keys");
  id view = NewView(KeyViewClass(), NSMakeRect(10, 10, 50, 20), 7);
  id plain = NewView(objc_lookUpClass("NSView"), NSMakeRect(100, 10, 50, 20));
  id content = objc::Send(window, "contentView");
  objc::Send<void>(content, "addSubview:", view);
  objc::Send<void>(content, "addSubview:", plain);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));

  EXPECT_EQ(objc::Send(window, "firstResponder"), window) << "at first the window itself";
  EXPECT_FALSE(objc::Send<BOOL>(window, "makeFirstResponder:", plain))
      << "a plain view refuses to be first responder";
  EXPECT_TRUE(objc::Send<BOOL>(window, "makeFirstResponder:", view));
  EXPECT_EQ(objc::Send(window, "firstResponder"), view);
  Post(KeyEvent("x"));
  DispatchQueuedEvents();
  EXPECT_EQ(gLog, (std::vector<std::string>{"keyDown:x in 7"}));

  // A view that leaves the window gives the keyboard back to the window.
  objc::Send<void>(view, "removeFromSuperview");
  EXPECT_EQ(objc::Send(window, "firstResponder"), window);
  EXPECT_EQ(objc::Send(view, "window"), nil);
  objc_release(view);
  objc_release(plain);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitWindowTest, ClicksGoToTheViewUnderTheMouse) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Clicks");
  id left = NewView(KeyViewClass(), NSMakeRect(0, 0, 100, 100), 1);
  id right = NewView(KeyViewClass(), NSMakeRect(100, 0, 100, 100), 2);
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", left);
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", right);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  Post(MouseEvent(kEventLeftMouseDown, NSMakePoint(150, 50), number));
  Post(MouseEvent(kEventLeftMouseUp, NSMakePoint(20, 50), number));
  DispatchQueuedEvents();
  EXPECT_EQ(gLog, (std::vector<std::string>{"mouseDown: in 2", "mouseUp: in 2"}))
      << "the mouse-up goes to the view that got the mouse-down";
  EXPECT_EQ(objc::Send(window, "firstResponder"), right) << "a click focuses a view that accepts";
  objc_release(left);
  objc_release(right);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitWindowTest, SendActionWalksTheResponderChain) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Chain");
  objc::Send<void>(window, "setDelegate:", delegate_);
  id outer = NewView(KeyViewClass(), NSMakeRect(0, 0, 200, 200), 1);
  id inner = NewView(objc_lookUpClass("NSView"), NSMakeRect(0, 0, 20, 20));
  objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", outer);
  objc::Send<void>(outer, "addSubview:", inner);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  // The chain starts at the first responder and goes up through the superviews.
  ASSERT_TRUE(objc::Send<BOOL>(window, "makeFirstResponder:", outer));
  gLog.clear();

  id app = SharedApp();
  SEL view_action = sel_registerName("viewAction:");
  SEL delegate_action = sel_registerName("delegateAction:");
  SEL nobody = sel_registerName("nobodyAnswersThis:");
  EXPECT_EQ(objc::Send(app, "targetForAction:", view_action), outer);
  EXPECT_EQ(objc::Send(app, "targetForAction:", delegate_action), delegate_);
  EXPECT_EQ(objc::Send(app, "targetForAction:", sel_registerName("terminate:")), app)
      << "the application is in the chain";
  EXPECT_TRUE(objc::Send<BOOL>(app, "sendAction:to:from:", view_action, static_cast<id>(nil), app));
  EXPECT_TRUE(
      objc::Send<BOOL>(app, "sendAction:to:from:", delegate_action, static_cast<id>(nil), app));
  EXPECT_FALSE(objc::Send<BOOL>(app, "sendAction:to:from:", nobody, static_cast<id>(nil), app));
  EXPECT_TRUE(objc::Send<BOOL>(app, "sendAction:to:from:", delegate_action, delegate_,
                               static_cast<id>(nil)))
      << "an explicit target is sent to directly";
  EXPECT_FALSE(objc::Send<BOOL>(app, "sendAction:to:from:", view_action, delegate_, app))
      << "an explicit target that does not respond gets nothing";
  EXPECT_EQ(gLog,
            (std::vector<std::string>{"view action in 1", "delegate delegateAction: from sender",
                                      "delegate delegateAction:"}));
  EXPECT_EQ(objc::Send(inner, "nextResponder"), outer)
      << "a view's next responder is its superview";
  EXPECT_EQ(objc::Send(objc::Send(window, "contentView"), "nextResponder"), window);
  objc_release(outer);
  objc_release(inner);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitWindowTest, ViewTreesConvertFlippedCoordinatesAndHitTest) {
  objc::AutoreleasePool pool;
  id window = NewWindow("Views", 300, 200);
  id content = objc::Send(window, "contentView");
  NSRect content_frame = objc::Send<NSRect>(content, "frame");
  EXPECT_EQ(content_frame.origin.x, 0);
  EXPECT_EQ(content_frame.size.width, 300);
  EXPECT_EQ(content_frame.size.height, 200);
  id flipped = NewView(FlippedViewClass(), NSMakeRect(10, 20, 100, 50));
  id child = NewView(objc_lookUpClass("NSView"), NSMakeRect(5, 5, 10, 10));
  objc::Send<void>(content, "addSubview:", flipped);
  objc::Send<void>(flipped, "addSubview:", child);
  EXPECT_EQ(objc::Send(child, "window"), window) << "a view added to a window's tree is in it";
  EXPECT_EQ(objc::Send(child, "superview"), flipped);

  // The child's lower-left corner: 5 points from the flipped view's top plus its 10 points of
  // height, measured from the flipped view's top, is 35 points above its bottom.
  NSPoint in_window =
      objc::Send<NSPoint>(child, "convertPoint:toView:", NSMakePoint(0, 0), static_cast<id>(nil));
  EXPECT_EQ(in_window.x, 15);
  EXPECT_EQ(in_window.y, 55);
  NSPoint back =
      objc::Send<NSPoint>(child, "convertPoint:fromView:", in_window, static_cast<id>(nil));
  EXPECT_EQ(back.x, 0);
  EXPECT_EQ(back.y, 0);
  NSPoint in_flipped =
      objc::Send<NSPoint>(content, "convertPoint:toView:", NSMakePoint(10, 70), flipped);
  EXPECT_EQ(in_flipped.x, 0);
  EXPECT_EQ(in_flipped.y, 0) << "a flipped view's origin is its top-left corner";

  EXPECT_EQ(objc::Send(content, "hitTest:", NSMakePoint(16, 56)), child);
  EXPECT_EQ(objc::Send(content, "hitTest:", NSMakePoint(12, 66)), flipped);
  EXPECT_EQ(objc::Send(content, "hitTest:", NSMakePoint(1, 1)), content);
  EXPECT_EQ(objc::Send(content, "hitTest:", NSMakePoint(400, 1)), nil);
  objc::Send<void>(child, "setHidden:", YES);
  EXPECT_EQ(objc::Send(content, "hitTest:", NSMakePoint(16, 56)), flipped)
      << "hidden views are not hit";

  // The superview holds its subviews: removing one gives its reference back.
  intptr_t held = objc_retainCount(child);
  objc::Send<void>(child, "removeFromSuperview");
  EXPECT_EQ(objc_retainCount(child), held - 1);
  EXPECT_EQ(objc::Send<NSUInteger>(objc::Send(flipped, "subviews"), "count"), NSUInteger{0});
  objc_release(child);
  objc_release(flipped);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitWindowTest, ZoomMiniaturizeChildrenAndUpdates) {
  objc::AutoreleasePool pool;
  id parent = NewWindow("Parent", 300, 200);
  id child = NewWindow("Child", 100, 50);
  objc::Send<void>(parent, "setDelegate:", delegate_);
  objc::Send<void>(parent, "addChildWindow:ordered:", child, NSInteger{1});
  EXPECT_FALSE(objc::Send<BOOL>(child, "isVisible")) << "a hidden parent keeps its child hidden";
  objc::Send<void>(parent, "orderFront:", static_cast<id>(nil));
  EXPECT_TRUE(objc::Send<BOOL>(child, "isVisible")) << "the child comes with its parent";
  EXPECT_EQ(objc::Send(child, "parentWindow"), parent);

  gLog.clear();
  objc::Send<void>(parent, "zoom:", static_cast<id>(nil));
  EXPECT_TRUE(objc::Send<BOOL>(parent, "isZoomed"));
  EXPECT_EQ(objc::Send<NSRect>(parent, "frame").size.width, 1920) << "zoomed to the screen";
  objc::Send<void>(parent, "zoom:", static_cast<id>(nil));
  EXPECT_FALSE(objc::Send<BOOL>(parent, "isZoomed"));
  EXPECT_EQ(objc::Send<NSRect>(parent, "frame").size.width, 300) << "and back";
  EXPECT_EQ(gLog, (std::vector<std::string>{"windowShouldZoom:Parent 1920", "windowDidMove:Parent",
                                            "windowDidResize:Parent", "windowShouldZoom:Parent 300",
                                            "windowDidMove:Parent", "windowDidResize:Parent"}));

  gLog.clear();
  objc::Send<void>(parent, "miniaturize:", static_cast<id>(nil));
  EXPECT_TRUE(objc::Send<BOOL>(parent, "isMiniaturized"));
  EXPECT_FALSE(objc::Send<BOOL>(parent, "isVisible"));
  objc::Send<void>(parent, "deminiaturize:", static_cast<id>(nil));
  EXPECT_TRUE(objc::Send<BOOL>(parent, "isVisible"));
  objc::Send<void>(SharedApp(), "updateWindows");
  EXPECT_EQ(gLog,
            (std::vector<std::string>{"windowDidMiniaturize:Parent",
                                      "windowDidDeminiaturize:Parent", "windowDidUpdate:Parent"}));

  objc::Send<void>(parent, "orderOut:", static_cast<id>(nil));
  EXPECT_FALSE(objc::Send<BOOL>(child, "isVisible")) << "the child goes with its parent";
  objc::Send<void>(parent, "removeChildWindow:", child);
  EXPECT_EQ(objc::Send(child, "parentWindow"), nil);
  objc_release(child);
  objc_release(parent);
}

TEST_F(AppKitWindowTest, ModalSessionsAndTerminationTheDelegateCancels) {
  objc::AutoreleasePool pool;
  id app = SharedApp();
  id window = NewWindow("Session");
  void* session = objc::Send<void*>(app, "beginModalSessionForWindow:", window);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(objc::Send(app, "modalWindow"), window);
  EXPECT_TRUE(objc::Send<BOOL>(window, "isKeyWindow")) << "the session's window is key";
  EXPECT_EQ(objc::Send<NSInteger>(app, "runModalSession:", session),
            NSInteger{kModalResponseContinue})
      << "nothing happened: the session goes on, without waiting";
  EXPECT_EQ(desktop_->waits, 0);
  Post(WakeEvent());
  objc::Send<void>(app, "abortModal");
  EXPECT_EQ(objc::Send<NSInteger>(app, "runModalSession:", session),
            NSInteger{kModalResponseAbort});
  objc::Send<void>(app, "endModalSession:", session);
  EXPECT_EQ(objc::Send(app, "modalWindow"), nil);
  DrainEvents();

  // terminate: asks the delegate; cancel keeps the process running.
  id previous = objc::Send(app, "delegate");
  objc::Send<void>(app, "setDelegate:", delegate_);
  objc::Send<void>(app, "terminate:", static_cast<id>(nil));
  EXPECT_EQ(gLog.back(), "applicationShouldTerminate:");
  objc::Send<void>(app, "setDelegate:", previous);
  objc::Send<void>(window, "close");
  objc_release(window);
}

}  // namespace
