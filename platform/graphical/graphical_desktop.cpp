// The graphical desktop's start, wait, screens and appearance.
#include "platform/graphical/graphical_desktop.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/appkit/status_bar.h"
#include "platform/foundation/array.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/user_defaults.h"
#include "platform/graphical/appearance_watch.h"
#include "platform/graphical/dbus_menu.h"
#include "platform/graphical/gtk_bridge.h"
#include "platform/graphical/status_notifier_item.h"
#include "platform/graphical/x11_display.h"

namespace {

// Template images are drawn in the panel's foreground colour.
constexpr uint32_t kLightPanelForeground = 0x000000;
constexpr uint32_t kDarkPanelForeground = 0xFFFFFF;

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the usual socket in
// XDG_RUNTIME_DIR. Never GLib's autolaunch, which would start a stray bus of its own.
std::string SessionBusAddress() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && address[0]) return address;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !runtime[0]) return "";
  const std::string socket = std::string(runtime) + "/bus";
  struct stat info;
  if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return "";
  return "unix:path=" + socket;
}

int ForcedAppearance() {
  const char* value = std::getenv("MINDEL_APPEARANCE");
  if (!value || !value[0]) return -1;
  const std::string text = value;
  if (text == "dark" || text == "Dark") return 1;
  if (text == "light" || text == "Light") return 0;
  std::fprintf(stderr, "mindel: MINDEL_APPEARANCE=\"%s\" is neither dark nor light; ignored\n",
               value);
  return -1;
}

gboolean StopWaiting(gpointer) {
  return G_SOURCE_REMOVE;
}

}  // namespace

// --- Start ---

GraphicalDesktop* GraphicalDesktop::Start() {
  const std::string address = SessionBusAddress();
  if (address.empty()) {
    std::fprintf(stderr,
                 "mindel: there is no session bus (DBUS_SESSION_BUS_ADDRESS is unset), so the "
                 "status item cannot be shown\n");
    return nullptr;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "mindel: the session bus cannot be reached: %s\n",
                 error ? error->message : "no reason given");
    g_clear_error(&error);
    return nullptr;
  }
  return new GraphicalDesktop(bus, X11Display::Open());
}

GraphicalDesktop::GraphicalDesktop(GDBusConnection* bus, X11Display* x11)
    : bus_(bus), x11_(x11), forced_dark_(ForcedAppearance()) {
  g_dbus_connection_set_exit_on_close(bus_, FALSE);
  g_signal_connect(bus_, "closed", G_CALLBACK(&OnBusClosed), this);
  gtk_ = std::make_unique<GtkBridge>();
  menu_ = std::make_unique<DbusMenu>(bus_);
  item_ = std::make_unique<StatusNotifierItem>(bus_, DbusMenu::kPath);
  appearance_ = std::make_unique<AppearanceWatch>(bus_, [this] {
    gtk_->SetDark(KnownDark());
    Refresh();
  });
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland && wayland[0]) {
    std::fprintf(stderr,
                 "mindel: global hot keys need an X11 session; in this Wayland session they "
                 "reach Mindel only while an X11 program has the keyboard\n");
  }
  if (x11_) x11_->ServeHotKeys();
  PrefersDark();
}

GraphicalDesktop::~GraphicalDesktop() {
  appearance_.reset();
  gtk_.reset();
  item_.reset();
  menu_.reset();
  x11_.reset();
  g_object_unref(bus_);
}

void GraphicalDesktop::OnBusClosed(GDBusConnection*, gboolean, GError*, gpointer) {
  // The session is over; the settings are stored as they change.
  std::fflush(nullptr);
  std::_Exit(0);
}

// --- Wait ---

void GraphicalDesktop::Wait(double deadline) {
  Refresh();
  gtk_->SyncWindows();
  gtk_->RunPending();
  if (x11_ && x11_->DispatchPending()) return;
  GSource* timer = nullptr;
  if (!ClockIsVirtual() && !std::isnan(deadline) && std::isfinite(deadline)) {
    // Real seconds: a fast clock reaches the deadline sooner.
    const double remaining = (deadline - ClockNow()) / ClockRate();
    if (remaining <= 0) return;
    // Rounded up, so the run loop never finds its deadline a hair ahead and waits again.
    const double milliseconds = std::ceil(std::min(remaining, 1e8) * 1000);
    timer = g_timeout_source_new(static_cast<guint>(milliseconds));
    g_source_set_callback(timer, &StopWaiting, nullptr, nullptr);
    g_source_attach(timer, nullptr);
  }
  g_main_context_iteration(nullptr, TRUE);
  if (timer) {
    g_source_destroy(timer);
    g_source_unref(timer);
  }
}

void GraphicalDesktop::WindowShown(id window) {
  gtk_->WindowShown(window, KnownDark());
  if (x11_) x11_->ClaimConnectionLoss();
}

void GraphicalDesktop::WindowHidden(id window) {
  gtk_->WindowHidden(window);
}

void GraphicalDesktop::AlertStarted(id alert) {
  gtk_->AlertStarted(alert, KnownDark());
  // GTK, started for the first alert, sets Xlib's handler of lost connections to its own.
  if (x11_) x11_->ClaimConnectionLoss();
}

void GraphicalDesktop::AlertEnded(id alert) {
  gtk_->AlertEnded(alert);
}

void GraphicalDesktop::StatusItemChanged(id) {
  // Nothing to do now: the next wait brings the panel up to date, once for every change.
}

void GraphicalDesktop::Refresh() {
  objc::AutoreleasePool pool;
  id item = nil;
  for (id candidate : foundation::ArrayItems(StatusBarItems())) {
    item = candidate;
    break;
  }
  menu_->Refresh(item ? objc::Send(item, "menu") : nil);
  const std::string status_line = MenuStatusLine(menu_->Root());
  item_->Refresh(item, status_line, KnownDark() ? kDarkPanelForeground : kLightPanelForeground);

  // Without a panel that shows status items, an X11 system tray (XEmbed) can show the icon.
  const bool no_panel = item_->WatcherState() == StatusNotifierItem::Watcher::kAbsent;
  const bool tray = no_panel && x11_ && x11_->HasSystemTray();
  if (no_panel && !said_no_panel_) {
    said_no_panel_ = true;
    std::fprintf(stderr,
                 tray ? "mindel: no panel shows status items here (no StatusNotifierWatcher on "
                        "the session bus); the icon docks in the X11 system tray instead\n"
                      : "mindel: no panel shows status items here (no StatusNotifierWatcher on "
                        "the session bus); Mindel keeps running, its hot keys still work, and "
                        "its item appears when a panel starts\n");
  }
  const StatusItemLook& look = item_->Look();
  if (tray && item && !look.icon.empty()) {
    const std::string tip = look.tooltip_title + (status_line.empty() ? "" : "\n" + status_line);
    gtk_->ShowTrayIcon(look.icon.back(), tip, menu_->Root(), KnownDark(),
                       [this](int32_t number) { menu_->Choose(number); });
  } else {
    gtk_->HideTrayIcon();
  }
}

// --- Screens and appearance ---

int GraphicalDesktop::ScreenCount() {
  return x11_ ? static_cast<int>(x11_->Screens().size()) : 1;
}

NSRect GraphicalDesktop::ScreenFrame(int index) {
  if (!x11_) return index == 0 ? NSRect{{0, 0}, {1920, 1080}} : NSRect{};
  const auto& screens = x11_->Screens();
  if (index < 0 || static_cast<size_t>(index) >= screens.size()) return NSRect{};
  return screens[static_cast<size_t>(index)];
}

bool GraphicalDesktop::PrefersDark() {
  files_dark_ = foundation::DesktopInterfaceStyle(foundation::HomeFolder()) == u"Dark";
  return KnownDark();
}

bool GraphicalDesktop::KnownDark() const {
  if (forced_dark_ >= 0) return forced_dark_ == 1;
  const int portal = appearance_ ? appearance_->Dark() : -1;
  return portal >= 0 ? portal == 1 : files_dark_;
}
