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

}  // namespace
