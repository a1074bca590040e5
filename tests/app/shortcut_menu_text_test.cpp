// The menu form of shortcut texts shown after the tab of status menu items 1 and 2.
#include "app/shortcut_menu_text.h"

#include <gtest/gtest.h>

#include <string>

#include "core/temp_buffer.h"

namespace {

std::u16string MenuText(const char16_t* shortcut) {
  InitTempBuffer();
  PushTempStart();
  const int64_t offset = PeekTempStart();
  ShortcutMenuText(shortcut, offset);
  std::u16string result(TempPointerAt(offset + 1));
  PopTempDiscard();
  return result;
}

TEST(ShortcutMenuText, SpellsOutModifiersJoinedByPlus) {
  EXPECT_EQ(MenuText(u"\u2303\u2325T"), u"Ctrl+Alt+T") << "⌃⌥T";
  EXPECT_EQ(MenuText(u"\u2303\u2325/"), u"Ctrl+Alt+/") << "⌃⌥/";
  EXPECT_EQ(MenuText(u"\u2303\u2325\u21E7K"), u"Ctrl+Alt+Shift+K") << "⌃⌥⇧K";
  EXPECT_EQ(MenuText(u"\u2318\u21E7F"), u"Cmd+Shift+F") << "⌘⇧F";
}

TEST(ShortcutMenuText, OnlyTheLengthDecidesWherePlusGoes) {
  EXPECT_EQ(MenuText(u"\u2303F5"), u"Ctrl+F+5") << "three units are split even inside a key";
  EXPECT_EQ(MenuText(u"\u2303T"), u"CtrlT") << "two units get no plus";
  EXPECT_EQ(MenuText(u"\u2303\u2325\u21E7\u2318T"), u"CtrlAltShiftCmdT") << "five units neither";
  EXPECT_EQ(MenuText(u""), u"");
  EXPECT_EQ(MenuText(nullptr), u"") << "a null text reads as empty";
}

TEST(ShortcutMenuText, ItemTextPutsTheShortcutAfterTheLabel) {
  InitTempBuffer();
  PushTempStart();
  const int64_t offset = PeekTempStart();
  ShortcutItemText(u"Enter Task\t", u"\u2303\u2325T", offset);
  EXPECT_EQ(std::u16string(TempPointerAt(offset + 1)), u"Enter Task\tCtrl+Alt+T");
  PopTempDiscard();
}

}  // namespace
