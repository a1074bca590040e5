// The status item on the session bus as a StatusNotifierItem (org.kde.StatusNotifierItem),
// registered with the panel's StatusNotifierWatcher, again whenever a watcher appears.
//
// What it shows comes from the model at every Refresh (before each wait): the task as the
// label (XAyatanaLabel) and the tooltip's title, the menu's status line as the tooltip's text,
// the image as pixmaps (a template drawn in the panel's foreground colour), and Status
// "Active" while the status bar holds a visible item. Only what changed is signalled.
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

#include "platform/graphical/icon_pixmap.h"
#include "platform/objc/objc.h"

// What the item shows; compared between refreshes to signal only changes.
struct StatusItemLook {
  std::string label;          // the item's title (the task), UTF-8
  std::string tooltip_title;  // the label, or the application's name when it is empty
  std::string tooltip_text;   // the menu's status line
  std::string status;         // "Active" or "Passive"
  id image = nil;             // the image the pixmaps were drawn from; retained by the item shown
  bool image_template = false;
  uint32_t tint = 0;             // the foreground colour a template was drawn in
  std::vector<IconPixmap> icon;  // the pixmaps
};

class StatusNotifierItem {
 public:
  static constexpr const char* kPath = "/StatusNotifierItem";

  // Exports the item on bus with its menu at menu_path, and watches for a watcher. Id and
  // title come from the main bundle (identifier and name).
  StatusNotifierItem(GDBusConnection* bus, const char* menu_path);
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  bool Exported() const { return registration_ != 0; }
  // Shows item (nil: no item, the status becomes "Passive") with status_line as the tooltip's
  // text; template images are drawn in tint (0xRRGGBB).
  void Refresh(id item, const std::string& status_line, uint32_t tint);
  // The item's Id, the bundle's identifier ("com.quorv.Mindel").
  const std::string& Id() const { return id_; }
  // True once a watcher accepted the item.
  bool Registered() const { return registered_; }
  // Whether a panel's watcher is on the bus: not known yet, there, or not there.
  enum class Watcher { kUnknown, kPresent, kAbsent };
  Watcher WatcherState() const { return watcher_; }
  // What the item shows, as last refreshed.
  const StatusItemLook& Look() const { return look_; }

  GVariant* Property(const char* name);  // floating; null for an unknown name

  // The folder of the icon file (IconThemePath) and its name (IconName): hosts that only
  // look icons up by name (Ayatana's indicator service) find the item's picture there.
  const std::string& IconFolder() const { return icon_folder_; }
  const std::string& IconName() const { return icon_name_; }

 private:
  static void OnWatcherAppeared(GDBusConnection* bus, const char* name, const char* owner,
                                gpointer self);
  static void OnWatcherVanished(GDBusConnection* bus, const char* name, gpointer self);
  static void OnRegistered(GObject* bus, GAsyncResult* result, gpointer self);
  void Emit(const char* signal, GVariant* parameters);
  // Writes the largest pixmap as a PNG file under a fresh name, removing the last one.
  void WriteIconFile();

  GDBusConnection* bus_;    // not owned
  std::string menu_path_;   // the dbusmenu object
  std::string id_;          // "com.quorv.Mindel"
  std::string title_;       // "Mindel"
  guint registration_ = 0;  // the exported object; 0 when exporting failed
  guint watch_ = 0;         // the watch on the watcher's name
  Watcher watcher_ = Watcher::kUnknown;
  bool registered_ = false;
  GCancellable* pending_ = nullptr;  // the registration call under way; owned
  StatusItemLook look_;              // what the panel was last told
  std::string icon_folder_;   // $XDG_RUNTIME_DIR/com.quorv.Mindel-<pid>; "" before the first icon
  std::string icon_name_;     // the icon file's name without ".png"; "" when none
  unsigned icon_serial_ = 0;  // every icon name is new, so hosts never show a cached picture
};
