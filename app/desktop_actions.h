// The program's actions for the desktop: "enter-task" and "clear-task", started from
// launchers, scripts and keyboard shortcuts the desktop binds. Each posts the same program
// event as its hot key, so the main loop treats them alike: acted on at once when idle, after
// a dialog that is open, and dropped while the preferences window runs its own loop.
#pragma once

#include <cstdint>

// Offers both actions to the platform; called once at start, after the hot-key handler.
void OfferDesktopActions();

// The action a hot key posting event performs ("enter-task" for TaskKeyEvent, "clear-task"
// for ClearKeyEvent); null for any other event.
const char* DesktopActionOfEvent(int64_t event);
