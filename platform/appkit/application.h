// The application's internal calls: its window list, key and main windows, the event queue
// and the modal sessions, used by the windows, alerts and desktops of the platform.
#pragma once

#include "platform/objc/objc.h"

// Windows register themselves when made and leave when they are freed. The list is in creation
// order and holds no references.
void ApplicationAddWindow(id window);
void ApplicationRemoveWindow(id window);
// The window whose windowNumber is number; nil when none.
id ApplicationWindowWithNumber(NSInteger number);

// The key and main windows (nil when none). Setting only records the window: makeKeyWindow of
// NSWindow sends the become/resign messages.
id ApplicationKeyWindow();
void ApplicationSetKeyWindow(id window);
id ApplicationMainWindow();
void ApplicationSetMainWindow(id window);

// The window of the innermost modal session, or nil.
id ApplicationModalWindow();
