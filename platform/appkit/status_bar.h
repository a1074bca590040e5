// NSStatusBar's internal calls: the system status bar's items, for the desktops.
#pragma once

#include "platform/objc/objc.h"

// The system status bar's items in order (first made first), as an autoreleased NSArray.
id StatusBarItems();
