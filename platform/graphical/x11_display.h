// The X display of the graphical desktop: its connection inside the GLib main loop, the
// screens (RandR monitors, in Cocoa's coordinates), and the global hot keys as key grabs on
// the root window (x11_hot_keys.cpp).
//
// A lost connection ends the process with code 0, as a session ending does: the settings are
// stored as they change, so nothing is lost.
#pragma once

#include <glib.h>

#include <cstdint>
#include <vector>

#include "platform/objc/geometry.h"

typedef struct _XDisplay Display;

class X11Display {
 public:
  // Opens the display named by DISPLAY; null when it is unset or cannot be opened.
  static X11Display* Open();
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  // Makes a lost connection end the process with code 0 again, after a library (GTK) put its
  // own handler in place: Xlib has one handler for all connections.
  void ClaimConnectionLoss();

  // True when an X11 system tray (XEmbed) runs on the default screen.
  bool HasSystemTray();

  // Handles the events Xlib has read already (they would not wake the main loop); answers
  // whether there were any.
  bool DispatchPending();

  // The monitors in points (pixels over GDK_SCALE), the primary first; Cocoa coordinates with
  // the origin at the lower left of the primary one.
  const std::vector<NSRect>& Screens() const { return screens_; }

  // --- Hot keys (x11_hot_keys.cpp) ---

  // Grabs the combination of a Mac virtual key code and Carbon modifiers on the root window,
  // with and without Caps Lock and Num Lock. False, with nothing grabbed, when the key is not
  // on the keyboard or another client holds the combination.
  bool GrabHotKey(uint32_t key_code, uint32_t carbon_modifiers);
  void UngrabHotKey(uint32_t key_code, uint32_t carbon_modifiers);
  // Installs the two calls above as the platform's hot-key service.
  void ServeHotKeys();

 private:
  explicit X11Display(Display* display);
  static gboolean OnReadable(gint fd, GIOCondition condition, gpointer self);
  void Handle(void* event);  // an XEvent
  void ReadScreens();
  void HandleKey(void* event);  // a KeyPress or KeyRelease (x11_hot_keys.cpp)

  // One grabbed combination.
  struct Grab {
    uint32_t key_code;         // Mac virtual key code
    uint32_t carbon;           // Carbon modifiers
    unsigned char x_keycode;   // the X key it became
    unsigned int x_modifiers;  // the X modifiers it became (Shift added where the key needs it)
  };

  Display* display_;                 // owned
  unsigned long root_;               // the root window of the default screen
  guint source_ = 0;                 // the connection's watch in the main loop
  int randr_event_base_ = -1;        // -1 without RandR
  unsigned int num_lock_mask_ = 0;   // the modifier Num Lock sets (Mod2 on most keyboards)
  std::vector<NSRect> screens_;      // as Screens() answers
  std::vector<Grab> grabs_;          // what is grabbed, in order
  std::vector<unsigned char> down_;  // grabbed keys held down (key repeat is not a press)
};
