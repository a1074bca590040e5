// The interface between the graphical desktop and its GTK module, a shared object of the
// bundle (Contents/Modules/gtk_windows.so, built from platform/modules/gtk_windows/) that the
// desktop loads with dlopen when the first alert or window opens, so that a Mindel that only sits
// in the panel never maps GTK.
//
// Plain C types only: the module knows nothing of the AppKit model. The desktop describes
// what to show; the module shows it with GTK and tells the desktop what the person did
// through the host's calls, always on the main thread, inside the desktop's wait (GTK runs
// on GLib's default main context, which the wait iterates).
#pragma once

#include <stdint.h>

extern "C" {

// An alert: a dialog with texts, an icon, an optional text field and buttons.
struct MindelGtkAlert {
  const char* message;         // the primary text, UTF-8
  const char* informative;     // the secondary text, UTF-8; "" for none
  const char* const* buttons;  // titles in the order they were added: the first is the
  int button_count;            // rightmost and the default (Return presses it)
  int cancel_button;           // the button Escape and the window's close box press; -1: none
  int has_field;               // a text field under the texts, with the focus
  const char* field_text;      // its text, all selected
  int field_width;             // its size in points
  int field_height;
  const uint8_t* icon_rgba;  // the icon's pixels (R G B A, straight), or null
  int icon_width;            // in pixels
  int icon_height;
  int icon_points;        // the size it is shown at, in points
  const char* icon_name;  // an icon of the theme (when icon_rgba is null), or null
  const char* title;      // the window's title
};

// What the module calls back. context is handed back unchanged.
struct MindelGtkHost {
  void* context;
  // The person pressed button index (or Escape, or closed the window: the cancel button).
  void (*alert_button)(void* context, int alert, int index);
  // The alert's text field now holds text (UTF-8).
  void (*alert_field_text)(void* context, int alert, const char* text);
};

struct MindelGtkModule {
  int version;  // kMindelGtkVersion
  // Starts GTK on the display; false when it cannot (the module then does nothing).
  int (*start)(const MindelGtkHost* host, int dark);
  // Follows the desktop's light or dark preference.
  void (*set_dark)(int dark);
  // Shows an alert above the other windows; answers its number (from 1), 0 on failure.
  int (*open_alert)(const MindelGtkAlert* alert);
  // Closes alert number alert (nothing for an unknown number).
  void (*close_alert)(int alert);
};

constexpr int kMindelGtkVersion = 1;

// The module's one exported symbol.
typedef const MindelGtkModule* (*MindelGtkEntry)(void);
#define MINDEL_GTK_ENTRY "MindelGtkModuleEntry"

}  // extern "C"
