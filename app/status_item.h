// The status item and its menu (menu 0): the whole face of the application.
#pragma once

// Status menu item numbers.
enum : int {
  EnterTaskItem = 1,  // "Enter Task" / "Edit Task"
  ClearTaskItem = 2,  // "Clear Task"
  ReminderItem = 3,   // the reminder line, always disabled
  PreferencesMenuItem = 4,
  AboutMenuItem = 5,
  QuitMenuItem = 6,
};

// Builds the status item with its title (the task), its menu, and what must exist beside it.
// Runs at start-up and again after the preferences window, once the caller has released
// menu 0 and removed the old item from the status bar.
void BuildStatusItem();

// Enables items 1 to 6 of the status menu after a dialog, then disables Clear Task when there
// is no task and the reminder line for the reminder kinds 0, 1 and 2.
void RestoreMenuState();
