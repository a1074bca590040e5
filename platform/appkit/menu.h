// NSMenu and NSMenuItem internal calls: the link from an item to the menu that holds it.
#pragma once

#include "platform/objc/objc.h"

// Records menu (not retained; nil when removed) as the menu that holds item.
void MenuItemSetMenu(id item, id menu);
