// NSMenu: an ordered list of menu items (retained), with submenus, and key equivalents that
// send an item's action through the application.
#include "platform/appkit/menu.h"

#include <algorithm>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/event.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"

namespace {

// The state of one menu.
struct MenuState {
  id title = nil;         // NSString, copied
  std::vector<id> items;  // NSMenuItems, retained, top to bottom
  id supermenu = nil;     // not retained
  bool autoenables_items =
      true;           // items with an action are enabled by their target (menu_item.cpp)
  id delegate = nil;  // not retained
};

Class gMenu;                  // NSMenu
ptrdiff_t gStateOffset = -1;  // offset of MenuState

MenuState& State(id self) {
  return objc::FieldAt<MenuState>(self, gStateOffset);
}

id InitWithTitle(id self, SEL, id title) {
  self = objc::SendSuper(self, gMenu, "init");
  if (self) appkit::AssignCopied(&State(self).title, title);
  return self;
}
id Init(id self, SEL) {
  return objc::Send(self, "initWithTitle:", appkit::EmptyString());
}
id Title(id self, SEL) {
  return appkit::StringOrEmpty(State(self).title);
}
void SetTitle(id self, SEL, id title) {
  appkit::AssignCopied(&State(self).title, title);
}

void InsertItemAtIndex(id self, SEL, id item, NSInteger index) {
  auto& items = State(self).items;
  if (!item || index < 0 || static_cast<size_t>(index) > items.size()) return;
  if (std::find(items.begin(), items.end(), item) != items.end()) return;
  objc_retain(item);
  // An item lives in one menu: it leaves the one it was in (Cocoa refuses instead).
  if (id old = objc::Send(item, "menu")) objc::Send<void>(old, "removeItem:", item);
  items.insert(items.begin() + index, item);
  MenuItemSetMenu(item, self);
}
void AddItem(id self, SEL, id item) {
  InsertItemAtIndex(self, nullptr, item, static_cast<NSInteger>(State(self).items.size()));
}
id AddItemWithTitle(id self, SEL, id title, SEL action, id key) {
  id item = objc::Send(objc::Send(objc_lookUpClass("NSMenuItem"), "alloc"),
                       "initWithTitle:action:keyEquivalent:", title, action, key);
  AddItem(self, nullptr, item);
  objc_release(item);
  return item;
}
void RemoveItemAtIndex(id self, SEL, NSInteger index) {
  auto& items = State(self).items;
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return;
  id item = items[index];
  items.erase(items.begin() + index);
  MenuItemSetMenu(item, nil);
  objc_release(item);
}
NSInteger IndexOfItem(id self, SEL, id item) {
  auto& items = State(self).items;
  auto found = std::find(items.begin(), items.end(), item);
  return found == items.end() ? -1 : static_cast<NSInteger>(found - items.begin());
}
void RemoveItem(id self, SEL, id item) {
  NSInteger index = IndexOfItem(self, nullptr, item);
  if (index >= 0) RemoveItemAtIndex(self, nullptr, index);
}
void RemoveAllItems(id self, SEL) {
  while (!State(self).items.empty()) {
    RemoveItemAtIndex(self, nullptr, static_cast<NSInteger>(State(self).items.size()) - 1);
  }
}
id ItemAtIndex(id self, SEL, NSInteger index) {
  auto& items = State(self).items;
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return nil;
  return items[index];
}
id ItemWithTag(id self, SEL, NSInteger tag) {
  for (id item : State(self).items) {
    if (objc::Send<NSInteger>(item, "tag") == tag) return item;
  }
  return nil;
}
NSInteger IndexOfItemWithTag(id self, SEL, NSInteger tag) {
  return IndexOfItem(self, nullptr, ItemWithTag(self, nullptr, tag));
}
id ItemWithTitle(id self, SEL, id title) {
  const std::u16string& wanted = foundation::StringUnits(title);
  for (id item : State(self).items) {
    if (foundation::StringUnits(objc::Send(item, "title")) == wanted) return item;
  }
  return nil;
}
NSInteger NumberOfItems(id self, SEL) {
  return static_cast<NSInteger>(State(self).items.size());
}
id ItemArray(id self, SEL) {
  return foundation::MakeArray(State(self).items);
}
BOOL AutoenablesItems(id self, SEL) {
  return State(self).autoenables_items ? YES : NO;
}
void SetAutoenablesItems(id self, SEL, BOOL on) {
  State(self).autoenables_items = on != NO;
}
id Supermenu(id self, SEL) {
  return State(self).supermenu;
}
void SetSupermenu(id self, SEL, id menu) {
  State(self).supermenu = menu;
}
id Delegate(id self, SEL) {
  return State(self).delegate;
}
void SetDelegate(id self, SEL, id delegate) {
  State(self).delegate = delegate;
}
void Update(id, SEL) {}
void CancelTracking(id, SEL) {}

// -performKeyEquivalent: finds the enabled item (submenus included) whose key equivalent the
// event presses and sends its action from the item.
BOOL PerformKeyEquivalent(id self, SEL, id event) {
  std::vector<id> items = State(self).items;
  for (id item : items) {
    if (!objc::Send<BOOL>(item, "isEnabled") || objc::Send<BOOL>(item, "isHidden")) continue;
    if (id submenu = objc::Send(item, "submenu")) {
      if (objc::Send<BOOL>(submenu, "performKeyEquivalent:", event)) return YES;
      continue;
    }
    if (!KeyEquivalentMatches(event, objc::Send(item, "keyEquivalent"),
                              objc::Send<NSUInteger>(item, "keyEquivalentModifierMask"))) {
      continue;
    }
    objc::Send<BOOL>(NSApp, "sendAction:to:from:", objc::Send<SEL>(item, "action"),
                     objc::Send(item, "target"), item);
    return YES;
  }
  return NO;
}

void Dealloc(id self, SEL sel) {
  MenuState& state = State(self);
  std::vector<id> items;
  items.swap(state.items);
  for (id item : items) {
    MenuItemSetMenu(item, nil);
    objc_release(item);
  }
  objc_release(state.title);
  state.title = nil;
  objc::SendSuper<void>(self, gMenu, sel);
}

}  // namespace

namespace appkit {

void LoadNSMenuClass() {
  gMenu = objc::DefineClass("NSMenu", "NSObject");
  gStateOffset = objc::AddCxxIvar<MenuState>(gMenu, "_menuState");
  Class cls = gMenu;
  objc::AddMethod(cls, "initWithTitle:", &InitWithTitle);
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "addItem:", &AddItem);
  objc::AddMethod(cls, "addItemWithTitle:action:keyEquivalent:", &AddItemWithTitle);
  objc::AddMethod(cls, "insertItem:atIndex:", &InsertItemAtIndex);
  objc::AddMethod(cls, "removeItemAtIndex:", &RemoveItemAtIndex);
  objc::AddMethod(cls, "removeItem:", &RemoveItem);
  objc::AddMethod(cls, "removeAllItems", &RemoveAllItems);
  objc::AddMethod(cls, "itemAtIndex:", &ItemAtIndex);
  objc::AddMethod(cls, "itemWithTag:", &ItemWithTag);
  objc::AddMethod(cls, "indexOfItemWithTag:", &IndexOfItemWithTag);
  objc::AddMethod(cls, "itemWithTitle:", &ItemWithTitle);
  objc::AddMethod(cls, "numberOfItems", &NumberOfItems);
  objc::AddMethod(cls, "itemArray", &ItemArray);
  objc::AddMethod(cls, "indexOfItem:", &IndexOfItem);
  objc::AddMethod(cls, "autoenablesItems", &AutoenablesItems);
  objc::AddMethod(cls, "setAutoenablesItems:", &SetAutoenablesItems);
  objc::AddMethod(cls, "supermenu", &Supermenu);
  objc::AddMethod(cls, "setSupermenu:", &SetSupermenu);
  objc::AddMethod(cls, "delegate", &Delegate);
  objc::AddMethod(cls, "setDelegate:", &SetDelegate);
  objc::AddMethod(cls, "update", &Update);
  objc::AddMethod(cls, "cancelTracking", &CancelTracking);
  objc::AddMethod(cls, "performKeyEquivalent:", &PerformKeyEquivalent);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
