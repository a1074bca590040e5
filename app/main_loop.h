// The program's main loop: waits on the event queue and acts on the reminder timer, the
// status menu's items and the two hot keys, until Quit ends the program.
#pragma once

#include <cstdint>

// Program events posted by the hot keys.
enum : int32_t {
  TaskKeyEvent = 65537,   // the enter-task hot key: as menu item 1
  ClearKeyEvent = 65538,  // the clear-task hot key: as menu item 2
};

// Acts on one status menu item (1 to 6); other numbers, the application menu's included, do
// nothing.
void ChooseStatusMenuItem(int64_t item);

// Loops forever; the process ends only through EndProgram.
[[noreturn]] void RunMainLoop();
