// The graphical desktop's start, wait, screens and appearance.
#include "platform/graphical/graphical_desktop.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/appkit/status_bar.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/foundation/array.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/user_defaults.h"
#include "platform/graphical/appearance_watch.h"
#include "platform/graphical/application_service.h"
#include "platform/graphical/dbus_menu.h"
#include "platform/graphical/desktop_portal.h"
#include "platform/graphical/global_shortcuts.h"
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

bool IsWayland() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland && wayland[0];
}

// Tells the portals which application this is, as newer ones ask of programs that run outside
// a sandbox, before any other portal call; older portals answer an error, which is ignored.
void RegisterWithPortals(GDBusConnection* bus, const std::string& app_id) {
  g_dbus_connection_call(bus, kPortal, kPortalPath, "org.freedesktop.host.portal.Registry",
                         "Register", g_variant_new("(sa{sv})", app_id.c_str(), nullptr), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

// Takes the application's bus name. Another instance there ends this process; something else
// there leaves the actions off the bus (null).
std::unique_ptr<ApplicationService> ClaimApplicationName(GDBusConnection* bus) {
  auto service = std::make_unique<ApplicationService>(bus);
  unsigned owner = 0;
  switch (service->ClaimName(&owner)) {
    case ApplicationService::Claim::kOwned:
      return service;
    case ApplicationService::Claim::kAlreadyRunning:
      std::fprintf(stderr,
                   "mindel: Mindel is already running in this session (process %u); this one "
                   "ends and leaves it as it is\n",
                   owner);
      std::fflush(nullptr);
      std::_Exit(0);
    case ApplicationService::Claim::kTakenByOther:
      std::fprintf(stderr,
                   "mindel: another program (process %u) owns the name %s on the session bus, "
                   "so Mindel's actions are not offered there\n",
                   owner, service->BusName().c_str());
      return nullptr;
    case ApplicationService::Claim::kFailed:
      break;
  }
  std::fprintf(stderr,
               "mindel: the session bus refused the name %s, so Mindel's actions are not "
               "offered there\n",
               service->BusName().c_str());
  return nullptr;
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
  std::unique_ptr<ApplicationService> service = ClaimApplicationName(bus);
  return new GraphicalDesktop(bus, X11Display::Open(), std::move(service));
}

GraphicalDesktop::GraphicalDesktop(GDBusConnection* bus, X11Display* x11,
                                   std::unique_ptr<ApplicationService> service)
    : bus_(bus), x11_(x11), service_(std::move(service)), forced_dark_(ForcedAppearance()) {
  g_dbus_connection_set_exit_on_close(bus_, FALSE);
  g_signal_connect(bus_, "closed", G_CALLBACK(&OnBusClosed), this);
  gtk_ = std::make_unique<GtkBridge>();
  menu_ = std::make_unique<DbusMenu>(bus_);
  item_ = std::make_unique<StatusNotifierItem>(bus_, DbusMenu::kPath);
  RegisterWithPortals(bus_, item_->Id());
  appearance_ = std::make_unique<AppearanceWatch>(bus_, [this] {
    gtk_->SetDark(KnownDark());
    Refresh();
  });
  // Key grabs on the X server reach no other program in a Wayland session.
  if (IsWayland()) {
    shortcuts_ = std::make_unique<GlobalShortcuts>(
        bus_, [this] { Refresh(); }, [this] { UseKeyGrabs(); });
    shortcuts_->Serve();
  } else if (x11_) {
    x11_->ServeHotKeys();
  }
  PrefersDark();
}

void GraphicalDesktop::UseKeyGrabs() {
  if (!x11_) {
    SetHotKeyService(nullptr);
    std::fprintf(stderr,
                 "mindel: there is no X display for key grabs either, so the hot keys do "
                 "nothing; bind Mindel's actions to keys in the desktop's settings instead "
                 "(gapplication action com.quorv.Mindel enter-task)\n");
    return;
  }
  std::fprintf(stderr,
               "mindel: the hot keys are key grabs on the X server instead, which reach Mindel "
               "only while an X11 program has the keyboard; Mindel's actions can be bound to "
               "keys in the desktop's settings (gapplication action com.quorv.Mindel "
               "enter-task)\n");
  x11_->ServeHotKeys();
  // The keys registered so far were only asked of the portal.
  CarbonForEachHotKey(
      [](void* context, uint32_t code, uint32_t modifiers) {
        std::string trigger;
        if (!static_cast<X11Display*>(context)->GrabHotKey(code, modifiers) &&
            ShortcutTrigger(code, modifiers, &trigger)) {
          std::fprintf(stderr, "mindel: the hot key %s is held by another program\n",
                       trigger.c_str());
        }
      },
      x11_.get());
}

GraphicalDesktop::~GraphicalDesktop() {
  shortcuts_.reset();
  service_.reset();
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
  std::string status_line = MenuStatusLine(menu_->Root());
  if (shortcuts_) {
    shortcuts_->Sync();
    // What the portal bound, which the person may have changed from what was asked.
    const std::string bound = shortcuts_->BoundLines();
    if (!bound.empty()) status_line += (status_line.empty() ? "" : "\n") + bound;
  }
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
