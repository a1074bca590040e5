// The status item's menu on the session bus as com.canonical.dbusmenu (version 3), the way
// panels read and click menus of StatusNotifierItems.
//
// The tree is made afresh from the AppKit menu at every Refresh (the desktop calls it before
// each wait): a change of items or submenus raises the revision and sends LayoutUpdated, a
// change of labels, enabled or visible flags or shortcuts sends ItemsPropertiesUpdated.
// Event(id, "clicked") chooses the item as a click on the menu would.
#pragma once

#include <gio/gio.h>

#include <string>

#include "platform/graphical/menu_layout.h"

class DbusMenu {
 public:
  static constexpr const char* kPath = "/MenuBar";

  // Exports the (empty) menu at kPath on bus. Check Exported().
  explicit DbusMenu(GDBusConnection* bus);
  ~DbusMenu();
  DbusMenu(const DbusMenu&) = delete;
  DbusMenu& operator=(const DbusMenu&) = delete;

  bool Exported() const { return registration_ != 0; }
  // Makes the tree of menu (nil: an empty menu) and tells the panel what changed since the
  // last refresh.
  void Refresh(id menu);
  // The tree as last refreshed.
  const MenuEntry& Root() const { return root_; }

  // Answers one method call of the interface (also what the fuzz target drives): a reply or
  // a D-Bus error, never a change for bad input.
  void HandleCall(const char* method, GVariant* parameters, GDBusMethodInvocation* invocation);

 private:
  void Choose(int32_t number);

  GDBusConnection* bus_;     // not owned
  guint registration_ = 0;   // the exported object; 0 when exporting failed
  id menu_ = nil;            // the menu shown; retained
  MenuItemNumbers numbers_;  // bus numbers of the items
  MenuEntry root_;           // the tree the panel was last told about
  uint32_t revision_ = 1;    // raised at every change of the tree's shape
};

// The menu's status line: the first disabled item without a key or submenu that stands alone
// between separators (or the menu's ends), such as a line that shows a setting; "" when none.
std::string MenuStatusLine(const MenuEntry& root);
