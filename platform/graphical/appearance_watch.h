// The desktop's light or dark preference, followed live: the Settings portal's
// org.freedesktop.appearance color-scheme and its SettingChanged signal. The first answer
// comes asynchronously (the portal may start on demand), so start-up never waits for it.
#pragma once

#include <gio/gio.h>

#include <functional>

class AppearanceWatch {
 public:
  // Asks the portal on bus and subscribes to its changes; changed runs (inside the wait) when
  // the answer differs from what was known.
  AppearanceWatch(GDBusConnection* bus, std::function<void()> changed);
  ~AppearanceWatch();
  AppearanceWatch(const AppearanceWatch&) = delete;
  AppearanceWatch& operator=(const AppearanceWatch&) = delete;

  // 1 dark, 0 light, -1 not known (no portal, no answer yet, or "no preference").
  int Dark() const { return dark_; }

  // Takes a color-scheme value as the portal sends it (a uint32, possibly inside variants).
  void Take(GVariant* value);

 private:
  static void OnRead(GObject* bus, GAsyncResult* result, gpointer self);
  static void OnChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                        GVariant* parameters, gpointer self);

  GDBusConnection* bus_;           // not owned
  std::function<void()> changed_;  // told of every change
  guint subscription_ = 0;         // SettingChanged
  GCancellable* cancellable_;      // the first read; owned
  int dark_ = -1;
};
