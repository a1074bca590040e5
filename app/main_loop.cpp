// The main loop and the handlers of the status menu's items.
#include "app/main_loop.h"

#include "app/about_box.h"
#include "app/end_program.h"
#include "app/note_alert.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "app/shortcut_menu_text.h"
#include "app/state.h"
#include "app/status_item.h"
#include "app/task_dialog.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "gui/event_queue.h"
#include "gui/menus.h"
#include "gui/selector_bridge.h"
#include "gui/timers.h"
#include "gui/windows.h"

namespace {

char16_t* SpokenText = nullptr;  // the last spoken reminder, rebuilt at each one

// Stores TaskText under "Val16" and makes it the status item's title.
void StoreTask() {
  StoreSettingText(u"Val16", TaskText);
  SynchronizeSettings();
  id title = SelectorObject(SelectorSend1(nullptr, nil, u"NSString stringWithString:$",
                                          SelectorWord(TextOrEmpty(TaskText))));
  SelectorSend1(nullptr, StatusItem, "setTitle:", SelectorWord(title));
}

// Gives status menu item `item` the text label + the menu form of shortcut.
void RetitleShortcutItem(int item, const char16_t* label, const char16_t* shortcut) {
  PushTempStart();
  const int64_t text = PeekTempStart();
  ShortcutItemText(label, shortcut, text);
  ChangeMenuItemText(0, item, TempPointerAt(text + 1));
  PopTempDiscard();
}

// Item 1 and the enter-task hot key.
void EnterTask() {
  EditTask();
  StoreTask();
}

// Item 2 and the clear-task hot key: no confirmation, and the reminder kind goes to none as
// well (the reminder timer keeps running; its events find kind 0 and do nothing).
void ClearTask() {
  AssignStringVar(&TaskText, u"");
  StoreTask();
  RetitleShortcutItem(EnterTaskItem, u"Enter Task\t", AddKey);
  RetitleShortcutItem(ClearTaskItem, u"Clear Task\t", ClrKey);
  NagType = 0;
  StoreSettingInteger(u"Val7", 0);
  SynchronizeSettings();
  AssignStringVar(&ReminderLine, u"No Reminder Set");
  ChangeMenuItemText(0, ReminderItem, ReminderLine);
  SetMenuItemDisabled(0, ClearTaskItem, 1);
}

// Item 4. The window's changes are already stored: everything is rebuilt from them.
void OpenPreferences() {
  RunPreferencesWindow();
  DisposeWindow(1);
  if (NagType >= 1) StopWindowTimer(0, 1);
  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 0);
  SetMenuItemDisabled(0, ClearTaskItem, TextLength(TaskText) == 0 ? 1 : 0);
  if (NagType >= 0 && NagType <= 2) SetMenuItemDisabled(0, ReminderItem, 1);
  ReleaseMenu(0);
  SelectorSend1(nullptr, StatusBar, "removeStatusItem:", SelectorWord(StatusItem));
  // The build retained the item; once out of the bar nothing else uses it.
  SelectorSend0(nullptr, StatusItem, "release");
  StatusItem = nil;
  LoadSettings();
  BuildStatusItem();
}

// Item 5.
void ShowAbout() {
  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 1);
  ActivateApplication();
  ShowAboutBox();
  RestoreMenuState();
}

// A TimerEvent: the reminder timer fell due. With no task, or another reminder kind, nothing
// happens; the timer keeps running.
void GiveReminder() {
  if (TextLength(TaskText) == 0) return;
  if (NagType == 1) {
    ActivateApplication();
    PushTempStart();
    const int64_t message = PeekTempStart();
    AppendTemp(u"Task reminder for \"");
    AppendTemp(TaskText);
    AppendTemp(u"\"\n");
    ShowNoteAlert(TempPointerAt(message + 1), u"", 1, u"Ok", u"");
    PopTempDiscard();
    SetMenuItemDisabled(0, ReminderItem, 1);
  } else if (NagType == 2) {
    // A synthesizer per reminder. The speech command runs on its own, so releasing the
    // synthesizer once it has started does not cut the sentence short.
    id synthesizer = SelectorObject(SelectorSend1(
        nullptr, SelectorObject(SelectorSend0(nullptr, nil, "NSSpeechSynthesizer alloc")),
        "initWithVoice:", 0));
    PushTempStart();
    const int64_t sentence = PeekTempStart();
    AppendTemp(u"This is a task reminder for ");
    AppendTemp(TaskText);
    StoreTemp(&SpokenText, sentence);
    PopTempDiscard();
    SelectorSend1(nullptr, synthesizer, u"startSpeakingString:$", SelectorWord(SpokenText));
    SelectorSend0(nullptr, synthesizer, "release");
  }
}

}  // namespace

void ChooseStatusMenuItem(int64_t item) {
  switch (item) {
    case EnterTaskItem:
      EnterTask();
      break;
    case ClearTaskItem:
      ClearTask();
      break;
    case PreferencesMenuItem:
      OpenPreferences();
      break;
    case AboutMenuItem:
      ShowAbout();
      break;
    case QuitMenuItem:
      EndProgram();
    default:
      break;  // item 3 (the reminder line) and the application menu's items do nothing
  }
}

void RunMainLoop() {
  for (;;) {
    const int32_t type = WaitForEventForever();
    if (type == TimerEvent) {
      GiveReminder();
    } else if (type == MenuEvent) {
      ChooseStatusMenuItem(CurrentEventMenuItem());
    } else if (type == TaskKeyEvent) {
      ChooseStatusMenuItem(EnterTaskItem);
    } else if (type == ClearKeyEvent) {
      ChooseStatusMenuItem(ClearTaskItem);
    }
  }
}
