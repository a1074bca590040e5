// The task dialog (EditTask, AskTaskText) and the cleaning of the text it answers.
#include "app/task_dialog.h"

#include "app/note_alert.h"
#include "app/settings.h"
#include "app/shortcut_menu_text.h"
#include "app/state.h"
#include "app/status_item.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "core/utf.h"
#include "gui/menus.h"
#include "gui/selector_bridge.h"
#include "image/image.h"

namespace {

constexpr int64_t kAlertIconImage = 64;      // "app_fancy_icon.png"
constexpr int64_t kSaveButtonReturn = 1000;  // runModal's answer for "Save", added first
constexpr double kFieldFrame[4] = {0.0, 0.0, 360.0, 26.0};  // x, y, width, height

// Removed wherever they occur, in this order.
constexpr const char16_t* kForbiddenCharacters[] = {u";", u"\"", u"`", u">", u"<",
                                                    u"{", u"}",  u"[", u"]"};

// Replaces *variable by the text the string function leaves in the temporary buffer.
template <class StringFunction>
void Update(char16_t** variable, StringFunction function) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  function(offset);
  StoreTemp(variable, offset);
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

// Gives status menu item `item` the text label + the menu form of shortcut.
void RetitleShortcutItem(int item, const char16_t* label, const char16_t* shortcut) {
  PushTempStart();
  const int64_t text = PeekTempStart();
  ShortcutItemText(label, shortcut, text);
  ChangeMenuItemText(0, item, TempPointerAt(text + 1));
  PopTempDiscard();
}

}  // namespace

void AskTaskText(const char16_t* prompt, const char16_t* current, int64_t offset) {
  id field = SelectorObject(SelectorSend0(nullptr, nil, "NSTextField alloc"));
  field =
      SelectorObject(SelectorSend1(nullptr, field, "initWithFrame:@", SelectorWord(kFieldFrame)));
  field = SelectorObject(SelectorSend0(nullptr, field, "autorelease"));
  SelectorSend1(nullptr, field, u"setStringValue:$", SelectorWord(TextOrEmpty(current)));

  id alert = SelectorObject(SelectorSend0(nullptr, nil, "NSAlert new"));
  alert = SelectorObject(SelectorSend0(nullptr, alert, "autorelease"));
  // An absent icon image is nil: the alert keeps the platform's default icon.
  SelectorSend1(nullptr, alert, "setIcon:", SelectorWord(ImageCocoaHandle(kAlertIconImage)));
  SelectorSend1(nullptr, alert, u"setMessageText:$", SelectorWord(TextOrEmpty(prompt)));
  SelectorSend1(nullptr, alert, u"setInformativeText:$", SelectorWord(u""));
  SelectorSend1(nullptr, alert, u"addButtonWithTitle:$", SelectorWord(u"Save"));
  SelectorSend1(nullptr, alert, u"addButtonWithTitle:$", SelectorWord(u"Cancel"));
  SelectorSend1(nullptr, alert, "setAccessoryView:", SelectorWord(field));
  SelectorSend0(nullptr, alert, "layout");
  SelectorSend0(nullptr, field, "becomeFirstResponder");

  const int64_t answer = static_cast<int64_t>(SelectorSend0(nullptr, alert, "runModal"));
  if (answer != kSaveButtonReturn) {
    TextLeft(u"", 0, offset);
    return;
  }
  id value = SelectorObject(SelectorSend0(nullptr, field, "stringValue"));
  const char* text =
      value ? reinterpret_cast<const char*>(SelectorSend0(nullptr, value, "UTF8String")) : nullptr;
  Utf8ToTemp(text ? text : "", offset);
  AssignStringVar(&TaskText, TempPointerAt(offset + 1));
}

void EditTask() {
  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 1);
  ActivateApplication();
  LoadSettingTextInto(&TaskText, u"Val16");

  char16_t* prompt = nullptr;  // the dialog's message text, a private string variable
  if (TextLength(TaskText) == 0) {
    Update(&prompt, [](int64_t at) {
      TextLeft(u"Enter the task in ", 18, at);
      PushTempStart();
      NumberToText(MaxTaskLength, PopTempStart());
      AppendTemp(u" characters or less");
    });
  } else {
    AssignStringVar(&prompt, u"Edit the task");
  }
  PushTempStart();
  AskTaskText(prompt, TaskText, PeekTempStart());
  PopTempDiscard();  // the answer is in TaskText already
  FreeStringVar(prompt);

  for (int item = EnterTaskItem; item <= QuitMenuItem; item++) SetMenuItemDisabled(0, item, 0);
  if (NagType >= 0 && NagType <= 2) SetMenuItemDisabled(0, ReminderItem, 1);

  const char16_t* suffix = u"";
  if (TextLength(TaskText) > MaxTaskLength) {
    int64_t keep = MaxTaskLength;
    // A character outside the basic plane takes two units: never keep half of one.
    if (keep > 0 && IsHighSurrogate(TaskText[keep - 1])) keep--;
    Update(&TaskText, [keep](int64_t at) { TextLeft(TaskText, keep, at); });
    suffix = u"...";
  }
  // An empty entry does not clear the task.
  if (TextLength(TaskText) == 0) LoadSettingTextInto(&TaskText, u"Val16");
  for (const char16_t* forbidden : kForbiddenCharacters) {
    Update(&TaskText, [forbidden](int64_t at) { TextRemove(TaskText, forbidden, at); });
  }
  Update(&TaskText, [suffix](int64_t at) {
    TextLeft(TaskText, TextLength(TaskText), at);
    AppendTemp(suffix);
  });

  RetitleShortcutItem(EnterTaskItem, TextLength(TaskText) ? u"Edit Task\t" : u"Enter Task\t",
                      AddKey);
  RetitleShortcutItem(ClearTaskItem, u"Clear Task\t", ClrKey);
  SetMenuItemDisabled(0, ClearTaskItem, TextLength(TaskText) == 0 ? 1 : 0);
}
