// The status item and its menu, with what must exist beside them: the hidden window 0 that
// owns the reminder timer, the two global hot keys and the three icons.
#include "app/status_item.h"

#include <cstdio>
#include <cstring>

#include "app/hot_keys.h"
#include "app/icons.h"
#include "app/main_loop.h"
#include "app/settings.h"
#include "app/shortcut_menu_text.h"
#include "app/state.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "core/utf.h"
#include "gui/menus.h"
#include "gui/selector_bridge.h"
#include "gui/timers.h"
#include "gui/windows.h"
#include "image/image.h"

namespace {

constexpr double kVariableLength = -1.0;       // the status item grows with its title
constexpr double kIconSize[2] = {20.0, 20.0};  // points; the pixels keep their full resolution
constexpr int64_t kMillisecondsPerMinute = 60000;

// Icons, as numbered images.
enum : int64_t {
  kLightIcon = 0,   // "app_icon.png"
  kDarkIcon = 1,    // "inv_app_icon.png"
  kAlertIcon = 64,  // "app_fancy_icon.png"
};

bool IconsLoadedOnce = false;  // the first build has loaded (or tried) the icons

// Loads image `number` from the file `name` in ResourceDir. A missing or unreadable file
// leaves the image out; the first build says so on standard error, since the user would
// otherwise see an item without an icon and no reason.
void LoadIcon(int64_t number, const char16_t* name) {
  PushTempStart();
  const int64_t path = PeekTempStart();
  AppendTemp(TextOrEmpty(ResourceDir));
  AppendTemp(name);
  if (!LoadFullSizeImage(number, TempPointerAt(path + 1)) && !IconsLoadedOnce) {
    char* utf8 = ToUtf8(TempPointerAt(path + 1));
    std::fprintf(stderr, "Mindel: the icon %s cannot be read: it is left out\n", utf8 ? utf8 : "");
    FreeUtf8(utf8);
  }
  PopTempDiscard();
}

// 1 when the user defaults (the global domain included) say the dark appearance is on.
int DarkAppearance() {
  id defaults = SelectorObject(SelectorSend0(nullptr, nil, "NSUserDefaults standardUserDefaults"));
  id style = SelectorObject(
      SelectorSend1(nullptr, defaults, "stringForKey:$", SelectorWord("AppleInterfaceStyle")));
  if (!style) return 0;
  const auto* utf8 = reinterpret_cast<const char*>(SelectorSend0(nullptr, style, "UTF8String"));
  return utf8 && std::strcmp(utf8, "Dark") == 0;
}

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
  NewWindow(0, 0, 0, 0, 0, u"", WindowInvisible, nil);  // replaces window 0 and its timer
  if (NagType >= 1) {
    Refresh *= kMillisecondsPerMinute;
    StartWindowTimer(0, 1, static_cast<int32_t>(Refresh));
  }

  // Failures leave a key inactive; the menu still shows its text.
  RegisterShortcutHotKey(AddKey, TaskKeyEvent);
  RegisterShortcutHotKey(ClrKey, ClearKeyEvent);

  LoadIcon(kLightIcon, u"app_icon.png");
  LoadIcon(kDarkIcon, u"inv_app_icon.png");
  LoadIcon(kAlertIcon, u"app_fancy_icon.png");
  IconsLoadedOnce = true;

  StatusBar = SelectorObject(SelectorSend0(nullptr, nil, "NSStatusBar systemStatusBar"));
  // The length given here has no lasting effect: the variable length is set last.
  double length = kVariableLength;
  id item = SelectorObject(
      SelectorSend1(nullptr, StatusBar, "statusItemWithLength:@", SelectorWord(&length)));
  StatusItem = SelectorObject(SelectorSend0(nullptr, item, "retain"));
  SelectorSend1(nullptr, StatusItem, "setHighlightMode:", 1);

  SelectorSend1(nullptr, ImageCocoaHandle(kLightIcon), "setTemplate:", 1);
  for (int64_t icon : {kLightIcon, kDarkIcon, kAlertIcon}) {
    SelectorSend1(nullptr, ImageCocoaHandle(icon), "setSize:@", SelectorWord(kIconSize));
  }

  if (MenuExists(0)) ReleaseMenu(0);
  MakePopupMenu(0);

  // The appearance is read only here: a later change shows at the next build.
  const int64_t icon = DarkAppearance() ? kDarkIcon : kLightIcon;
  SelectorSend1(nullptr, StatusItem, "setImage:", SelectorWord(ImageCocoaHandle(icon)));
  SelectorSend1(nullptr, ImageCocoaHandle(icon), "setTemplate:", 1);

  LoadSettingTextInto(&TaskText, u"Val16");
  ChooseReminderLine(Refresh / kMillisecondsPerMinute);

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
