// The application's general alert (ShowNoteAlert) and ActivateApplication.
#include "app/note_alert.h"

#include "app/state.h"
#include "gui/selector_bridge.h"
#include "image/image.h"

namespace {

constexpr int64_t kAlertIconImage = 64;         // "app_fancy_icon.png"
constexpr int64_t kFirstButtonReturn = 1000;    // runModal's answer for the first button added
constexpr int64_t kActivateAllWindows = 1;      // NSApplicationActivateAllWindows
constexpr int64_t kActivateIgnoringOthers = 2;  // NSApplicationActivateIgnoringOtherApps

}  // namespace

int64_t ShowNoteAlert(const char16_t* title, const char16_t* text, int64_t default_button,
                      const char16_t* button1, const char16_t* button2) {
  id alert = SelectorObject(SelectorSend0(
      nullptr, SelectorObject(SelectorSend0(nullptr, nil, "NSAlert new")), "autorelease"));
  SelectorSend1(nullptr, alert, u"setMessageText:$", SelectorWord(TextOrEmpty(title)));
  SelectorSend1(nullptr, alert, u"setInformativeText:$", SelectorWord(TextOrEmpty(text)));
  // An absent icon image is nil: the alert keeps the platform's default icon.
  SelectorSend1(nullptr, alert, "setIcon:", SelectorWord(ImageCocoaHandle(kAlertIconImage)));

  int64_t count = 0;  // buttons added before button 1
  if (button2 && button2[0]) {
    SelectorSend1(nullptr, alert, u"addButtonWithTitle:$", SelectorWord(button2));
    count = 1;
  }
  SelectorSend1(nullptr, alert, u"addButtonWithTitle:$", SelectorWord(TextOrEmpty(button1)));

  // Buttons stand in the order added: button number n is at index count - n + 1.
  id buttons = SelectorObject(SelectorSend0(nullptr, alert, "buttons"));
  id button = SelectorObject(
      SelectorSend1(nullptr, buttons, "objectAtIndex:", SelectorWord(count - default_button + 1)));
  id cell = SelectorObject(SelectorSend0(nullptr, button, "cell"));
  id window = SelectorObject(SelectorSend0(nullptr, alert, "window"));
  SelectorSend1(nullptr, window, "setDefaultButtonCell:", SelectorWord(cell));

  const int64_t answer = static_cast<int64_t>(SelectorSend0(nullptr, alert, "runModal"));
  return count - answer + kFirstButtonReturn + 1;
}

void ActivateApplication() {
  id current =
      SelectorObject(SelectorSend0(nullptr, nil, "NSRunningApplication currentApplication"));
  SelectorSend1(nullptr, current, "activateWithOptions:",
                SelectorWord(kActivateAllWindows | kActivateIgnoringOthers));
}
