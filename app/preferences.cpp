// The preferences window (window 1): its gadgets, what opening shows, and the nested loop
// that stores each change at once.
//
// Index:
//   --- Building the window ---
//   --- Reacting to the gadgets ---
//   --- The window's loop ---
#include "app/preferences.h"

#include "app/hot_keys.h"
#include "app/main_loop.h"
#include "app/note_alert.h"
#include "app/settings.h"
#include "app/start_at_login.h"
#include "app/state.h"
#include "app/status_item.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"
#include "gui/menus.h"
#include "gui/message_requester.h"
#include "gui/selector_bridge.h"
#include "gui/windows.h"

namespace {

constexpr int64_t kPreferencesWindow = 1;
constexpr int32_t kWindowFlags = 0x4 | 0x40;  // close box, centred
constexpr uint32_t kShortcutInitialValue = 0xA002F;
constexpr int32_t kSpinFlags = 8;
constexpr int32_t kAlertErrorIcon = 8;
constexpr int64_t kAlignCentre = 1;
constexpr int64_t kBezelRounded = 1;       // on a text field
constexpr int64_t kBezelRoundedRect = 12;  // on a button
constexpr int64_t kBezelCircular = 7;      // on a button

constexpr const char16_t* kIntervalHelp =
    u"This option controls how often the Task Reminder will trigger. The minimum value is '2' "
    u"for 2 minutes and the maximum is '60' for 60 minutes.";

// The gadgets' numbers, chosen by the runtime; valid while the window is open.
struct PreferencesGadgets {
  int64_t task_label;      // "Set Task Key"
  int64_t task_key;        // the enter-task shortcut
  int64_t task_set;        // its "Set" button
  int64_t clear_label;     // "Set Clear Key"
  int64_t clear_key;       // the clear-task shortcut
  int64_t clear_set;       // its "Set" button
  int64_t kind_label;      // "Select Reminder"
  int64_t kind;            // None / Alert Box / Spoken Reminder
  int64_t interval_label;  // "Reminder Interval (minutes)"
  int64_t interval;        // the spin gadget, 2 to 60
  int64_t interval_help;   // "?", with the tool tip only
  int64_t start_at_login;  // "Start at Login"
};

PreferencesGadgets Gadgets;
char16_t* KeyText = nullptr;  // the text of a shortcut gadget, read for each use

// --- Building the window ---

void SetViewWord(int64_t gadget, const char* message, int64_t value) {
  SelectorSend1(nullptr, GadgetView(gadget), message, static_cast<uint64_t>(value));
}

int64_t MakeShortcutGadget(int32_t x, int32_t y) {
  const int64_t gadget = CreateShortcutGadget(-1, x, y, 90, 25, kShortcutInitialValue);
  SetViewWord(gadget, "setAlignment:", kAlignCentre);
  SetViewWord(gadget, "setBezelStyle:", kBezelRounded);
  return gadget;
}

int64_t MakeSetButton(int32_t y) {
  const int64_t gadget = CreateButtonGadget(-1, 198, y, 40, 25, u"Set");
  SetViewWord(gadget, "setBezelStyle:", kBezelRoundedRect);
  return gadget;
}

void CreateGadgets() {
  PreferencesGadgets& g = Gadgets;
  g.task_label = CreateTextGadget(-1, 20, 24, 300, 25, u"Set Task Key");
  g.task_key = MakeShortcutGadget(106, 20);
  g.task_set = MakeSetButton(20);
  g.clear_label = CreateTextGadget(-1, 20, 54, 300, 25, u"Set Clear Key");
  g.clear_key = MakeShortcutGadget(106, 50);
  g.clear_set = MakeSetButton(50);
  g.kind_label = CreateTextGadget(-1, 20, 84, 300, 25, u"Select Reminder");
  g.kind = CreateComboBoxGadget(-1, 120, 80, 150, 25);
  AddGadgetItem(g.kind, -1, u"None");
  AddGadgetItem(g.kind, -1, u"Alert Box");
  AddGadgetItem(g.kind, -1, u"Spoken Reminder");
  g.interval_label = CreateTextGadget(-1, 20, 114, 200, 25, u"Reminder Interval (minutes)");
  g.interval = CreateSpinGadget(-1, 190, 110, 70, 25, 2, 60, kSpinFlags);
  SetViewWord(g.interval, "setAlignment:", kAlignCentre);
  SetViewWord(g.interval, "setBezelStyle:", kBezelRounded);
  g.interval_help = CreateButtonGadget(-1, 260, 110, 30, 22, u"?");
  SetViewWord(g.interval_help, "setBezelStyle:", kBezelCircular);
  GadgetToolTip(g.interval_help, kIntervalHelp);
  g.start_at_login = CreateCheckboxGadget(-1, 20, 156, 110, 25, u"Start at Login");
}

// The interval gadgets mean nothing without a reminder kind.
void EnableIntervalGadgets(int64_t kind) {
  const int32_t disabled = kind == 0 ? 1 : 0;
  DisableGadget(Gadgets.interval, disabled);
  DisableGadget(Gadgets.interval_help, disabled);
  DisableGadget(Gadgets.interval_label, disabled);
}

// Shows the stored settings; an out-of-range stored kind or login flag changes nothing.
void ShowStoredSettings() {
  LoadSettingTextInto(&AddKey, u"Val1");
  SetGadgetText(Gadgets.task_key, TextOrEmpty(AddKey));
  LoadSettingTextInto(&ClrKey, u"Val9");
  SetGadgetText(Gadgets.clear_key, TextOrEmpty(ClrKey));

  const int64_t kind = LoadSettingInteger(u"Val7");
  if (kind >= 0 && kind <= 2) {
    NagType = kind;
    SetGadgetState(Gadgets.kind, kind);
  }

  Refresh = LoadSettingInteger(u"Val18");
  if (Refresh == 0) Refresh = 5;
  PushTempStart();
  const int64_t number = PopTempStart();
  NumberToText(Refresh, number);
  SetGadgetText(Gadgets.interval, TempPointerAt(number + 1));

  const int64_t login = LoadSettingInteger(u"Val5");
  if (login == 0 || login == 1) Login = static_cast<int8_t>(login);
  SetGadgetState(Gadgets.start_at_login, Login == 1 ? 1 : 0);

  EnableIntervalGadgets(GetGadgetState(Gadgets.kind));
}

void OpenPreferencesWindow() {
  ActivateApplication();
  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 1);
  NewWindow(kPreferencesWindow, 0, 0, 300, 200, u"Preferences", kWindowFlags, nil);
  SetWindowFloating(kPreferencesWindow, 1);
  CreateGadgets();
  ShowStoredSettings();
}

// --- Reacting to the gadgets ---

void ReadKeyText(int64_t gadget) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  GetGadgetText(gadget, offset);
  StoreTemp(&KeyText, offset);
}

// A "Set" button: the new shortcut is live at once, or the last one is shown and stored again.
// On failure the old hot key stays unregistered until the window closes.
void SetShortcut(int64_t gadget, int64_t event, const char16_t* last, const char16_t* label,
                 const char16_t* label_key, const char16_t* value_key) {
  ReadKeyText(gadget);
  UnregisterShortcutHotKey(KeyText, event);
  ReadKeyText(gadget);
  if (RegisterShortcutHotKey(KeyText, event) == 0) {
    PushTempStart();
    const int64_t message = PopTempStart();
    AppendTemp(
        u"This Shortcut cannot be used. Please enter another Shortcut. Otherwide, the last "
        u"Shortcut (");
    AppendTemp(TextOrEmpty(last));
    AppendTemp(u") will be used.");
    char16_t* text = nullptr;
    StoreTemp(&text, message);
    RunMessageAlert(u"Error", text, kAlertErrorIcon);
    FreeStringVar(text);
    SetGadgetText(gadget, TextOrEmpty(last));
  }
  StoreSettingText(label_key, label);
  ReadKeyText(gadget);
  StoreSettingText(value_key, TextOrEmpty(KeyText));
  SynchronizeSettings();
}

void ChooseReminderKind() {
  const int64_t kind = GetGadgetState(Gadgets.kind);
  if (kind >= 0 && kind <= 2) NagType = kind;
  StoreSettingText(u"Val6", u"NagType");
  StoreSettingInteger(u"Val7", NagType);
  SynchronizeSettings();
  EnableIntervalGadgets(kind);
}

// The arrows keep the interval within 2 to 60; a typed value is taken as the gadget has it.
void ChangeInterval(int64_t subtype) {
  if (subtype == SubtypeUp) {
    Refresh = Refresh + 1 >= 61 ? 60 : Refresh + 1;
    SetGadgetState(Gadgets.interval, Refresh);
  } else if (subtype == SubtypeDown) {
    Refresh = Refresh - 1 <= 1 ? 2 : Refresh - 1;
    SetGadgetState(Gadgets.interval, Refresh);
  } else if (subtype == SubtypeChange) {
    Refresh = GetGadgetState(Gadgets.interval);
  }
  StoreSettingText(u"Val17", u"Refresh");
  StoreSettingInteger(u"Val18", Refresh);
  SynchronizeSettings();
}

// The new state comes from the setting, not from the check box.
void ToggleStartAtLogin() {
  Login = static_cast<int8_t>(1 - Login);
  SetGadgetState(Gadgets.start_at_login, Login);
  SetStartAtLogin(Login);
  StoreSettingText(u"Val4", u"Login");
  StoreSettingInteger(u"Val5", Login);
  SynchronizeSettings();
}

void ActOnGadget(int64_t gadget) {
  if (gadget == Gadgets.task_set) {
    SetShortcut(Gadgets.task_key, TaskKeyEvent, AddKey, u"AddKey", u"Val0", u"Val1");
  } else if (gadget == Gadgets.clear_set) {
    SetShortcut(Gadgets.clear_key, ClearKeyEvent, ClrKey, u"ClrKey", u"Val8", u"Val9");
  } else if (gadget == Gadgets.kind) {
    ChooseReminderKind();
  } else if (gadget == Gadgets.interval) {
    ChangeInterval(CurrentEventSubtype());
  } else if (gadget == Gadgets.start_at_login) {
    ToggleStartAtLogin();
  }
  // The labels, the shortcut fields and "?" do nothing.
}

}  // namespace

// --- The window's loop ---

void RunPreferencesWindow() {
  OpenPreferencesWindow();
  for (;;) {
    const int32_t type = WaitForEventForever();
    if (type == GadgetEvent) ActOnGadget(CurrentEventGadget());
    if (type == CloseWindowEvent) return;
  }
}
