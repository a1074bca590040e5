// The status item and its menu.
//
// FIXME: this is the start-up's temporary status item: the menu, the title and the length,
// enough for a user (or a test) to reach every item. Still to come: the hidden window 0 with
// the reminder timer, the two hot-key registrations, the three icons and the appearance
// check that chooses between them.
#include "app/status_item.h"

#include "app/settings.h"
#include "app/shortcut_menu_text.h"
#include "app/state.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "gui/menus.h"
#include "gui/selector_bridge.h"

namespace {

constexpr double kVariableLength = -1.0;  // the status item grows with its title

// Appends status menu item `item` with `label` followed by the menu form of `shortcut`.
void AppendShortcutItem(int item, const char16_t* label, const char16_t* shortcut) {
  PushTempStart();
  const int64_t text = PeekTempStart();
  ShortcutItemText(label, shortcut, text);
  AppendMenuItem(item, TempPointerAt(text + 1));
  PopTempDiscard();
}

// ReminderLine for the current NagType: "No Reminder Set", or the reminder kind's symbol and
// its interval; any other kind keeps the line of the previous build.
void ChooseReminderLine(int64_t minutes) {
  const char16_t* lead = nullptr;
  if (NagType == 0) {
    AssignStringVar(&ReminderLine, u"No Reminder Set");
    return;
  }
  if (NagType == 1) lead = u"\u26A0\uFE0F Reminder every ";      // ⚠️
  if (NagType == 2) lead = u"\U0001F5E3\uFE0F Reminder every ";  // 🗣️
  if (!lead) return;
  PushTempStart();
  const int64_t line = PeekTempStart();
  AppendTemp(lead);
  PushTempStart();
  NumberToText(minutes, PopTempStart());
  AppendTemp(u" mins");
  StoreTemp(&ReminderLine, line);
  PopTempDiscard();
}

}  // namespace

void BuildStatusItem() {
  // FIXME: window 0 (invisible, 0 by 0, no title) and, with NagType 1 or more, Refresh in
  // milliseconds and its repeating timer 1 (the reminder line then shows Refresh / 60000);
  // then the hot keys and the icons.

  StatusBar = SelectorObject(SelectorSend0(nullptr, nil, "NSStatusBar systemStatusBar"));
  // The length given here has no lasting effect: the variable length is set last.
  double length = kVariableLength;
  id item = SelectorObject(
      SelectorSend1(nullptr, StatusBar, "statusItemWithLength:@", SelectorWord(&length)));
  StatusItem = SelectorObject(SelectorSend0(nullptr, item, "retain"));
  SelectorSend1(nullptr, StatusItem, "setHighlightMode:", 1);

  if (MenuExists(0)) ReleaseMenu(0);
  MakePopupMenu(0);

  LoadSettingTextInto(&TaskText, u"Val16");
  ChooseReminderLine(Refresh);

  AppendShortcutItem(EnterTaskItem, TextLength(TaskText) ? u"Edit Task\t" : u"Enter Task\t",
                     AddKey);
  AppendShortcutItem(ClearTaskItem, u"Clear Task\t", ClrKey);
  AppendMenuSeparator();
  AppendMenuItem(ReminderItem, TextOrEmpty(ReminderLine));
  AppendMenuSeparator();
  AppendMenuItem(PreferencesMenuItem, u"Preferences...");
  AppendMenuSeparator();
  AppendMenuItem(AboutMenuItem, u"About...");
  AppendMenuSeparator();
  AppendMenuItem(QuitMenuItem, u"Quit");
  SetMenuItemDisabled(0, ReminderItem, 1);
  SetMenuItemDisabled(0, ClearTaskItem, TextLength(TaskText) == 0 ? 1 : 0);

  id menu = SelectorObject(SelectorSend0(nullptr, MenuHandle(0), "firstObject"));
  SelectorSend1(nullptr, StatusItem, "setMenu:", SelectorWord(menu));

  id title = SelectorObject(SelectorSend1(nullptr, nil, u"NSString stringWithString:$",
                                          SelectorWord(TextOrEmpty(TaskText))));
  SelectorSend1(nullptr, StatusItem, "setTitle:", SelectorWord(title));

  SelectorSend1(nullptr, StatusItem, "setLength:@", SelectorWord(&length));
}

void RestoreMenuState() {
  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 0);
  SetMenuItemDisabled(0, ClearTaskItem, TextLength(TaskText) == 0 ? 1 : 0);
  // Another kind leaves the line enabled; choosing it does nothing.
  if (NagType >= 0 && NagType <= 2) SetMenuItemDisabled(0, ReminderItem, 1);
}
