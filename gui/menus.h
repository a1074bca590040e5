// Numbered popup menus over NSMenu / NSMenuItem: items carry the program's item numbers, an
// optional key equivalent written after a tab ("Enter Task\tCtrl+Alt+T"), and choosing one
// posts a MenuEvent. Negative item numbers address the application menu (About, Preferences,
// Quit).
#pragma once

#include <cstdint>

#include "platform/objc/objc.h"

// One numbered menu; its first field is non-zero exactly while the menu exists.
struct MenuRecord {
  id holder;            // NSMutableArray (capacity 1) holding the top NSMenu; the handle; owned
  id menus;             // NSMutableArray of every NSMenu of this menu, top first; owned
  id menuObject;        // VoMenuObject, the represented object of every item; owned
  uint32_t showImages;  // 0 for popup menus (items get no image)
  uint32_t isPopup;     // 1 for popup menus
  id window;            // NSWindow the menu belongs to; nil for popup menus
  id menuBar;           // NSMenu installed as main menu while its window is key; nil for popups
};

// --- Set-up ---
// Defines VoMenuObject and VoMenuDelegate (once); StartApplication needs them before InitMenus.
void DefineMenuClasses();
// Makes the shared VoMenuDelegate (once) and answers it.
id CreateMenuDelegate();
// The shared VoMenuDelegate, the target of every item; nil before StartApplication.
id SharedMenuDelegate();
// Creates the menu registry and the current-menu state.
void InitMenus();
// Releases every menu (program end).
void EndMenus();

// --- Menus ---
// For -1 answers the new dynamic number, otherwise a non-zero value; 0 on failure. The new menu
// becomes the current menu.
int64_t MakePopupMenu(int64_t number);
// Appends an item to the current menu; answers the new NSMenuItem (nil for the application
// menu numbers -2, -3 and -4, which enable the matching application menu item instead).
id AppendMenuItem(int32_t item, const char16_t* text);
void AppendMenuSeparator();
void SetMenuItemDisabled(int64_t menu, int32_t item, int32_t disabled);
void ChangeMenuItemText(int64_t menu, int32_t item, const char16_t* text);
id FindMenuItem(int64_t menu, int32_t item);
// The holder array (send it firstObject for the NSMenu); 0 when the menu does not exist.
id MenuHandle(int64_t menu);
int64_t MenuExists(int64_t menu);
// -1 releases every menu.
void ReleaseMenu(int64_t menu);
// Releases the first menu, in registry order, that belongs to window.
void ReleaseWindowMenus(id window);
// The menu bar of the first menu that belongs to window; nil when none.
id WindowMenuBar(id window);

// --- Item text ---
// Splits an item text into title, key equivalent (both autoreleased NSStrings) and modifier
// mask: "&" removed, the part after the first tab parsed as tokens joined by "+".
void ParseMenuItemText(const char16_t* text, id* title, id* key_equivalent,
                       NSUInteger* modifier_mask);
