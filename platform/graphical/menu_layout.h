// A menu of the AppKit model as the tree a panel shows: what the dbusmenu export sends. The
// tree is made afresh from the model whenever the desktop looks (before every wait), so the
// model never calls the desktop for a changed item.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/objc/objc.h"

// One entry of the tree. Entry 0 is the menu itself; its children are the items.
struct MenuEntry {
  int32_t id = 0;                     // the entry's number on the bus; 0 for the menu
  bool separator = false;             // a separator line (no label, never chosen)
  std::string label;                  // the title up to a tab, underscores doubled; UTF-8
  bool enabled = true;                // false greys it out
  bool visible = true;                // false hides it
  std::vector<std::string> shortcut;  // {"Control", "Alt", "t"}; empty when it has no key
  bool has_submenu = false;           // the item opens a submenu (children may be empty)
  std::vector<MenuEntry> children;    // the submenu's entries, in order

  // True when both have the same entries in the same places (ids, kinds, submenus), so that
  // only properties can differ.
  bool SameShape(const MenuEntry& other) const;
  // True when the shown properties are equal (children not compared).
  bool SameProperties(const MenuEntry& other) const;
};

// Numbers the items of a menu for the bus: an item keeps its number for as long as it stays
// in the menu, and numbers are never used twice. Items with a number are retained, so an
// address cannot come back as another item under an old number.
class MenuItemNumbers {
 public:
  MenuItemNumbers() = default;
  ~MenuItemNumbers();
  MenuItemNumbers(const MenuItemNumbers&) = delete;
  MenuItemNumbers& operator=(const MenuItemNumbers&) = delete;

  // The number of item, given now when it has none (1, 2, 3, ...).
  int32_t NumberOf(id item);
  // The item numbered number; nil for 0, unknown or dropped numbers.
  id ItemNumbered(int32_t number) const;
  // Drops (and releases) every item whose number is not in keep.
  void KeepOnly(const std::vector<int32_t>& keep);

 private:
  std::map<int32_t, id> items_;    // number -> item, retained
  std::map<id, int32_t> numbers_;  // item -> number
  int32_t next_ = 1;               // the next number to give
};

// The tree of menu (nil gives an empty root), numbering its items with numbers. Submenus
// deeper than 8 levels are left out (a deeper chain would be a cycle).
MenuEntry MenuLayoutOf(id menu, MenuItemNumbers* numbers);

// Every id of the tree, root first, depth-first.
std::vector<int32_t> MenuEntryIds(const MenuEntry& root);
// The entry numbered id in the tree; nullptr when none.
const MenuEntry* FindMenuEntry(const MenuEntry& root, int32_t id);

// A title as a dbusmenu label: the text before the first tab, with "_" doubled (a single
// underscore marks a mnemonic there). UTF-16 in, UTF-8 out; unpaired surrogates become U+FFFD.
std::string DbusMenuLabel(const std::u16string& title);
// A dbusmenu label as plain text again: doubled underscores made single.
std::string PlainMenuLabel(const std::string& label);
// A key equivalent with Cocoa's modifier mask as a dbusmenu shortcut: the modifiers in the
// order Control, Alt, Shift, Super, then the key's keysym name. An upper-case letter adds
// Shift. Empty when there is no key or it has no keysym.
std::vector<std::string> DbusMenuShortcut(const std::u16string& key, uint64_t modifier_mask);
