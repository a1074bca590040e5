// The preferences window: the two hot keys, the reminder kind and interval, and start at
// login, each stored in the user defaults as soon as it changes.
#pragma once

// Opens window 1 with the menu locked and runs its own event loop until the window's close
// box is used; events other than its gadgets' meanwhile are dropped. The caller closes the
// window and rebuilds the status item.
void RunPreferencesWindow();
