// Global hot keys through the GlobalShortcuts portal.
//
//   --- Triggers ---   the shortcut syntax, and what the registered hot keys ask for
//   --- Requests ---   portal calls whose answer comes later as a Response signal
//   --- Session ---    CreateSession, BindShortcuts, the portal's signals, its going away
#include "platform/graphical/global_shortcuts.h"

#include <algorithm>
#include <cstdio>

#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/graphical/desktop_portal.h"
#include "platform/graphical/keysyms.h"
#include "platform/objc/objc.h"

namespace {

constexpr const char kShortcuts[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char kRequest[] = "org.freedesktop.portal.Request";

// The id a hot key is bound under: its action's name, else one made of the combination.
std::string ShortcutId(uint32_t key_code, uint32_t carbon_modifiers) {
  if (const char* action = CarbonHotKeyAction(key_code, carbon_modifiers)) return action;
  return "hot-key-" + std::to_string(key_code) + "-" + std::to_string(carbon_modifiers);
}

// A string value of a vardict, whether sent as a string or an object path; "" when missing.
std::string VardictString(GVariant* dict, const char* key) {
  std::string text;
  GVariant* value = g_variant_lookup_value(dict, key, nullptr);
  if (!value) return text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
      g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)) {
    text = g_variant_get_string(value, nullptr);
  }
  g_variant_unref(value);
  return text;
}

// The request handle path a call with token gets: the caller's unique name without its colon,
// dots turned into underscores.
std::string RequestPath(GDBusConnection* bus, const std::string& token) {
  const char* unique = g_dbus_connection_get_unique_name(bus);
  std::string sender = unique ? unique : "";
  if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
  std::replace(sender.begin(), sender.end(), '.', '_');
  return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

}  // namespace

// --- Triggers ---

bool ShortcutTrigger(uint32_t key_code, uint32_t carbon_modifiers, std::string* trigger) {
  char16_t character;
  Keysym keysym;
  if (key_code > 127 || !KeyCodeCharacter(static_cast<uint16_t>(key_code), &character) ||
      !KeysymForCharacter(character, &keysym)) {
    return false;
  }
  std::string text;
  if (carbon_modifiers & kCarbonControl) text += "CTRL+";
  if (carbon_modifiers & kCarbonOption) text += "ALT+";
  if (carbon_modifiers & kCarbonShift) text += "SHIFT+";
  if (carbon_modifiers & kCarbonCommand) text += "LOGO+";
  *trigger = text + keysym.name;
  return true;
}

std::vector<PortalShortcut> WantedShortcuts() {
  std::vector<PortalShortcut> wanted;
  CarbonForEachHotKey(
      [](void* context, uint32_t code, uint32_t modifiers) {
        PortalShortcut shortcut;
        if (!ShortcutTrigger(code, modifiers, &shortcut.trigger)) return;
        shortcut.id = ShortcutId(code, modifiers);
        const char* action = CarbonHotKeyAction(code, modifiers);
        const char* title = action ? CarbonActionTitle(action) : nullptr;
        shortcut.description = title ? title : "Hot key";
        static_cast<std::vector<PortalShortcut>*>(context)->push_back(shortcut);
      },
      &wanted);
  return wanted;
}

// --- Requests ---

// A request of the portal: its call is answered with the request's handle at once, and its
// result comes later as the Response signal on that handle. It is freed once both have come,
// or once its call has come back and the portal went away.
struct GlobalShortcuts::Pending {
  GlobalShortcuts* owner;
  std::string path;  // the request handle whose Response is awaited
  void (GlobalShortcuts::*on_response)(uint32_t code, GVariant* results);
  guint subscription = 0;  // of the Response signal on path
  bool call_done = false;  // the method call has been answered
  bool finished = false;   // the Response came, or the portal went away

  void Subscribe(GDBusConnection* bus) {
    if (subscription) g_dbus_connection_signal_unsubscribe(bus, subscription);
    subscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, kRequest, "Response", path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        &OnResponse, this, nullptr);
  }
  void Finish(GDBusConnection* bus) {
    finished = true;
    if (subscription) g_dbus_connection_signal_unsubscribe(bus, subscription);
    subscription = 0;
  }
};

void GlobalShortcuts::Request(const char* method, GVariant* parameters,
                              void (GlobalShortcuts::*on_response)(uint32_t, GVariant*)) {
  // The handle follows from the handle_token the caller put in the options, the last argument.
  auto* pending = new Pending{this, "", on_response};
  GVariant* options = g_variant_get_child_value(parameters, g_variant_n_children(parameters) - 1);
  pending->path = RequestPath(bus_, VardictString(options, "handle_token"));
  g_variant_unref(options);
  pending->Subscribe(bus_);  // before the call, so that no Response can come first
  pending_.push_back(pending);
  g_dbus_connection_call(bus_, kPortal, kPortalPath, kShortcuts, method, parameters,
                         G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, cancellable_,
                         &OnCallDone, pending);
}

void GlobalShortcuts::OnCallDone(GObject* bus, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (!reply && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);  // the owner is gone, and has freed the request
    return;
  }
  auto* pending = static_cast<Pending*>(data);
  GlobalShortcuts* self = pending->owner;
  pending->call_done = true;
  if (!reply) {
    const std::string message = error->message;
    g_error_free(error);
    if (!pending->finished) {
      pending->Finish(self->bus_);
      if (pending->on_response == &GlobalShortcuts::Created) {
        self->GiveUp(("the desktop offers no global shortcuts (" + message + ")").c_str());
      } else {
        self->binding_ = false;
        std::fprintf(stderr, "mindel: the desktop refused to bind the hot keys: %s\n",
                     message.c_str());
      }
    }
  } else {
    const char* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    // Portals before version 0.9 made up handles of their own.
    if (!pending->finished && pending->path != handle) {
      pending->path = handle;
      pending->Subscribe(self->bus_);
    }
    g_variant_unref(reply);
  }
  if (pending->finished) {
    std::erase(self->pending_, pending);
    delete pending;
  }
}

void GlobalShortcuts::OnResponse(GDBusConnection*, const char*, const char*, const char*,
                                 const char*, GVariant* parameters, gpointer data) {
  auto* pending = static_cast<Pending*>(data);
  GlobalShortcuts* self = pending->owner;
  if (pending->finished || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
  pending->Finish(self->bus_);
  const auto on_response = pending->on_response;
  if (pending->call_done) {
    std::erase(self->pending_, pending);
    delete pending;
  }
  uint32_t code = 0;
  GVariant* results = nullptr;
  g_variant_get(parameters, "(u@a{sv})", &code, &results);
  (self->*on_response)(code, results);
  g_variant_unref(results);
}

// --- Session ---

GlobalShortcuts::GlobalShortcuts(GDBusConnection* bus, std::function<void()> changed,
                                 std::function<void()> unavailable)
    : bus_(bus),
      changed_(std::move(changed)),
      unavailable_(std::move(unavailable)),
      cancellable_(g_cancellable_new()) {
  signals_ =
      g_dbus_connection_signal_subscribe(bus_, nullptr, kShortcuts, nullptr, kPortalPath, nullptr,
                                         G_DBUS_SIGNAL_FLAGS_NONE, &OnSignal, this, nullptr);
  watch_ = g_bus_watch_name_on_connection(bus_, kPortal, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          &OnPortalAppeared, &OnPortalVanished, this, nullptr);
  CreateSession();
}

GlobalShortcuts::~GlobalShortcuts() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  for (Pending* pending : pending_) {
    if (pending->subscription) g_dbus_connection_signal_unsubscribe(bus_, pending->subscription);
    delete pending;
  }
  if (signals_) g_dbus_connection_signal_unsubscribe(bus_, signals_);
  if (watch_) g_bus_unwatch_name(watch_);
  if (!session_.empty()) {
    g_dbus_connection_call(bus_, kPortal, session_.c_str(), "org.freedesktop.portal.Session",
                           "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
                           nullptr, nullptr);
  }
}

void GlobalShortcuts::Serve() {
  static HotKeyService service;
  // Any key with a keysym can be asked for; whether the desktop binds it is known later.
  service.grab = [](void*, uint32_t code, uint32_t modifiers) {
    std::string trigger;
    return ShortcutTrigger(code, modifiers, &trigger);
  };
  service.release = [](void*, uint32_t, uint32_t) {};  // the next Sync binds without it
  service.context = this;
  SetHotKeyService(&service);
}

void GlobalShortcuts::CreateSession() {
  state_ = State::kCreating;
  const std::string token = "mindel" + std::to_string(++token_);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  g_variant_builder_add(&options, "{sv}", "session_handle_token",
                        g_variant_new_string(token.c_str()));
  Request("CreateSession", g_variant_new("(a{sv})", &options), &GlobalShortcuts::Created);
}

void GlobalShortcuts::Created(uint32_t code, GVariant* results) {
  if (state_ != State::kCreating) return;
  const std::string session = VardictString(results, "session_handle");
  if (code != 0 || session.empty()) {
    GiveUp(code == 1   ? "global shortcuts were declined on the desktop"
           : code == 0 ? "the desktop's global shortcuts portal made no session"
                       : "the desktop's global shortcuts portal refused a session");
    return;
  }
  session_ = session;
  state_ = State::kReady;
  asked_.clear();
  binding_ = false;
  Sync();
}

void GlobalShortcuts::Sync() {
  if (state_ != State::kReady || binding_) return;
  std::vector<PortalShortcut> wanted = WantedShortcuts();
  if (wanted == asked_) return;
  asked_ = std::move(wanted);
  binding_ = true;
  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  for (const PortalShortcut& shortcut : asked_) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string(shortcut.description.c_str()));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(shortcut.trigger.c_str()));
    g_variant_builder_add(&shortcuts, "(sa{sv})", shortcut.id.c_str(), &properties);
  }
  const std::string token = "mindel" + std::to_string(++token_);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  Request("BindShortcuts",
          g_variant_new("(oa(sa{sv})sa{sv})", session_.c_str(), &shortcuts, "", &options),
          &GlobalShortcuts::Bound);
}

void GlobalShortcuts::Bound(uint32_t code, GVariant* results) {
  binding_ = false;
  if (state_ != State::kReady) return;
  if (code == 0) {
    GVariant* shortcuts = g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"));
    bound_.clear();
    if (shortcuts) {
      TakeBound(shortcuts);
      g_variant_unref(shortcuts);
    }
  } else {
    bound_.clear();
  }
  for (const PortalShortcut& shortcut : asked_) {
    const bool bound = std::any_of(bound_.begin(), bound_.end(),
                                   [&](const PortalShortcut& b) { return b.id == shortcut.id; });
    const bool said =
        std::find(said_unbound_.begin(), said_unbound_.end(), shortcut.id) != said_unbound_.end();
    if (bound || said) continue;
    said_unbound_.push_back(shortcut.id);
    std::fprintf(stderr,
                 "mindel: the desktop did not bind the hot key %s (%s) as a global shortcut\n",
                 shortcut.trigger.c_str(), shortcut.description.c_str());
  }
  if (changed_) changed_();
}

void GlobalShortcuts::TakeBound(GVariant* shortcuts) {
  bound_.clear();
  GVariantIter iter;
  g_variant_iter_init(&iter, shortcuts);
  const char* id = nullptr;
  GVariant* properties = nullptr;
  while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
    PortalShortcut shortcut{id, VardictString(properties, "description"),
                            VardictString(properties, "trigger_description")};
    g_variant_unref(properties);
    for (const PortalShortcut& asked : asked_) {
      if (asked.id == shortcut.id) shortcut.description = asked.description;
    }
    bound_.push_back(std::move(shortcut));
  }
}

std::string GlobalShortcuts::BoundLines() const {
  std::string lines;
  for (const PortalShortcut& shortcut : bound_) {
    if (shortcut.trigger.empty()) continue;
    if (!lines.empty()) lines += "\n";
    lines += shortcut.description + ": " + shortcut.trigger;
  }
  return lines;
}

void GlobalShortcuts::GiveUp(const char* why) {
  if (state_ == State::kUnavailable) return;
  state_ = State::kUnavailable;
  std::fprintf(stderr, "mindel: %s\n", why);
  if (unavailable_) unavailable_();
}

void GlobalShortcuts::Activated(const char* shortcut_id) {
  struct Search {
    const char* id;
    bool found = false;
    uint32_t code = 0, modifiers = 0;
  } search{shortcut_id};
  CarbonForEachHotKey(
      [](void* context, uint32_t code, uint32_t modifiers) {
        auto* s = static_cast<Search*>(context);
        if (!s->found && ShortcutId(code, modifiers) == s->id) *s = {s->id, true, code, modifiers};
      },
      &search);
  if (!search.found) return;  // not one of this run's hot keys (any more)
  objc::AutoreleasePool pool;
  CarbonPressHotKey(search.code, search.modifiers);
}

void GlobalShortcuts::OnSignal(GDBusConnection*, const char*, const char*, const char*,
                               const char* signal, GVariant* parameters, gpointer data) {
  auto* self = static_cast<GlobalShortcuts*>(data);
  if (self->state_ != State::kReady) return;
  if (g_strcmp0(signal, "Activated") == 0 &&
      g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) {
    const char* session = nullptr;
    const char* id = nullptr;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
    if (self->session_ == session) self->Activated(id);
  } else if (g_strcmp0(signal, "ShortcutsChanged") == 0 &&
             g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa(sa{sv}))"))) {
    const char* session = nullptr;
    GVariant* shortcuts = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv}))", &session, &shortcuts);
    if (self->session_ == session) {
      self->TakeBound(shortcuts);
      if (self->changed_) self->changed_();
    }
    g_variant_unref(shortcuts);
  }
}

void GlobalShortcuts::OnPortalVanished(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<GlobalShortcuts*>(data);
  // Requests under way get no Response from a portal that is gone.
  for (auto it = self->pending_.begin(); it != self->pending_.end();) {
    Pending* pending = *it;
    if (pending->call_done) {
      if (pending->subscription)
        g_dbus_connection_signal_unsubscribe(self->bus_, pending->subscription);
      delete pending;
      it = self->pending_.erase(it);
    } else {
      ++it;  // its call is answered with an error, or by a portal started for it
    }
  }
  if (self->state_ == State::kReady) {
    self->state_ = State::kLost;
    self->session_.clear();
    self->bound_.clear();
    self->binding_ = false;
    std::fprintf(stderr,
                 "mindel: the global shortcuts portal went away; the hot keys are bound again "
                 "when it is back\n");
    if (self->changed_) self->changed_();
  } else if (self->state_ == State::kCreating && self->pending_.empty()) {
    self->GiveUp("the global shortcuts portal went away before it made a session");
  }
}

void GlobalShortcuts::OnPortalAppeared(GDBusConnection*, const char*, const char*, gpointer data) {
  auto* self = static_cast<GlobalShortcuts*>(data);
  if (self->state_ == State::kLost) self->CreateSession();
}
