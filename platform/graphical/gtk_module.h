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

// The kinds of views a window shows.
enum MindelGtkViewKind {
  kMindelGtkLabel = 0,     // text that is only read
  kMindelGtkField = 1,     // an editable one-line text field
  kMindelGtkShortcut = 2,  // a field that takes the next key combination pressed in it
  kMindelGtkButton = 3,    // a push button
  kMindelGtkCheckBox = 4,  // a check box with its title
  kMindelGtkPopUp = 5,     // a pop-up button: one choice among items
  kMindelGtkStepper = 6,   // up and down arrows
};

// One view of a window, in the window's content area.
struct MindelGtkView {
  int id;                   // the desktop's number for the view, handed back in events
  int kind;                 // a MindelGtkViewKind
  int x, y, width, height;  // points, from the content's top left corner
  const char* text;         // the title or the text shown, UTF-8
  int enabled;
  int hidden;
  int state;                 // a check box: 1 on, 0 off
  const char* const* items;  // a pop-up's item titles
  int item_count;
  int selected;          // the pop-up's chosen item; -1: none
  const char* tool_tip;  // or null
};

// A window and its views, as the desktop sees them before every wait.
struct MindelGtkWindow {
  const char* title;
  int x, y;           // the content's top left corner on the screen, in points
  int width, height;  // the content's size in points
  int floating;       // kept above normal windows
  const MindelGtkView* views;
  int view_count;
};

// One entry of the menu of a tray icon.
struct MindelGtkMenuEntry {
  int id;                   // handed back when chosen
  const char* label;        // plain text, UTF-8
  const char* accelerator;  // the key shown beside it, as "<Control><Alt>t"; "" for none
  int enabled;
  int visible;
  int separator;
};

// An icon in an X11 system tray (XEmbed), for panels that show no status notifier items.
struct MindelGtkTrayIcon {
  const uint8_t* rgba;  // size x size pixels, R G B A, straight alpha
  int size;
  const char* tool_tip;               // UTF-8; lines apart by "\n"
  const MindelGtkMenuEntry* entries;  // the menu a click opens
  int entry_count;
};

// What the module calls back. context is handed back unchanged.
struct MindelGtkHost {
  void* context;
  // The person pressed button index (or Escape, or closed the window: the cancel button).
  void (*alert_button)(void* context, int alert, int index);
  // The alert's text field now holds text (UTF-8).
  void (*alert_field_text)(void* context, int alert, const char* text);
  // A click on view (a button, a check box).
  void (*view_clicked)(void* context, int window, int view);
  // A field now holds text (UTF-8), as the person edited it.
  void (*view_text)(void* context, int window, int view, const char* text);
  // The person put the keyboard focus into view.
  void (*view_focused)(void* context, int window, int view);
  // The person chose item index of a pop-up.
  void (*view_chose)(void* context, int window, int view, int index);
  // A click on a stepper's up (1) or down (0) arrow.
  void (*view_stepped)(void* context, int window, int view, int up);
  // A key combination pressed in a shortcut field, as a key name ("ctrl+alt+t", "shift+f5").
  void (*key_pressed)(void* context, int window, const char* name);
  // The window's close box.
  void (*window_close)(void* context, int window);
  // The person chose the tray icon's menu entry id.
  void (*menu_chosen)(void* context, int id);
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
  // Shows window number window as described, making it or bringing it up to date.
  void (*show_window)(int window, const MindelGtkWindow* description);
  // Closes window number window (nothing for an unknown number).
  void (*hide_window)(int window);
  // Docks the icon in the system tray, or brings the docked one up to date.
  void (*show_tray_icon)(const MindelGtkTrayIcon* icon);
  // Takes the icon out of the tray.
  void (*hide_tray_icon)(void);
};

constexpr int kMindelGtkVersion = 3;

// The module's one exported symbol.
typedef const MindelGtkModule* (*MindelGtkEntry)(void);
#define MINDEL_GTK_ENTRY "MindelGtkModuleEntry"

}  // extern "C"
