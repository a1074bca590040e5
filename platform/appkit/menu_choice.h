// Choosing a menu item the way a click on it does, for every desktop.
#pragma once

#include <string>

#include "platform/objc/objc.h"

// Brings menu's items' enabled states up to date (update), as before a menu opens.
void MenuPrepareToShow(id menu);

// Chooses item: when it is enabled and has an action, sends the action to its target (or
// along the responder chain) from the item. Answers whether the action was taken; otherwise
// *why (when given) says what stopped it: "is disabled", "has no action" or "nothing took
// the action".
bool MenuChooseItem(id item, std::string* why);
