// Tests of numbered popup menus: item text parsing, items by number, the application menu's
// numbers, choosing an item and releasing menus.
#include <string>

#include "gui/cocoa.h"
#include "platform/foundation/string.h"
#include "tests/gui/gui_harness.h"

namespace {

using MenusTest = GuiTest;

std::u16string Units(id string) {
  return foundation::StringUnits(string);
}

struct Parsed {
  std::u16string title;
  std::u16string key;
  NSUInteger mask;
};

Parsed Parse(const char16_t* text) {
  id title = nil;
  id key = nil;
  NSUInteger mask = 99;
  ParseMenuItemText(text, &title, &key, &mask);
  return Parsed{Units(title), Units(key), mask};
}

TEST_F(MenusTest, ItemTextGivesTitleKeyAndModifiers) {
  Parsed p = Parse(u"Enter Task\tCtrl+Alt+T");
  EXPECT_EQ(p.title, u"Enter Task");
  EXPECT_EQ(p.key, u"t");
  EXPECT_EQ(p.mask, 0x40000u + 0x80000u);

  p = Parse(u"Enter Task\t");
  EXPECT_EQ(p.title, u"Enter Task");
  EXPECT_EQ(p.key, u"") << "nothing after the tab: no key equivalent";
  EXPECT_EQ(p.mask, 0u);

  p = Parse(u"Clear Task\tCmd+F5");
  EXPECT_EQ(p.key, u"\uF708") << "F5 is Cocoa's function-key character U+F708";
  EXPECT_EQ(p.mask, 0x100000u);
  EXPECT_EQ(Parse(u"x\tf12").key, u"\uF70F");
  EXPECT_EQ(Parse(u"x\tF1").key, u"\uF704");

  p = Parse(u"Sa&ve\tshift+cmd+&S\tignored");
  EXPECT_EQ(p.title, u"Save") << "ampersands are dropped";
  EXPECT_EQ(p.key, u"s");
  EXPECT_EQ(p.mask, 0x20000u + 0x100000u);

  p = Parse(u"Quit");
  EXPECT_EQ(p.title, u"Quit");
  EXPECT_EQ(p.mask, 0u);
  EXPECT_EQ(Parse(u"x\tA+B").key, u"b") << "a later key token replaces an earlier one";
  EXPECT_EQ(Parse(nullptr).title, u"");
}

id TopMenu(int64_t number) {
  return objc::Send(MenuHandle(number), "firstObject");
}

std::u16string TitleOf(id item) {
  return Units(objc::Send(item, "title"));
}

TEST_F(MenusTest, StatusMenuItemsAreFoundByNumber) {
  EXPECT_NE(MakePopupMenu(0), 0);
  ASSERT_NE(AppendMenuItem(1, u"Enter Task\tCtrl+Alt+T"), nil);
  AppendMenuItem(2, u"Clear Task\tCtrl+Alt+/");
  AppendMenuSeparator();
  AppendMenuItem(3, u"Remind every 5 minutes");
  AppendMenuItem(3, u"A second item 3");
  EXPECT_EQ(MenuExists(0), 1);
  id menu = TopMenu(0);
  ASSERT_NE(menu, nil);
  EXPECT_EQ(objc::Send<NSInteger>(menu, "numberOfItems"), 5);
  EXPECT_FALSE(objc::Send<BOOL>(menu, "autoenablesItems")) << "items stay as the program sets";
  EXPECT_TRUE(objc::Send<BOOL>(objc::Send(menu, "itemAtIndex:", NSInteger{2}), "isSeparatorItem"));

  id item1 = FindMenuItem(0, 1);
  EXPECT_EQ(TitleOf(item1), u"Enter Task");
  EXPECT_EQ(Units(objc::Send(item1, "keyEquivalent")), u"t");
  EXPECT_EQ(objc::Send<NSUInteger>(item1, "keyEquivalentModifierMask"), 0xC0000u);
  EXPECT_EQ(objc::Send(item1, "target"), SharedMenuDelegate());
  EXPECT_EQ(TitleOf(FindMenuItem(0, 3)), u"Remind every 5 minutes") << "the first of two wins";
  EXPECT_EQ(FindMenuItem(0, 9), nil);
  EXPECT_EQ(FindMenuItem(1, 1), nil) << "no menu 1";

  SetMenuItemDisabled(0, 3, 1);
  EXPECT_FALSE(objc::Send<BOOL>(FindMenuItem(0, 3), "isEnabled"));
  SetMenuItemDisabled(0, 3, 0);
  EXPECT_TRUE(objc::Send<BOOL>(FindMenuItem(0, 3), "isEnabled"));
  SetMenuItemDisabled(0, 9, 1);  // no such item: nothing happens

  ChangeMenuItemText(0, 1, u"Edit Task\tCmd+Shift+E");
  EXPECT_EQ(TitleOf(item1), u"Edit Task");
  EXPECT_EQ(Units(objc::Send(item1, "keyEquivalent")), u"e");
  EXPECT_EQ(objc::Send<NSUInteger>(item1, "keyEquivalentModifierMask"), 0x120000u);

  ReleaseMenu(0);
  EXPECT_EQ(MenuExists(0), 0);
  EXPECT_EQ(MenuHandle(0), nil);
  EXPECT_EQ(AppendMenuItem(7, u"After release"), nil) << "no current menu after its release";
  int64_t dynamic = MakePopupMenu(-1);
  EXPECT_EQ(MenuExists(dynamic), 1) << "-1 answers the new dynamic number";
}

TEST_F(MenusTest, ChoosingAnItemQueuesAMenuEvent) {
  MakePopupMenu(0);
  for (int item = 1; item <= 6; ++item) AppendMenuItem(item, u"Item");
  Screen().Then([] {
    id item = FindMenuItem(0, 4);
    objc::Send<BOOL>(NSApp, "sendAction:to:from:", objc::Send<SEL>(item, "action"),
                     objc::Send(item, "target"), item);
  });
  DrainPlatformEvents();
  EXPECT_EQ(WaitForQueuedEvent(), MenuEvent);
  EXPECT_EQ(CurrentEventMenuItem(), 4);
  EXPECT_EQ(CurrentEventWindow(), 0) << "a popup menu belongs to no window";
  EXPECT_EQ(CurrentEventSubtype(), 0);

  // An item that outlives its menu (a status item keeps the NSMenu) still reports safely.
  id item = objc::Retain(FindMenuItem(0, 5));
  ReleaseMenu(0);
  TakeQueue();
  objc::Send<void>(SharedMenuDelegate(), "eventHandler:", item);
  EXPECT_EQ(TakeQueue(), std::vector<std::string>{"1:5:0"});
  objc::Release(item);
}

TEST_F(MenusTest, ApplicationMenuIsInstalledAndEnabledByNumber) {
  id main_menu = objc::Send(NSApp, "mainMenu");
  ASSERT_NE(main_menu, nil);
  EXPECT_EQ(main_menu, DefaultMainMenu());
  id apple = objc::Send(main_menu, "itemAtIndex:", NSInteger{0});
  EXPECT_EQ(TitleOf(apple), u"Apple");
  id app_menu = objc::Send(apple, "submenu");
  ASSERT_EQ(objc::Send<NSInteger>(app_menu, "numberOfItems"), 11);
  std::u16string name = Units(objc::Send(
      objc::Send(objc::Send(objc::Send(CocoaClass("NSBundle"), "mainBundle"), "executablePath"),
                 "componentsSeparatedByString:", CocoaStringFromUtf8("/")),
      "lastObject"));
  EXPECT_EQ(TitleOf(ApplicationMenuItem(AboutItem)), u"About " + name);
  EXPECT_EQ(TitleOf(ApplicationMenuItem(PreferencesItem)), u"Preferences\u2026");
  EXPECT_EQ(TitleOf(ApplicationMenuItem(QuitItem)), u"Quit " + name);
  EXPECT_EQ(TitleOf(objc::Send(app_menu, "itemAtIndex:", NSInteger{4})), u"Services");
  id hide_others = objc::Send(app_menu, "itemAtIndex:", NSInteger{7});
  EXPECT_EQ(TitleOf(hide_others), u"Hide Others");
  EXPECT_EQ(objc::Send<NSUInteger>(hide_others, "keyEquivalentModifierMask"), 0x180000u);
  EXPECT_EQ(objc::Send(ApplicationMenuItem(QuitItem), "target"), SharedMenuDelegate());

  MakePopupMenu(0);
  AppendMenuItem(1, u"Item");
  AppendMenuItem(PreferencesItem, u"Preferences...");
  AppendMenuItem(AboutItem, u"About...");
  EXPECT_EQ(objc::Send<NSInteger>(TopMenu(0), "numberOfItems"), 1)
      << "the application menu numbers add no item";
  EXPECT_EQ(objc::Send(ApplicationMenuItem(PreferencesItem), "target"), SharedMenuDelegate());
  EXPECT_EQ(objc::Send(ApplicationMenuItem(AboutItem), "target"), SharedMenuDelegate());
  EXPECT_EQ(FindMenuItem(0, QuitItem), ApplicationMenuItem(QuitItem));

  TakeQueue();
  objc::Send<void>(SharedMenuDelegate(), "about:", static_cast<id>(nil));
  objc::Send<void>(SharedMenuDelegate(), "terminate:", static_cast<id>(nil));
  std::vector<std::string> expected = {"1:-3:-1", "1:-4:-1"};
  EXPECT_EQ(TakeQueue(), expected) << "the popup menu's window is none: -1";
}

}  // namespace
