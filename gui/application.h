// The start of the runtime's platform side: the process brought to the front, the shared
// application made from VoApplication (which gives text fields the edit shortcuts), the
// application menu and delegate, and the working directory moved into the bundle.
#pragma once

#include <cstdint>

#include "platform/objc/objc.h"

// First statement of the program: asks for the front.
void BringProcessToFront();
// Makes the runtime's autorelease pool, the shared VoApplication, the application menu and
// the delegates, and finishes launching.
void StartApplication();
// Changes the working directory to the bundle's Contents folder; leaves it on any failure.
void EnterBundleContents();
// Builds the application menu once; answers a new, empty NSMenu (+1) for a main menu.
id BuildApplicationMenu();
// Moves the "Apple" item (the application menu) to index 0 of menu, makes menu the main menu
// and tells the menu delegate the window number of the menu bar.
void InstallMenuBar(id menu, int64_t window);

// The default main menu made at start; nil before StartApplication.
id DefaultMainMenu();
// The application menu's About (-3), Preferences (-2) or Quit (-4) item; nil for other numbers.
id ApplicationMenuItem(int64_t item);

// Receives the paths of files the platform asks the application to open, joined by tabs, as
// UTF-8. The program installs none.
typedef void (*OpenFilesHook)(const char* paths);
void SetOpenFilesHook(OpenFilesHook hook);
