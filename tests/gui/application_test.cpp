// Tests of the application object: the edit shortcuts of VoApplication's sendEvent:, quit
// requests turned into MenuEvents, and the wait's event filters.
#include <unistd.h>

#include <string>
#include <vector>

#include "gui/cocoa.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/foundation/string.h"
#include "tests/gui/gui_harness.h"

namespace {

// A view that takes the keyboard and records the edit actions and key presses it receives.
std::vector<std::string> g_received;
Class g_editor = nil;

BOOL AcceptsFirstResponder(id, SEL) {
  return YES;
}
void Paste(id, SEL, id) {
  g_received.push_back("paste:");
}
void Undo(id, SEL, id) {
  g_received.push_back("undo:");
}
void Redo(id, SEL, id) {
  g_received.push_back("redo:");
}
void KeyDown(id, SEL, id event) {
  g_received.push_back("keyDown:" +
                       foundation::StringUtf8(objc::Send(event, "charactersIgnoringModifiers")));
}

class ApplicationTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    if (!g_editor) {
      g_editor = objc::DefineClass("EditRecorderView", "NSView");
      objc::AddMethod(g_editor, "acceptsFirstResponder", &AcceptsFirstResponder);
      objc::AddMethod(g_editor, "paste:", &Paste);
      objc::AddMethod(g_editor, "undo:", &Undo);
      objc::AddMethod(g_editor, "redo:", &Redo);
      objc::AddMethod(g_editor, "keyDown:", &KeyDown);
    }
    g_received.clear();
  }

  // Opens window 1 with a recording view as first responder.
  id OpenEditor() {
    NewWindow(1, 0, 0, 200, 100, u"Editor", 0, nil);
    id window = WindowObject(1);
    id view = objc::Autorelease(
        objc::Send(objc::Send(g_editor, "alloc"), "initWithFrame:", NSMakeRect(0, 0, 50, 20)));
    objc::Send<void>(objc::Send(window, "contentView"), "addSubview:", view);
    objc::Send<BOOL>(window, "makeFirstResponder:", view);
    TakeQueue();
    DrainPlatformEvents();
    return window;
  }

  // Posts a key down with the modifier flags and characters to window.
  static void PressKey(id window, NSUInteger flags, const char* characters) {
    id chars = CocoaStringFromUtf8(characters);
    id event = objc::Send(CocoaClass("NSEvent"),
                          "keyEventWithType:location:modifierFlags:timestamp:windowNumber:"
                          "context:characters:charactersIgnoringModifiers:isARepeat:keyCode:",
                          NSUInteger{10}, NSMakePoint(0, 0), flags, 0.0,
                          objc::Send<NSInteger>(window, "windowNumber"), static_cast<id>(nil),
                          chars, chars, NO, static_cast<unsigned short>(9));
    objc::Send<void>(NSApp, "postEvent:atStart:", event, NO);
  }
};

TEST_F(ApplicationTest, EditShortcutsGoUpTheResponderChain) {
  id window = OpenEditor();
  Screen().Then([&] { PressKey(window, 0x100000, "v"); });
  EXPECT_EQ(WaitForEvent(-1), -1);
  EXPECT_EQ(g_received, std::vector<std::string>{"paste:"})
      << "command-V pastes and the key press is not delivered again";

  g_received.clear();
  Screen().Then([&] { PressKey(window, 0x100000 | 0x100, "z"); });
  WaitForEvent(-1);
  std::vector<std::string> expected = {"undo:", "keyDown:z"};
  EXPECT_EQ(g_received, expected) << "undo goes on to the normal dispatch afterwards "
                                     "(device-dependent low bits are ignored)";

  g_received.clear();
  Screen().Then([&] { PressKey(window, 0x120000, "Z"); });
  WaitForEvent(-1);
  EXPECT_EQ(g_received, std::vector<std::string>{"redo:"});

  g_received.clear();
  Screen().Then([&] { PressKey(window, 0x180000, "v"); });
  WaitForEvent(-1);
  EXPECT_EQ(g_received, std::vector<std::string>{"keyDown:v"})
      << "command-option-V is not an edit shortcut";

  g_received.clear();
  Screen().Then([&] { PressKey(window, 0x100000, "c"); });
  WaitForEvent(-1);
  EXPECT_EQ(g_received, std::vector<std::string>{"keyDown:c"})
      << "copy is not handled by anyone, so the key press goes on";
}

TEST_F(ApplicationTest, PreferencesAndAboutStayDisabledUntilTheProgramAppendsThem) {
  id preferences = ApplicationMenuItem(PreferencesItem);
  id about = ApplicationMenuItem(AboutItem);
  // As at start-up: neither item has a target yet (an earlier test may have appended them).
  objc::Send<void>(preferences, "setTarget:", static_cast<id>(nil));
  objc::Send<void>(about, "setTarget:", static_cast<id>(nil));
  EXPECT_FALSE(objc::Send<BOOL>(preferences, "isEnabled")) << "no one answers preferences:";
  EXPECT_FALSE(objc::Send<BOOL>(about, "isEnabled")) << "no one answers about:";
  EXPECT_TRUE(objc::Send<BOOL>(ApplicationMenuItem(QuitItem), "isEnabled"));

  id window = OpenEditor();
  Screen().Then([&] { PressKey(window, 0x100000, ","); });
  EXPECT_EQ(WaitForEvent(-1), -1);
  EXPECT_EQ(g_received, std::vector<std::string>{"keyDown:,"})
      << "command-comma goes on to normal dispatch while Preferences is disabled";

  MakePopupMenu(0);
  AppendMenuItem(PreferencesItem, u"Preferences...");
  AppendMenuItem(AboutItem, u"About...");
  EXPECT_TRUE(objc::Send<BOOL>(preferences, "isEnabled"));
  EXPECT_TRUE(objc::Send<BOOL>(about, "isEnabled"));
  g_received.clear();
  Screen().Then([&] { PressKey(window, 0x100000, ","); });
  EXPECT_EQ(WaitForEvent(-1), MenuEvent);
  EXPECT_EQ(CurrentEventMenuItem(), PreferencesItem) << "now the item takes its key";
  EXPECT_TRUE(g_received.empty());
  ReleaseMenu(0);
}

TEST_F(ApplicationTest, QuitRequestBecomesAMenuEvent) {
  objc::Send<void>(NSApp, "terminate:", static_cast<id>(nil));
  EXPECT_EQ(TakeQueue(), std::vector<std::string>{"1:-4:-1"})
      << "MenuEvent with QuitItem and window -1; the application keeps running";
}

int g_filtered = 0;  // events the filter consumed
int ConsumeKeys(id event, void* context) {
  if (objc::Send<NSUInteger>(event, "type") != 10) return 0;
  ++*static_cast<int*>(context);
  return 1;
}

TEST_F(ApplicationTest, EventFiltersSeeEventsBeforeDispatch) {
  id window = OpenEditor();
  g_filtered = 0;
  EventFilter* filter = AddEventFilter(&ConsumeKeys, &g_filtered);
  Screen().Then([&] { PressKey(window, 0, "q"); });
  WaitForEvent(-1);
  EXPECT_EQ(g_filtered, 1);
  EXPECT_TRUE(g_received.empty()) << "a consumed event is not dispatched";
  RemoveEventFilter(filter);
  Screen().Then([&] { PressKey(window, 0, "q"); });
  WaitForEvent(-1);
  EXPECT_EQ(g_filtered, 1);
  EXPECT_EQ(g_received, std::vector<std::string>{"keyDown:q"});
}

TEST_F(ApplicationTest, WaitHonoursItsTimeout) {
  DrainPlatformEvents();
  EXPECT_EQ(WaitForEvent(0), 0) << "nothing pending: 0 at once";
  QueueProgramEvent(65537, 0, 0, 0, nullptr);
  EXPECT_EQ(WaitForEvent(-1), 65537) << "a queued event is returned before any waiting";
  DrainPlatformEvents();
  double start = ClockNow();
  EXPECT_EQ(WaitForEvent(250), 0) << "a timeout with nothing happening";
  EXPECT_DOUBLE_EQ(ClockNow() - start, 0.25);
  Screen().Then([] { QueueProgramEvent(65538, -1, 3, 0, nullptr); });
  EXPECT_EQ(WaitForEvent(-1), 65538) << "a program event posted inside the wait wakes it";
  EXPECT_EQ(CurrentEventGadget(), 3);
}

TEST_F(ApplicationTest, StartUpAsksForTheFrontAndRegistersDefaults) {
  uint64_t before = CarbonFrontProcessRequests();
  BringProcessToFront();
  EXPECT_EQ(CarbonFrontProcessRequests(), before + 1);

  id defaults = objc::Send(CocoaClass("NSUserDefaults"), "standardUserDefaults");
  EXPECT_NE(objc::Send(defaults, "objectForKey:", CocoaStringFromUtf8("NSFunctionBarAPIEnabled")),
            nil)
      << "StartApplication registers NSFunctionBarAPIEnabled";
  EXPECT_NE(objc::Send(NSApp, "delegate"), nil);
  EXPECT_TRUE(objc_lookUpClass("VoApplication") &&
              object_getClass(NSApp) == objc_lookUpClass("VoApplication"))
      << "the shared application is a VoApplication";
}

TEST_F(ApplicationTest, NoContentsFolderLeavesTheWorkingDirectory) {
  // The test program is not inside a bundle: its folder has no Contents folder to enter.
  char before[4096];
  ASSERT_NE(getcwd(before, sizeof(before)), nullptr);
  EnterBundleContents();
  char after[4096];
  ASSERT_NE(getcwd(after, sizeof(after)), nullptr);
  EXPECT_EQ(std::string(after), std::string(before));
}

}  // namespace
