// Numbered popup menus: the menu registry, VoMenuObject, VoMenuDelegate, item text parsing and
// the operations the program calls.
//
// Sections: Classes, Item text, Menus.
#include "gui/menus.h"

#include <cstdio>

#include "core/registry.h"
#include "gui/application.h"
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/windows.h"

namespace {

Class g_menu_object_class = nil;    // VoMenuObject
Class g_menu_delegate_class = nil;  // VoMenuDelegate
ptrdiff_t g_menu_ivar = -1;         // VoMenuObject's "Menu" (MenuRecord*)
ptrdiff_t g_window_id_ivar = -1;    // VoMenuDelegate's "WindowID" (int64_t)
id g_menu_delegate = nil;           // the shared VoMenuDelegate; lives for the whole run

ObjectRegistry* g_menus = nullptr;  // MenuRecord by menu number
MenuRecord* g_current = nullptr;    // menu that AppendMenuItem appends to; null when none
id g_current_menu = nil;            // its top NSMenu (held by the record)

constexpr int32_t kMenuSlots = 8;  // initial slots of the menu registry

// --- Classes ---

id InitWithMenu(id self, SEL, void* record) {
  objc::FieldAt<void*>(self, g_menu_ivar) = record;
  return self;
}

int64_t DelegateWindowID(id self) {
  return objc::FieldAt<int64_t>(self, g_window_id_ivar);
}

void SetWindowID(id self, SEL, int64_t window) {
  objc::FieldAt<int64_t>(self, g_window_id_ivar) = window;
}

void Preferences(id self, SEL, id) {
  QueueUiEvent(MenuEvent, PreferencesItem, DelegateWindowID(self), 0);
}

void About(id self, SEL, id) {
  QueueUiEvent(MenuEvent, AboutItem, DelegateWindowID(self), 0);
}

void Terminate(id self, SEL, id) {
  QueueUiEvent(MenuEvent, QuitItem, DelegateWindowID(self), 0);
}

// The action of every numbered item: posts (MenuEvent, tag, window of the menu, 0).
void EventHandler(id, SEL, id sender) {
  id menu_object = objc::Send(sender, "representedObject");
  MenuRecord* record = nullptr;
  if (menu_object && objc::IsKindOf(menu_object, g_menu_object_class)) {
    record = static_cast<MenuRecord*>(objc::FieldAt<void*>(menu_object, g_menu_ivar));
  }
  int64_t window = 0;
  if (record && record->window) window = WindowNumberOf(record->window);
  QueueUiEvent(MenuEvent, objc::Send<NSInteger>(sender, "tag"), window, 0);
}

// A new NSMenu (+1) with an empty title whose items stay enabled until the program says not.
id NewMenu() {
  id menu = objc::Send(objc::Send(CocoaClass("NSMenu"), "alloc"),
                       "initWithTitle:", CocoaStringFromUtf8(""));
  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  return menu;
}

id NewMutableArray(NSUInteger capacity) {
  return objc::Send(objc::Send(CocoaClass("NSMutableArray"), "alloc"),
                    "initWithCapacity:", capacity);
}

void ReleaseMenuCallback(int64_t number) {
  ReleaseMenu(number);
}

bool Same(id a, id b) {
  return objc::Send<BOOL>(a, "isEqualToString:", b) != NO;
}

}  // namespace

void DefineMenuClasses() {
  if (g_menu_object_class) return;
  g_menu_object_class = objc::DefineClass("VoMenuObject", "NSObject");
  g_menu_ivar = objc::AddIvar<void*>(g_menu_object_class, "Menu");
  objc::AddMethod(g_menu_object_class, "initWithMenu:", &InitWithMenu);

  g_menu_delegate_class = objc::DefineClass("VoMenuDelegate", "NSObject");
  g_window_id_ivar = objc::AddIvar<int64_t>(g_menu_delegate_class, "WindowID");
  objc::AddMethod(g_menu_delegate_class, "setWindowID:", &SetWindowID);
  objc::AddMethod(g_menu_delegate_class, "preferences:", &Preferences);
  objc::AddMethod(g_menu_delegate_class, "about:", &About);
  objc::AddMethod(g_menu_delegate_class, "terminate:", &Terminate);
  objc::AddMethod(g_menu_delegate_class, "eventHandler:", &EventHandler);
}

id CreateMenuDelegate() {
  DefineMenuClasses();
  if (!g_menu_delegate) g_menu_delegate = objc::Send(g_menu_delegate_class, "new");
  return g_menu_delegate;
}

id SharedMenuDelegate() {
  return g_menu_delegate;
}

void InitMenus() {
  DefineMenuClasses();
  if (!g_menus) g_menus = CreateRegistry(sizeof(MenuRecord), kMenuSlots, &ReleaseMenuCallback);
  g_current = nullptr;
  g_current_menu = nil;
}

void EndMenus() {
  ReleaseMenu(-1);
}

// --- Item text ---

void ParseMenuItemText(const char16_t* text, id* title, id* key_equivalent,
                       NSUInteger* modifier_mask) {
  id whole = objc::Send(MakeCocoaString(text), "stringByReplacingOccurrencesOfString:withString:",
                        CocoaStringFromUtf8("&"), CocoaStringFromUtf8(""));
  NSUInteger mask = 0;
  id key = CocoaStringFromUtf8("");
  id parts = objc::Send(whole, "componentsSeparatedByString:", CocoaStringFromUtf8("\t"));
  if (objc::Send<NSUInteger>(parts, "count") < 2) {
    *title = whole;
  } else {
    *title = objc::Send(parts, "objectAtIndex:", NSUInteger{0});
    id shortcut = objc::Send(objc::Send(parts, "objectAtIndex:", NSUInteger{1}), "uppercaseString");
    id tokens = objc::Send(shortcut, "componentsSeparatedByString:", CocoaStringFromUtf8("+"));
    NSUInteger count = objc::Send<NSUInteger>(tokens, "count");
    for (NSUInteger i = 0; i < count; ++i) {
      id token = objc::Send(tokens, "objectAtIndex:", i);
      if (Same(token, CocoaStringFromUtf8("CMD"))) {
        mask |= 0x100000;
      } else if (Same(token, CocoaStringFromUtf8("SHIFT"))) {
        mask |= 0x20000;
      } else if (Same(token, CocoaStringFromUtf8("ALT"))) {
        mask |= 0x80000;
      } else if (Same(token, CocoaStringFromUtf8("CTRL"))) {
        mask |= 0x40000;
      } else {
        key = objc::Send(token, "lowercaseString");
        for (int f = 1; f <= 12; ++f) {
          char name[8];
          std::snprintf(name, sizeof(name), "F%d", f);
          if (Same(token, CocoaStringFromUtf8(name))) {
            // Cocoa's function-key characters: F1 is U+F704, each next key the next code.
            char16_t unit[2] = {static_cast<char16_t>(0xF704 + f - 1), 0};
            key = MakeCocoaString(unit);
            break;
          }
        }
      }
    }
  }
  *key_equivalent = key;
  *modifier_mask = mask;
}

// --- Menus ---

int64_t MakePopupMenu(int64_t number) {
  if (!g_menus) return 0;
  id menu = NewMenu();
  if (!menu) return 0;
  auto* record = static_cast<MenuRecord*>(AllocateObject(g_menus, number));
  if (!record) {
    objc::Release(menu);
    return 0;
  }
  record->holder = NewMutableArray(1);
  record->menus = NewMutableArray(5);
  record->showImages = 0;
  record->isPopup = 1;
  record->menuObject = objc::Send(objc::Send(g_menu_object_class, "alloc"),
                                  "initWithMenu:", static_cast<void*>(record));
  objc::Send<void>(record->holder, "addObject:", menu);
  objc::Send<void>(record->menus, "addObject:", menu);
  objc::Release(menu);
  g_current = record;
  g_current_menu = menu;
  if (number == -1) return static_cast<int64_t>(reinterpret_cast<intptr_t>(record));
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(record->holder));
}

id AppendMenuItem(int32_t item, const char16_t* text) {
  if (item == QuitItem || item == AboutItem || item == PreferencesItem) {
    if (!g_current) return nil;
    int64_t window = g_current->window ? WindowNumberOf(g_current->window) : -1;
    objc::Send<void>(g_menu_delegate, "setWindowID:", window);
    if (item != QuitItem) {
      objc::Send<void>(ApplicationMenuItem(item), "setTarget:", g_menu_delegate);
    }
    return nil;
  }
  if (!g_current_menu) return nil;
  id title = nil;
  id key = nil;
  NSUInteger mask = 0;
  ParseMenuItemText(text, &title, &key, &mask);
  id menu_item = objc::Autorelease(objc::Send(objc::Send(CocoaClass("NSMenuItem"), "alloc"),
                                              "initWithTitle:action:keyEquivalent:", title,
                                              sel_registerName("eventHandler:"), key));
  objc::Send<void>(menu_item, "setTag:", NSInteger{item});
  objc::Send<void>(menu_item, "setRepresentedObject:", g_current->menuObject);
  objc::Send<void>(menu_item, "setTarget:", g_menu_delegate);
  objc::Send<void>(menu_item, "setKeyEquivalentModifierMask:", mask);
  objc::Send<void>(g_current_menu, "addItem:", menu_item);
  return menu_item;
}

void AppendMenuSeparator() {
  if (!g_current_menu) return;
  objc::Send<void>(g_current_menu,
                   "addItem:", objc::Send(CocoaClass("NSMenuItem"), "separatorItem"));
}

id FindMenuItem(int64_t menu, int32_t item) {
  auto* record = static_cast<MenuRecord*>(FindObject(g_menus, menu));
  if (!record) return nil;
  if (item == QuitItem || item == AboutItem || item == PreferencesItem) {
    return ApplicationMenuItem(item);
  }
  NSUInteger count = objc::Send<NSUInteger>(record->menus, "count");
  for (NSUInteger i = 0; i < count; ++i) {
    id found =
        objc::Send(objc::Send(record->menus, "objectAtIndex:", i), "itemWithTag:", NSInteger{item});
    if (found) return found;
  }
  return nil;
}

void SetMenuItemDisabled(int64_t menu, int32_t item, int32_t disabled) {
  id menu_item = FindMenuItem(menu, item);
  if (menu_item) objc::Send<void>(menu_item, "setEnabled:", disabled ? NO : YES);
}

void ChangeMenuItemText(int64_t menu, int32_t item, const char16_t* text) {
  id menu_item = FindMenuItem(menu, item);
  if (!menu_item) return;
  id title = nil;
  id key = nil;
  NSUInteger mask = 0;
  ParseMenuItemText(text, &title, &key, &mask);
  objc::Send<void>(menu_item, "setTitle:", title);
  objc::Send<void>(menu_item, "setKeyEquivalent:", key);
  objc::Send<void>(menu_item, "setKeyEquivalentModifierMask:", mask);
}

id MenuHandle(int64_t menu) {
  auto* record = static_cast<MenuRecord*>(FindObject(g_menus, menu));
  return record ? record->holder : nil;
}

int64_t MenuExists(int64_t menu) {
  return FindObject(g_menus, menu) ? 1 : 0;
}

void ReleaseMenu(int64_t menu) {
  if (!g_menus) return;
  if (menu == -1) {
    FreeAllObjects(g_menus);
    return;
  }
  auto* record = static_cast<MenuRecord*>(FindObject(g_menus, menu));
  if (!record) return;
  if (record->menuBar && objc::Send(SharedApplication(), "mainMenu") == record->menuBar) {
    InstallMenuBar(DefaultMainMenu(), -1);
  }
  // Items may outlive the menu (a status item keeps its NSMenu): they must not reach the record.
  if (record->menuObject) objc::FieldAt<void*>(record->menuObject, g_menu_ivar) = nullptr;
  // Appending after a release would reach a freed record: the current menu is cleared instead,
  // so appends do nothing until the next MakePopupMenu.
  if (g_current == record) {
    g_current = nullptr;
    g_current_menu = nil;
  }
  objc::Release(record->holder);
  objc::Release(record->menus);
  objc::Release(record->menuObject);
  objc::Release(record->menuBar);
  *record = MenuRecord{};
  FreeObject(g_menus, menu);
}

void ReleaseWindowMenus(id window) {
  if (!g_menus || !window) return;
  ResetObjectEnumeration(g_menus);
  int64_t number = 0;
  while (auto* record = static_cast<MenuRecord*>(NextObject(g_menus, &number))) {
    if (record->holder && record->window == window) {
      ReleaseMenu(number);
      return;
    }
  }
}

id WindowMenuBar(id window) {
  if (!g_menus || !window) return nil;
  ResetObjectEnumeration(g_menus);
  int64_t number = 0;
  while (auto* record = static_cast<MenuRecord*>(NextObject(g_menus, &number))) {
    if (record->holder && record->window == window) return record->menuBar;
  }
  return nil;
}
