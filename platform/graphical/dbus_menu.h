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
#include <utility>

#include "platform/graphical/menu_layout.h"

// The answer to one method call.
struct MenuAnswer {
  MenuAnswer() = default;
  MenuAnswer(MenuAnswer&& other) noexcept { *this = std::move(other); }
  MenuAnswer& operator=(MenuAnswer&& other) noexcept {
    std::swap(reply, other.reply);
    error_name = other.error_name;
    error = std::move(other.error);
    choose = other.choose;
    return *this;
  }
  ~MenuAnswer();

  GVariant* reply = nullptr;  // the reply's values (owned); null for none or with an error
  const char* error_name = "org.freedesktop.DBus.Error.InvalidArgs";  // with error
  std::string error;   // why the call failed; empty when it succeeded
  int32_t choose = 0;  // the item to choose once the reply is sent; 0 for none
};

class DbusMenu {
 public:
  static constexpr const char* kPath = "/MenuBar";

  // Exports the (empty) menu at kPath on bus (with a null bus, only answers calls). Check
  // Exported().
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

  // Answers one method call of the interface: a reply or an error, never a change for bad
  // input (wrong argument types, unknown ids). Choosing an item is left to the caller.
  MenuAnswer Answer(const char* method, GVariant* parameters);
  // Chooses the item numbered number as a click would; nothing for unknown numbers,
  // separators and the menu itself.
  void Choose(int32_t number);

 private:
  GDBusConnection* bus_;     // not owned
  guint registration_ = 0;   // the exported object; 0 when exporting failed
  id menu_ = nil;            // the menu shown; retained
  MenuItemNumbers numbers_;  // bus numbers of the items
  MenuEntry root_;           // the tree the panel was last told about
  uint32_t revision_ = 1;    // raised at every change of the tree's shape
};

// The first interface of introspection XML (a literal of the program's, so it parses), kept
// for the whole run: what an exported object of this desktop is checked against.
GDBusInterfaceInfo* InterfaceFromXml(const char* xml);

// The menu's status line: the first disabled item without a key or submenu that stands alone
// between separators (or the menu's ends), such as a line that shows a setting; "" when none.
std::string MenuStatusLine(const MenuEntry& root);
