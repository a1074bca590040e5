// The Settings portal's color-scheme.
#include "platform/graphical/appearance_watch.h"

#include <cstdint>

#include "platform/graphical/desktop_portal.h"

namespace {

constexpr const char kSettings[] = "org.freedesktop.portal.Settings";
constexpr const char kNamespace[] = "org.freedesktop.appearance";
constexpr const char kKey[] = "color-scheme";

}  // namespace

AppearanceWatch::AppearanceWatch(GDBusConnection* bus, std::function<void()> changed)
    : bus_(bus), changed_(std::move(changed)), cancellable_(g_cancellable_new()) {
  subscription_ = g_dbus_connection_signal_subscribe(
      bus_, kPortal, kSettings, "SettingChanged", kPortalPath, kNamespace, G_DBUS_SIGNAL_FLAGS_NONE,
      &OnChanged, this, nullptr);
  g_dbus_connection_call(bus_, kPortal, kPortalPath, kSettings, "Read",
                         g_variant_new("(ss)", kNamespace, kKey), G_VARIANT_TYPE("(v)"),
                         G_DBUS_CALL_FLAGS_NONE, -1, cancellable_, &OnRead, this);
}

AppearanceWatch::~AppearanceWatch() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  if (subscription_) g_dbus_connection_signal_unsubscribe(bus_, subscription_);
}

void AppearanceWatch::OnRead(GObject* bus, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (!reply) {
    // No portal, or cancelled (data may be gone then): the files tell instead.
    g_error_free(error);
    return;
  }
  GVariant* value = g_variant_get_child_value(reply, 0);
  static_cast<AppearanceWatch*>(data)->Take(value);
  g_variant_unref(value);
  g_variant_unref(reply);
}

void AppearanceWatch::OnChanged(GDBusConnection*, const char*, const char*, const char*,
                                const char*, GVariant* parameters, gpointer data) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
  const char* name_space;
  const char* key;
  GVariant* value;
  g_variant_get(parameters, "(&s&sv)", &name_space, &key, &value);
  if (g_strcmp0(name_space, kNamespace) == 0 && g_strcmp0(key, kKey) == 0) {
    static_cast<AppearanceWatch*>(data)->Take(value);
  }
  g_variant_unref(value);
}

void AppearanceWatch::Take(GVariant* value) {
  // Version 1 of the portal answers Read with the value inside one more variant.
  GVariant* inner = g_variant_ref(value);
  for (int depth = 0; depth < 4 && g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT); ++depth) {
    GVariant* next = g_variant_get_variant(inner);
    g_variant_unref(inner);
    inner = next;
  }
  int dark = -1;
  if (g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32)) {
    const uint32_t scheme = g_variant_get_uint32(inner);
    dark = scheme == 1 ? 1 : scheme == 2 ? 0 : -1;
  }
  g_variant_unref(inner);
  if (dark == dark_) return;
  dark_ = dark;
  if (changed_) changed_();
}
