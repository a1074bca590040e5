// The graphical desktop: the AppKit model on a real Linux desktop. The status item is a
// StatusNotifierItem with a dbusmenu menu on the session bus; the application owns its bus
// name there (one instance per session) and offers its actions; global hot keys are key grabs
// on the X server, or on Wayland shortcuts of the GlobalShortcuts portal; screens come from
// the display server and the appearance from the Settings portal (else the desktop's files).
// The wait runs the GLib main loop until input or the deadline, so an idle Mindel makes no
// wake-ups.
#pragma once

#include <gio/gio.h>

#include <memory>

#include "platform/desktop/desktop.h"

class AppearanceWatch;
class ApplicationService;
class GlobalShortcuts;
class GtkBridge;
class DbusMenu;
class StatusNotifierItem;
class X11Display;

class GraphicalDesktop : public Desktop {
 public:
  // Connects to the session bus and the display; null, having said why on standard error,
  // when there is no session bus to show the item on. Ends the process with code 0, having
  // said so, when the application already runs in this session.
  static GraphicalDesktop* Start();
  ~GraphicalDesktop() override;

  // Brings the panel up to date with the model, then runs the main loop once: until a source
  // dispatches (a bus message, an X event, a change of appearance) or deadline passes.
  void Wait(double deadline) override;
  int ScreenCount() override;
  NSRect ScreenFrame(int index) override;
  // The portal's answer when there is one, else the desktop's files, read afresh.
  bool PrefersDark() override;

  void StatusItemChanged(id item) override;
  void WindowShown(id window) override;
  void WindowHidden(id window) override;
  void AlertStarted(id alert) override;
  void AlertEnded(id alert) override;

  // Brings the status item and its menu on the bus up to date with the model now.
  void Refresh();

 private:
  GraphicalDesktop(GDBusConnection* bus, X11Display* x11,
                   std::unique_ptr<ApplicationService> service);
  // The portal has no global shortcuts for us: key grabs serve the hot keys instead.
  void UseKeyGrabs();
  // The appearance as known without reading files: for the panel's foreground at every wait.
  bool KnownDark() const;
  static void OnBusClosed(GDBusConnection* bus, gboolean remote_peer_vanished, GError* error,
                          gpointer self);

  GDBusConnection* bus_;                         // the session bus; owned
  std::unique_ptr<X11Display> x11_;              // null without an X display
  std::unique_ptr<DbusMenu> menu_;               // the status item's menu
  std::unique_ptr<StatusNotifierItem> item_;     // the status item
  std::unique_ptr<AppearanceWatch> appearance_;  // the portal's colour scheme
  std::unique_ptr<GtkBridge> gtk_;               // alerts, shown through the GTK module
  std::unique_ptr<ApplicationService> service_;  // the bus name and actions; null without them
  std::unique_ptr<GlobalShortcuts> shortcuts_;   // the hot keys on Wayland; null on X11
  int forced_dark_ = -1;                         // MINDEL_APPEARANCE: 1 dark, 0 light, -1 unset
  bool said_no_panel_ = false;  // the missing panel has been said on standard error
  bool files_dark_ = false;     // what the desktop's files said when PrefersDark last read them
};
