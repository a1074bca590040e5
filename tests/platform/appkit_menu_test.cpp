// Menus, the status bar and the smaller AppKit classes: items with target/action and key
// equivalents, submenus, the status items the desktop lists, workspace icons, screens,
// colours, fonts and the running application.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/appkit/status_bar.h"
#include "platform/foundation/array.h"
#include "tests/platform/appkit_test_support.h"

namespace {

std::vector<std::string> gChosen;  // "title tag" of every chosen item

void Choose(id, SEL, id item) {
  gChosen.push_back(Utf8(objc::Send(item, "title")) + " " +
                    std::to_string(objc::Send<NSInteger>(item, "tag")));
}

Class MenuTargetClass() {
  static Class cls = [] {
    Class c = objc::DefineClass("AppKitTestMenuTarget", "NSObject");
    objc::AddMethod(c, "choose:", &Choose);
    return c;
  }();
  return cls;
}

id NewItem(const char* title, NSInteger tag, id target, const char* key = "") {
  id item = objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                       "initWithTitle:action:keyEquivalent:", Str(title),
                       sel_registerName("choose:"), Str(key));
  objc::Send<void>(item, "setTag:", tag);
  objc::Send<void>(item, "setTarget:", target);
  return objc::Autorelease(item);
}

class AppKitMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = &InstallScriptedDesktop();
    DrainEvents();
    gChosen.clear();
    target_ = objc::Send(reinterpret_cast<id>(MenuTargetClass()), "new");
  }
  void TearDown() override {
    objc_release(target_);
    desktop_->Reset();
  }
  ScriptedDesktop* desktop_ = nullptr;
  id target_ = nil;
};

TEST_F(AppKitMenuTest, ItemsKeepOrderTagsAndSendTheirActions) {
  objc::AutoreleasePool pool;
  id menu =
      objc::Autorelease(objc::Send(objc::Send(Cls("NSMenu"), "alloc"), "initWithTitle:", Str("")));
  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  id enter = NewItem("Enter Task", 1, target_, "t");
  objc::Send<void>(enter,
                   "setKeyEquivalentModifierMask:", NSUInteger{kModifierControl | kModifierOption});
  objc::Send<void>(menu, "addItem:", enter);
  objc::Send<void>(menu, "addItem:", objc::Send(Cls("NSMenuItem"), "separatorItem"));
  id quit = NewItem("Quit", 6, target_);
  objc::Send<void>(menu, "addItem:", quit);
  id first = NewItem("First", 9, target_);
  objc::Send<void>(menu, "insertItem:atIndex:", first, NSInteger{0});

  EXPECT_EQ(objc::Send<NSInteger>(menu, "numberOfItems"), 4);
  EXPECT_EQ(objc::Send(menu, "itemAtIndex:", NSInteger{0}), first);
  EXPECT_EQ(objc::Send(menu, "itemWithTag:", NSInteger{6}), quit);
  EXPECT_EQ(objc::Send(menu, "itemWithTitle:", Str("Enter Task")), enter);
  EXPECT_EQ(objc::Send<NSInteger>(menu, "indexOfItem:", quit), 3);
  EXPECT_EQ(objc::Send(quit, "menu"), menu);
  EXPECT_TRUE(objc::Send<BOOL>(objc::Send(menu, "itemAtIndex:", NSInteger{2}), "isSeparatorItem"));
  EXPECT_FALSE(objc::Send<BOOL>(menu, "autoenablesItems"));

  // Choosing an item sends its action to its target, from the item.
  EXPECT_TRUE(objc::Send<BOOL>(SharedApp(), "sendAction:to:from:", objc::Send<SEL>(quit, "action"),
                               objc::Send(quit, "target"), quit));
  // Its key equivalent does the same, with exactly its modifiers.
  EXPECT_FALSE(objc::Send<BOOL>(menu, "performKeyEquivalent:", KeyEvent("t", kModifierControl)));
  EXPECT_TRUE(objc::Send<BOOL>(
      menu, "performKeyEquivalent:", KeyEvent("t", kModifierControl | kModifierOption)));
  objc::Send<void>(enter, "setEnabled:", NO);
  EXPECT_FALSE(objc::Send<BOOL>(
      menu, "performKeyEquivalent:", KeyEvent("t", kModifierControl | kModifierOption)))
      << "a disabled item does not answer its key";
  EXPECT_EQ(gChosen, (std::vector<std::string>{"Quit 6", "Enter Task 1"}));

  // The represented object is retained; the target is not.
  id object = objc::Send(Cls("NSObject"), "new");
  intptr_t target_count = objc_retainCount(target_);
  objc::Send<void>(quit, "setRepresentedObject:", object);
  EXPECT_EQ(objc_retainCount(object), 2);
  EXPECT_EQ(objc_retainCount(target_), target_count);
  objc::Send<void>(menu, "removeItem:", quit);
  EXPECT_EQ(objc::Send(quit, "menu"), nil);
  objc::Send<void>(menu, "removeAllItems");
  EXPECT_EQ(objc::Send<NSInteger>(menu, "numberOfItems"), 0);
  objc_release(object);
}

BOOL RefuseItems(id, SEL, id) {
  return NO;
}

TEST_F(AppKitMenuTest, AutoenablingMenusEnableItemsWhoseActionFindsATarget) {
  objc::AutoreleasePool pool;
  id menu = objc::Autorelease(objc::Send(Cls("NSMenu"), "new"));
  EXPECT_TRUE(objc::Send<BOOL>(menu, "autoenablesItems")) << "Cocoa's default";
  id answered = NewItem("Answered", 1, target_, "a");
  id unanswered = objc::Autorelease(objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                                               "initWithTitle:action:keyEquivalent:", Str("None"),
                                               sel_registerName("noOneAnswers:"), Str("n")));
  objc::Send<void>(unanswered, "setTarget:", target_);
  id application = objc::Autorelease(objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                                                "initWithTitle:action:keyEquivalent:", Str("Hide"),
                                                sel_registerName("hide:"), Str("")));
  id nobody = objc::Autorelease(objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                                           "initWithTitle:action:keyEquivalent:", Str("About"),
                                           sel_registerName("about:"), Str("")));
  id plain = objc::Autorelease(objc::Send(Cls("NSMenuItem"), "new"));
  id parent = objc::Autorelease(objc::Send(Cls("NSMenuItem"), "new"));
  objc::Send<void>(parent, "setSubmenu:", objc::Autorelease(objc::Send(Cls("NSMenu"), "new")));
  for (id item : {answered, unanswered, application, nobody, plain, parent}) {
    objc::Send<void>(menu, "addItem:", item);
  }
  objc::Send<void>(unanswered, "setEnabled:", YES);
  auto enabled = [](id item) { return objc::Send<BOOL>(item, "isEnabled") == YES; };
  EXPECT_TRUE(enabled(answered)) << "its target answers its action";
  EXPECT_FALSE(enabled(unanswered)) << "its target does not answer, whatever setEnabled: said";
  EXPECT_TRUE(enabled(application)) << "without a target, the application answers hide:";
  EXPECT_FALSE(enabled(nobody)) << "without a target, no one answers about:";
  EXPECT_TRUE(enabled(plain)) << "an item without an action keeps its own flag";
  EXPECT_TRUE(enabled(parent)) << "an item with a submenu is enabled";
  EXPECT_FALSE(objc::Send<BOOL>(menu, "performKeyEquivalent:", KeyEvent("n", kModifierCommand)))
      << "a disabled item leaves its key to others";

  // A target's -validateMenuItem: has the last word.
  Class refusing = objc::DefineClass("AppKitTestRefusingTarget", "AppKitTestMenuTarget");
  objc::AddMethod(refusing, "validateMenuItem:", &RefuseItems);
  id refuser = objc::Autorelease(objc::Send(reinterpret_cast<id>(refusing), "new"));
  objc::Send<void>(answered, "setTarget:", refuser);
  EXPECT_FALSE(enabled(answered)) << "validateMenuItem: said NO";
  EXPECT_FALSE(objc::Send<BOOL>(menu, "performKeyEquivalent:", KeyEvent("a", kModifierCommand)));

  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  EXPECT_TRUE(enabled(unanswered)) << "without automatic enabling the item's own flag counts";
  EXPECT_TRUE(enabled(answered));
  objc::Send<void>(nobody, "setEnabled:", NO);
  EXPECT_FALSE(enabled(nobody));
  EXPECT_TRUE(gChosen.empty());
}

TEST_F(AppKitMenuTest, SubmenusAndMainMenuKeyEquivalents) {
  objc::AutoreleasePool pool;
  id bar = objc::Autorelease(objc::Send(Cls("NSMenu"), "new"));
  id apple = objc::Autorelease(objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                                          "initWithTitle:action:keyEquivalent:", Str("Apple"),
                                          static_cast<SEL>(nullptr), Str("")));
  id app_menu =
      objc::Autorelease(objc::Send(objc::Send(Cls("NSMenu"), "alloc"), "initWithTitle:", Str("")));
  objc::Send<void>(apple, "setSubmenu:", app_menu);
  objc::Send<void>(bar, "addItem:", apple);
  id quit = NewItem("Quit Mindel", -4, target_, "q");
  objc::Send<void>(app_menu, "addItem:", quit);
  EXPECT_TRUE(objc::Send<BOOL>(apple, "hasSubmenu"));
  EXPECT_EQ(objc::Send(app_menu, "supermenu"), bar);
  EXPECT_EQ(objc::Send<NSUInteger>(quit, "keyEquivalentModifierMask"), NSUInteger{kModifierCommand})
      << "a menu item's key equivalent uses command unless told otherwise";

  id previous = objc::Send(SharedApp(), "mainMenu");
  objc::Send<void>(SharedApp(), "setMainMenu:", bar);
  id window = NewWindow("Menu");
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  Post(KeyEvent("q", kModifierCommand, 12, objc::Send<NSInteger>(window, "windowNumber")));
  DispatchQueuedEvents();
  EXPECT_EQ(gChosen, (std::vector<std::string>{"Quit Mindel -4"}))
      << "command-Q reaches the main menu's item";

  // Moving the item to another menu takes it out of the first.
  id other = objc::Autorelease(objc::Send(Cls("NSMenu"), "new"));
  objc::Send<void>(other, "insertItem:atIndex:", apple, NSInteger{0});
  EXPECT_EQ(objc::Send<NSInteger>(bar, "numberOfItems"), 0);
  EXPECT_EQ(objc::Send(app_menu, "supermenu"), other);
  objc::Send<void>(SharedApp(), "setMainMenu:", previous);
  objc::Send<void>(window, "close");
  objc_release(window);
}

TEST_F(AppKitMenuTest, StatusBarKeepsItemsInOrderAndTellsTheDesktop) {
  objc::AutoreleasePool pool;
  id bar = objc::Send(Cls("NSStatusBar"), "systemStatusBar");
  EXPECT_EQ(objc::Send(Cls("NSStatusBar"), "systemStatusBar"), bar);
  EXPECT_EQ(objc::Send<double>(bar, "thickness"), 22.0);
  size_t before = foundation::ArrayItems(StatusBarItems()).size();
  id first = objc::Send(bar, "statusItemWithLength:", 30.0);
  id second = objc::Retain(objc::Send(bar, "statusItemWithLength:", -1.0));
  {
    objc::AutoreleasePool inner;  // the list's array goes before the counts are checked
    std::vector<id> items = foundation::ArrayItems(StatusBarItems());
    ASSERT_EQ(items.size(), before + 2);
    EXPECT_EQ(items[before], first);
    EXPECT_EQ(items[before + 1], second);
  }
  EXPECT_EQ(objc::Send(first, "statusBar"), bar);

  int changes = desktop_->status_changes;
  id menu = objc::Autorelease(objc::Send(Cls("NSMenu"), "new"));
  objc::Send<void>(second, "setTitle:", Str("Write report"));
  objc::Send<void>(second, "setMenu:", menu);
  objc::Send<void>(second, "setLength:", -1.0);
  objc::Send<void>(second, "setHighlightMode:", YES);
  EXPECT_EQ(desktop_->status_changes, changes + 3) << "title, menu and length are reported";
  EXPECT_EQ(Utf8(objc::Send(second, "title")), "Write report");
  EXPECT_EQ(objc::Send(second, "menu"), menu);
  EXPECT_EQ(objc::Send<double>(second, "length"), -1.0);
  EXPECT_TRUE(objc::Send<BOOL>(second, "highlightMode"));

  objc::Send<void>(bar, "removeStatusItem:", first);
  objc::Send<void>(bar, "removeStatusItem:", second);
  EXPECT_EQ(foundation::ArrayItems(StatusBarItems()).size(), before);
  EXPECT_EQ(objc_retainCount(second), 1) << "the program's own reference is all that is left";
  objc_release(second);
}

TEST_F(AppKitMenuTest, WorkspaceScreensColoursFontsAndTheRunningApplication) {
  objc::AutoreleasePool pool;
  id icon = objc::Send(objc::Send(Cls("NSWorkspace"), "sharedWorkspace"),
                       "iconForFileType:", Str("'stop'"));
  EXPECT_EQ(Utf8(objc::Send(icon, "name")), "stop") << "an icon is named by its file type";
  objc::Send<void>(icon, "setSize:", NSMakeSize(20, 20));
  objc::Send<void>(icon, "setTemplate:", YES);
  EXPECT_EQ(objc::Send<NSSize>(icon, "size").width, 20);
  EXPECT_TRUE(objc::Send<BOOL>(icon, "isTemplate"));

  id screens = objc::Send(Cls("NSScreen"), "screens");
  ASSERT_EQ(objc::Send<NSUInteger>(screens, "count"), 1u);
  id main = objc::Send(Cls("NSScreen"), "mainScreen");
  NSRect frame = objc::Send<NSRect>(main, "frame");
  NSRect visible = objc::Send<NSRect>(main, "visibleFrame");
  EXPECT_EQ(frame.size.width, 1920);
  EXPECT_EQ(visible.size.height, 1080 - 22) << "the status bar is not part of the visible frame";

  id window = NewWindow("Centred", 300, 200);
  objc::Send<void>(window, "center");
  NSRect centred = objc::Send<NSRect>(window, "frame");
  EXPECT_EQ(centred.origin.x, 810);
  EXPECT_EQ(centred.origin.y, 418) << "the frame (222 high) sits in the middle of 1058 points";
  objc_release(window);

  id color =
      objc::Send(Cls("NSColor"), "colorWithCalibratedRed:green:blue:alpha:", 0.25, 0.5, 0.75, 1.0);
  EXPECT_EQ(objc::Send<double>(color, "greenComponent"), 0.5);
  EXPECT_EQ(objc::Send(Cls("NSColor"), "windowBackgroundColor"),
            objc::Send(Cls("NSColor"), "windowBackgroundColor"));
  id font = objc::Send(Cls("NSFont"), "boldSystemFontOfSize:", 15.0);
  EXPECT_EQ(objc::Send<double>(font, "pointSize"), 15.0);
  EXPECT_EQ(Utf8(objc::Send(font, "fontName")), "System-Bold");

  id current = objc::Send(Cls("NSRunningApplication"), "currentApplication");
  int activations = desktop_->activations;
  EXPECT_TRUE(objc::Send<BOOL>(current, "activateWithOptions:", NSUInteger{3}));
  EXPECT_EQ(desktop_->activations, activations + 1) << "the desktop hears of the activation";
  EXPECT_GT(objc::Send<int>(current, "processIdentifier"), 0);
}

}  // namespace
