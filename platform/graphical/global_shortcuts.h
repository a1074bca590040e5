// Global hot keys through the GlobalShortcuts portal, where key grabs on the X server reach no
// other program (Wayland sessions). One portal session per run; the registered hot keys are
// bound in one BindShortcuts request, each under the name of the action it performs
// ("enter-task") with the action's title as its description and the combination as its
// preferred trigger ("CTRL+ALT+t"). The desktop may let the person change or decline a
// combination: what it reports as bound is what BoundLines names. An Activated signal of this
// session presses the hot key inside the wait, as an X11 grab does.
//
// Registration succeeds as soon as the request can be made; a shortcut the portal did not
// bind is said once on standard error. A missing portal, or one that refuses the session,
// is reported through `unavailable`, and the desktop falls back to key grabs.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The trigger of a hot key in the shortcut syntax of desktop portals: modifiers CTRL, ALT,
// SHIFT and LOGO (command), then the key's keysym name, joined by "+" ("CTRL+ALT+slash").
// False for a key code with no keysym.
bool ShortcutTrigger(uint32_t key_code, uint32_t carbon_modifiers, std::string* trigger);

// One shortcut as asked of the portal, or as it reports it bound.
struct PortalShortcut {
  std::string id;           // the action's name, or "hot-key-CODE-MODIFIERS" without one
  std::string description;  // the action's title
  std::string trigger;      // asked: the preferred trigger; bound: the portal's description
  bool operator==(const PortalShortcut&) const = default;
};

// The shortcuts the registered hot keys ask for, in registration order.
std::vector<PortalShortcut> WantedShortcuts();

class GlobalShortcuts {
 public:
  // changed: what is bound changed (the status item's tooltip names it); unavailable: there
  // is no portal, it refused the session, or it went away before one was made.
  GlobalShortcuts(GDBusConnection* bus, std::function<void()> changed,
                  std::function<void()> unavailable);
  ~GlobalShortcuts();
  GlobalShortcuts(const GlobalShortcuts&) = delete;
  GlobalShortcuts& operator=(const GlobalShortcuts&) = delete;

  // Installs the hot-key service that binds through the portal.
  void Serve();
  // Asks the portal to bind the registered hot keys when they changed since the last request.
  void Sync();
  // One "Enter Task: Ctrl+Alt+T" line per shortcut the portal reports bound; "" for none.
  std::string BoundLines() const;

 private:
  enum class State { kCreating, kReady, kLost, kUnavailable };

  // Calls method of the portal with a request handle token, and routes the request's
  // Response to on_response.
  void Request(const char* method, GVariant* parameters,
               void (GlobalShortcuts::*on_response)(uint32_t code, GVariant* results));
  void CreateSession();
  void Created(uint32_t code, GVariant* results);
  void Bound(uint32_t code, GVariant* results);
  void TakeBound(GVariant* shortcuts);  // a(sa{sv})
  void GiveUp(const char* why);
  void Activated(const char* shortcut_id);

  static void OnCallDone(GObject* bus, GAsyncResult* result, gpointer pending);
  static void OnResponse(GDBusConnection* bus, const char* sender, const char* path,
                         const char* interface, const char* signal, GVariant* parameters,
                         gpointer pending);
  static void OnSignal(GDBusConnection* bus, const char* sender, const char* path,
                       const char* interface, const char* signal, GVariant* parameters,
                       gpointer self);
  static void OnPortalVanished(GDBusConnection* bus, const char* name, gpointer self);
  static void OnPortalAppeared(GDBusConnection* bus, const char* name, const char* owner,
                               gpointer self);

  struct Pending;  // one request waiting for its Response

  GDBusConnection* bus_;               // borrowed
  std::function<void()> changed_;      // see the constructor
  std::function<void()> unavailable_;  // see the constructor
  GCancellable* cancellable_;          // cancels calls under way at destruction; owned
  std::vector<Pending*> pending_;      // requests waiting for a Response; owned
  State state_ = State::kCreating;
  std::string session_;                    // the session's object path once made
  bool binding_ = false;                   // a BindShortcuts request is under way
  std::vector<PortalShortcut> asked_;      // what the last BindShortcuts asked for
  std::vector<PortalShortcut> bound_;      // what the portal reports bound
  std::vector<std::string> said_unbound_;  // ids said on standard error as not bound
  unsigned token_ = 0;                     // makes request handle tokens unique
  guint signals_ = 0;                      // subscription to the portal's GlobalShortcuts signals
  guint watch_ = 0;                        // watch of the portal's name
};
