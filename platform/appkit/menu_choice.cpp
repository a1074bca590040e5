// Choosing a menu item: what a click on an open menu does.
#include "platform/appkit/menu_choice.h"

#include "platform/appkit/appkit.h"

void MenuPrepareToShow(id menu) {
  if (menu) objc::Send<void>(menu, "update");
}

bool MenuChooseItem(id item, std::string* why) {
  const char* reason = nullptr;
  SEL action = nullptr;
  if (!item || !objc::Send<BOOL>(item, "isEnabled")) {
    reason = "is disabled";
  } else if (!(action = objc::Send<SEL>(item, "action"))) {
    reason = "has no action";
  } else if (!objc::Send<BOOL>(NSApp, "sendAction:to:from:", action, objc::Send(item, "target"),
                               item)) {
    reason = "nothing took the action";
  }
  if (reason && why) *why = reason;
  return reason == nullptr;
}
