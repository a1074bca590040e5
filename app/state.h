// The reminder application's process-global state: the task, the settings as loaded, the
// paths and platform objects fetched once at start, and the status item's parts.
//
// Strings are runtime string variables (0 reads as ""); platform objects are ids that
// the selector bridge hands back.
#pragma once

#include <cstdint>

#include "platform/objc/runtime.h"

// --- Settings (loaded from the user defaults, or written on the first run) ---
extern char16_t* TaskText;  // the one task; "" (or 0) means no task
extern char16_t* AddKey;    // shortcut text of the enter-task hot key, e.g. "⌃⌥T"
extern char16_t* ClrKey;    // shortcut text of the clear-task hot key, e.g. "⌃⌥/"
extern int64_t NagType;     // reminder kind: 0 none, 1 alert box, 2 spoken reminder
extern int64_t Refresh;     // reminder interval in minutes; milliseconds once the timer runs
extern int8_t Login;        // start-at-login flag, 0 or 1

// --- Fixed at start-up ---
extern int64_t MaxTaskLength;  // longest task kept: 45 or 90 characters, from the screen width
extern char16_t* ResourceDir;  // the program file's folder followed by "../Resources/"
extern char16_t* PrefsFile;    // home folder followed by "Library/Preferences/Mindel.plist"
extern id Defaults;            // [NSUserDefaults standardUserDefaults], fetched once

// --- The status item ---
extern id StatusBar;            // [NSStatusBar systemStatusBar]
extern id StatusItem;           // the status item, retained; replaced by each build
extern char16_t* ReminderLine;  // text of status menu item 3

// --- The process arguments, kept but never read by the program ---
extern int ProgramArgumentCount;
extern char** ProgramArguments;

// A runtime string as the selector bridge's "$" argument wants it: never null.
inline const char16_t* TextOrEmpty(const char16_t* text) {
  return text ? text : u"";
}
