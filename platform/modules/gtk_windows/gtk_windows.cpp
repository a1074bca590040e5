// The graphical desktop's GTK module: alerts as GTK 3 dialogs, windows with their views as GTK
// windows of the same size with a widget at each view's frame, and the status item as an X11
// system tray icon where no panel shows status notifier items. Loaded on demand with dlopen;
// its only export is MindelGtkModuleEntry (see platform/graphical/gtk_module.h).
//
// Index: state, alerts, windows, the tray icon, the module's table.
#include <gtk/gtk.h>

#include <map>
#include <string>
#include <vector>

#include "platform/graphical/gtk_module.h"

namespace {

// --- State ---

const MindelGtkHost* gHost = nullptr;  // the desktop's calls; set by Start
bool gStarted = false;                 // GTK is initialised on the display

// One open alert.
struct AlertWidgets {
  GtkWidget* dialog;    // owned (destroyed by Close)
  int cancel_button;    // the button Escape and the close box press; -1: none
  GtkWidget* previous;  // the window that had the keyboard before it opened (a weak pointer)
};
std::map<int, AlertWidgets> gAlerts;
int gNextAlert = 1;

// --- Alerts ---

// Asks for the keyboard again once the window is on screen: without a window manager the
// first request, made before the window was mapped, goes nowhere.
gboolean FocusWhenMapped(GtkWidget* window, GdkEvent*, gpointer) {
  gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
  return FALSE;
}

void Answer(int alert, int index) {
  auto found = gAlerts.find(alert);
  if (found == gAlerts.end() || index < 0) return;
  gHost->alert_button(gHost->context, alert, index);
}

void OnResponse(GtkDialog*, gint response, gpointer data) {
  const int alert = GPOINTER_TO_INT(data);
  if (response >= 0) Answer(alert, response);
}

// Escape: only a "Cancel" button answers it.
void OnClose(GtkDialog* dialog, gpointer data) {
  g_signal_stop_emission_by_name(dialog, "close");
  const int alert = GPOINTER_TO_INT(data);
  auto found = gAlerts.find(alert);
  if (found != gAlerts.end() && found->second.cancel_button >= 0) {
    Answer(alert, found->second.cancel_button);
  }
}

// The window manager's close box answers like Cancel (or the only button); the dialog stays
// until the desktop closes it.
gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  const int alert = GPOINTER_TO_INT(data);
  auto found = gAlerts.find(alert);
  if (found != gAlerts.end()) {
    Answer(alert, found->second.cancel_button >= 0 ? found->second.cancel_button : 0);
  }
  return TRUE;
}

void OnFieldChanged(GtkEditable* editable, gpointer data) {
  gHost->alert_field_text(gHost->context, GPOINTER_TO_INT(data),
                          gtk_entry_get_text(GTK_ENTRY(editable)));
}

GtkWidget* AlertIcon(const MindelGtkAlert& spec, int scale) {
  const int points = spec.icon_points > 0 ? spec.icon_points : 64;
  if (spec.icon_rgba && spec.icon_width > 0 && spec.icon_height > 0) {
    GBytes* bytes = g_bytes_new(spec.icon_rgba, static_cast<gsize>(spec.icon_width) *
                                                    static_cast<gsize>(spec.icon_height) * 4);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(
        bytes, GDK_COLORSPACE_RGB, TRUE, 8, spec.icon_width, spec.icon_height, spec.icon_width * 4);
    g_bytes_unref(bytes);
    GdkPixbuf* sized =
        gdk_pixbuf_scale_simple(pixbuf, points * scale, points * scale, GDK_INTERP_HYPER);
    g_object_unref(pixbuf);
    cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(sized, scale, nullptr);
    g_object_unref(sized);
    GtkWidget* image = gtk_image_new_from_surface(surface);
    cairo_surface_destroy(surface);
    return image;
  }
  if (spec.icon_name) {
    GtkWidget* image = gtk_image_new_from_icon_name(spec.icon_name, GTK_ICON_SIZE_DIALOG);
    gtk_image_set_pixel_size(GTK_IMAGE(image), points);
    return image;
  }
  return nullptr;
}

GtkWidget* WrappedLabel(const char* text, bool primary) {
  GtkWidget* label = gtk_label_new(nullptr);
  if (primary) {
    char* markup = g_markup_printf_escaped("<b>%s</b>", text);
    gtk_label_set_markup(GTK_LABEL(label), markup);
    g_free(markup);
  } else {
    gtk_label_set_text(GTK_LABEL(label), text);
  }
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_selectable(GTK_LABEL(label), FALSE);
  return label;
}

// The window of this process that has the keyboard, or null.
GtkWidget* ActiveWindow() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* active = nullptr;
  for (GList* node = windows; node; node = node->next) {
    if (gtk_window_is_active(GTK_WINDOW(node->data))) active = GTK_WIDGET(node->data);
  }
  g_list_free(windows);
  return active;
}

int OpenAlert(const MindelGtkAlert* spec) {
  if (!gStarted || !spec) return 0;
  const int alert = gNextAlert++;
  GtkWidget* previous = ActiveWindow();
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), spec->title ? spec->title : "");
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_type_hint(GTK_WINDOW(dialog), GDK_WINDOW_TYPE_HINT_DIALOG);
  // Screen readers announce it as an alert, as a message dialog would be.
  atk_object_set_role(gtk_widget_get_accessible(dialog), ATK_ROLE_ALERT);

  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
  gtk_container_set_border_width(GTK_CONTAINER(row), 16);
  if (GtkWidget* icon = AlertIcon(*spec, gtk_widget_get_scale_factor(dialog))) {
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
  }
  GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_box_pack_start(GTK_BOX(texts), WrappedLabel(spec->message ? spec->message : "", true), FALSE,
                     FALSE, 0);
  if (spec->informative && spec->informative[0]) {
    gtk_box_pack_start(GTK_BOX(texts), WrappedLabel(spec->informative, false), FALSE, FALSE, 0);
  }
  GtkWidget* field = nullptr;
  if (spec->has_field) {
    field = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(field), spec->field_text ? spec->field_text : "");
    gtk_entry_set_activates_default(GTK_ENTRY(field), TRUE);
    gtk_widget_set_size_request(field, spec->field_width > 0 ? spec->field_width : 360,
                                spec->field_height > 0 ? spec->field_height : -1);
    gtk_widget_set_halign(field, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(texts), field, FALSE, FALSE, 4);
    g_signal_connect(field, "changed", G_CALLBACK(&OnFieldChanged), GINT_TO_POINTER(alert));
  }
  gtk_box_pack_start(GTK_BOX(row), texts, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);

  // The first button added is the rightmost: add them from the last.
  for (int i = spec->button_count; i-- > 0;) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), spec->buttons[i], i);
  }
  if (spec->button_count > 0) gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);

  AlertWidgets& shown = gAlerts[alert] = {dialog, spec->cancel_button, previous};
  if (previous) {
    g_object_add_weak_pointer(G_OBJECT(previous), reinterpret_cast<gpointer*>(&shown.previous));
  }
  g_signal_connect(dialog, "response", G_CALLBACK(&OnResponse), GINT_TO_POINTER(alert));
  g_signal_connect(dialog, "close", G_CALLBACK(&OnClose), GINT_TO_POINTER(alert));
  g_signal_connect(dialog, "delete-event", G_CALLBACK(&OnDelete), GINT_TO_POINTER(alert));
  g_signal_connect(dialog, "map-event", G_CALLBACK(&FocusWhenMapped), nullptr);
  gtk_widget_show_all(dialog);
  if (field) {
    gtk_widget_grab_focus(field);  // selects the whole text, as a field that gains focus does
  } else if (spec->button_count > 0) {
    if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0)) {
      gtk_widget_grab_focus(button);
    }
  }
  gtk_window_present(GTK_WINDOW(dialog));
  return alert;
}

void CloseAlert(int alert) {
  auto found = gAlerts.find(alert);
  if (found == gAlerts.end()) return;
  GtkWidget* dialog = found->second.dialog;
  GtkWidget* previous = found->second.previous;
  if (previous) {
    g_object_remove_weak_pointer(G_OBJECT(previous),
                                 reinterpret_cast<gpointer*>(&found->second.previous));
  }
  gAlerts.erase(found);
  gtk_widget_destroy(dialog);
  // The window that was key before is key again, as after a Cocoa alert. Without a window
  // manager nobody else gives it the keyboard back (X hands it to whatever is under the
  // pointer); the current time, as the alert's own request was, so the server takes it.
  if (previous && gtk_widget_get_visible(previous)) {
    gtk_window_present(GTK_WINDOW(previous));
    gdk_window_focus(gtk_widget_get_window(previous), GDK_CURRENT_TIME);
  }
}

// --- Windows ---

// One view's widget.
struct ViewWidget {
  int id;                          // the desktop's number for the view
  int kind;                        // MindelGtkViewKind
  GtkWidget* widget;               // in the window's GtkFixed
  std::vector<std::string> items;  // a pop-up's items as shown
};

// One window.
struct WindowWidgets {
  GtkWidget* window;              // owned (destroyed by HideWindow)
  GtkWidget* fixed;               // holds the views at their frames
  std::vector<ViewWidget> views;  // in the description's order
  bool updating = false;          // set while the description is applied: no events then
};
std::map<int, WindowWidgets> gWindows;

// The window's number and a view's number, packed for a signal's user data.
gpointer Pack(int window, int view) {
  return GINT_TO_POINTER((window << 16) | (view & 0xFFFF));
}
int WindowOf(gpointer data) {
  return GPOINTER_TO_INT(data) >> 16;
}
int ViewOf(gpointer data) {
  return GPOINTER_TO_INT(data) & 0xFFFF;
}
// True while the window's description is being applied (what GTK reports then is ours).
bool Updating(gpointer data) {
  auto found = gWindows.find(WindowOf(data));
  return found == gWindows.end() || found->second.updating;
}

void OnClicked(GtkButton*, gpointer data) {
  if (!Updating(data)) gHost->view_clicked(gHost->context, WindowOf(data), ViewOf(data));
}
void OnToggled(GtkToggleButton*, gpointer data) {
  if (!Updating(data)) gHost->view_clicked(gHost->context, WindowOf(data), ViewOf(data));
}
void OnFieldEdited(GtkEditable* editable, gpointer data) {
  if (Updating(data)) return;
  gHost->view_text(gHost->context, WindowOf(data), ViewOf(data),
                   gtk_entry_get_text(GTK_ENTRY(editable)));
}
gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
  if (!Updating(data)) gHost->view_focused(gHost->context, WindowOf(data), ViewOf(data));
  return FALSE;
}
void OnChanged(GtkComboBox* box, gpointer data) {
  if (Updating(data)) return;
  const int index = gtk_combo_box_get_active(box);
  if (index >= 0) gHost->view_chose(gHost->context, WindowOf(data), ViewOf(data), index);
}
void OnStepUp(GtkButton*, gpointer data) {
  if (!Updating(data)) gHost->view_stepped(gHost->context, WindowOf(data), ViewOf(data), 1);
}
void OnStepDown(GtkButton*, gpointer data) {
  if (!Updating(data)) gHost->view_stepped(gHost->context, WindowOf(data), ViewOf(data), 0);
}
gboolean OnWindowDelete(GtkWidget*, GdkEvent*, gpointer data) {
  gHost->window_close(gHost->context, GPOINTER_TO_INT(data));
  return TRUE;  // the window goes when the program closes it
}

// The key name of a key press, as the desktops name keys ("ctrl+alt+t"); "" for a modifier
// alone or a key no Mac keyboard has (media keys, dead keys, compose).
std::string KeyName(const GdkEventKey* key) {
  std::string name;
  const guint keyval = key->keyval;
  switch (keyval) {
    case GDK_KEY_space:
      name = "space";
      break;
    case GDK_KEY_plus:
      name = "plus";
      break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      name = "return";
      break;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      name = "tab";
      break;
    case GDK_KEY_Escape:
      name = "esc";
      break;
    case GDK_KEY_BackSpace:
      name = "backspace";
      break;
    case GDK_KEY_Delete:
      name = "delete";
      break;
    case GDK_KEY_Insert:
      name = "insert";
      break;
    case GDK_KEY_Home:
      name = "home";
      break;
    case GDK_KEY_End:
      name = "end";
      break;
    case GDK_KEY_Page_Up:
      name = "pgup";
      break;
    case GDK_KEY_Page_Down:
      name = "pgdown";
      break;
    case GDK_KEY_Left:
      name = "left";
      break;
    case GDK_KEY_Right:
      name = "right";
      break;
    case GDK_KEY_Up:
      name = "up";
      break;
    case GDK_KEY_Down:
      name = "down";
      break;
    default:
      if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F20) {
        name = "f" + std::to_string(keyval - GDK_KEY_F1 + 1);
      } else if (keyval > 0x20 && keyval < 0x7F) {
        name = std::string(1, static_cast<char>(gdk_keyval_to_lower(keyval)));
      }
  }
  if (name.empty()) return name;
  std::string modifiers;
  if (key->state & GDK_CONTROL_MASK) modifiers += "ctrl+";
  if (key->state & GDK_MOD1_MASK) modifiers += "alt+";
  // Shift is in the character of a punctuation key already ("!" is shift+1).
  const bool punctuation = keyval > 0x20 && keyval < 0x7F && !g_ascii_isalnum(keyval);
  if ((key->state & GDK_SHIFT_MASK) && !punctuation) modifiers += "shift+";
  if (key->state & (GDK_SUPER_MASK | GDK_META_MASK)) modifiers += "cmd+";
  return modifiers + name;
}

gboolean OnShortcutKey(GtkWidget*, GdkEventKey* key, gpointer data) {
  const std::string name = KeyName(key);
  if (!name.empty()) gHost->key_pressed(gHost->context, WindowOf(data), name.c_str());
  return TRUE;  // the field shows what the program makes of the key, nothing else
}

GtkWidget* MakeView(const MindelGtkView& view, int window) {
  gpointer data = Pack(window, view.id);
  GtkWidget* widget = nullptr;
  switch (view.kind) {
    case kMindelGtkLabel:
      widget = gtk_label_new(nullptr);
      // Cocoa draws a label's text from the top of its frame: centred, it would sit lower
      // than the text of the field beside it.
      gtk_label_set_xalign(GTK_LABEL(widget), 0);
      gtk_label_set_yalign(GTK_LABEL(widget), 0);
      break;
    case kMindelGtkField:
      widget = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);  // the frame gives the width
      g_signal_connect(widget, "changed", G_CALLBACK(&OnFieldEdited), data);
      g_signal_connect(widget, "focus-in-event", G_CALLBACK(&OnFocusIn), data);
      break;
    case kMindelGtkShortcut:
      widget = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
      gtk_editable_set_editable(GTK_EDITABLE(widget), FALSE);
      g_signal_connect(widget, "key-press-event", G_CALLBACK(&OnShortcutKey), data);
      g_signal_connect(widget, "focus-in-event", G_CALLBACK(&OnFocusIn), data);
      break;
    case kMindelGtkButton:
      widget = gtk_button_new_with_label("");
      g_signal_connect(widget, "clicked", G_CALLBACK(&OnClicked), data);
      break;
    case kMindelGtkCheckBox:
      widget = gtk_check_button_new_with_label("");
      g_signal_connect(widget, "toggled", G_CALLBACK(&OnToggled), data);
      break;
    case kMindelGtkPopUp:
      widget = gtk_combo_box_text_new();
      g_signal_connect(widget, "changed", G_CALLBACK(&OnChanged), data);
      break;
    case kMindelGtkStepper: {
      // GTK has no stepper: two small arrow buttons, each a click on the stepper's arrow.
      widget = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
      GtkWidget* up = gtk_button_new_from_icon_name("pan-up-symbolic", GTK_ICON_SIZE_MENU);
      GtkWidget* down = gtk_button_new_from_icon_name("pan-down-symbolic", GTK_ICON_SIZE_MENU);
      gtk_widget_set_tooltip_text(up, "Up");
      gtk_widget_set_tooltip_text(down, "Down");
      atk_object_set_name(gtk_widget_get_accessible(up), "Up");
      atk_object_set_name(gtk_widget_get_accessible(down), "Down");
      g_signal_connect(up, "clicked", G_CALLBACK(&OnStepUp), data);
      g_signal_connect(down, "clicked", G_CALLBACK(&OnStepDown), data);
      gtk_box_pack_start(GTK_BOX(widget), up, TRUE, TRUE, 0);
      gtk_box_pack_start(GTK_BOX(widget), down, TRUE, TRUE, 0);
      gtk_style_context_add_class(gtk_widget_get_style_context(widget), "mindel-stepper");
      for (GtkWidget* arrow : {up, down}) {
        gtk_image_set_pixel_size(GTK_IMAGE(gtk_button_get_image(GTK_BUTTON(arrow))), 8);
      }
      break;
    }
    default:
      widget = gtk_label_new(nullptr);
  }
  gtk_style_context_add_class(gtk_widget_get_style_context(widget), "mindel-view");
  return widget;
}

void UpdateView(ViewWidget* shown, const MindelGtkView& view) {
  GtkWidget* widget = shown->widget;
  const char* text = view.text ? view.text : "";
  switch (view.kind) {
    case kMindelGtkLabel:
      if (g_strcmp0(gtk_label_get_text(GTK_LABEL(widget)), text) != 0) {
        gtk_label_set_text(GTK_LABEL(widget), text);
      }
      break;
    case kMindelGtkField:
    case kMindelGtkShortcut:
      if (g_strcmp0(gtk_entry_get_text(GTK_ENTRY(widget)), text) != 0) {
        gtk_entry_set_text(GTK_ENTRY(widget), text);
        gtk_editable_set_position(GTK_EDITABLE(widget), view.kind == kMindelGtkShortcut ? 0 : -1);
      }
      break;
    case kMindelGtkButton:
    case kMindelGtkCheckBox:
      if (g_strcmp0(gtk_button_get_label(GTK_BUTTON(widget)), text) != 0) {
        gtk_button_set_label(GTK_BUTTON(widget), text);
      }
      if (view.kind == kMindelGtkCheckBox) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), view.state == 1);
      }
      break;
    case kMindelGtkPopUp: {
      std::vector<std::string> items;
      for (int i = 0; i < view.item_count; ++i) items.emplace_back(view.items[i]);
      if (items != shown->items) {
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
        for (const std::string& item : items) {
          gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), item.c_str());
        }
        shown->items = items;
      }
      if (gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) != view.selected) {
        gtk_combo_box_set_active(GTK_COMBO_BOX(widget), view.selected);
      }
      break;
    }
    default:
      break;
  }
  gtk_widget_set_sensitive(widget, view.enabled);
  gtk_widget_set_visible(widget, !view.hidden);
  const char* tip = view.tool_tip && view.tool_tip[0] ? view.tool_tip : nullptr;
  if (g_strcmp0(gtk_widget_get_tooltip_text(widget), tip) != 0) {
    gtk_widget_set_tooltip_text(widget, tip);
  }
  gtk_widget_set_size_request(widget, view.width, view.height);
}

// Views are made as small as their frames: the model lays the window out in points.
void InstallCompactStyle() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css,
                                  ".mindel-view { font-size: 12px; }"
                                  ".mindel-view, .mindel-view button, .mindel-view entry {"
                                  " min-height: 0; padding-top: 0; padding-bottom: 0; }"
                                  ".mindel-view button { min-width: 0; padding-left: 2px;"
                                  " padding-right: 2px; }"
                                  ".mindel-stepper button { padding: 0; min-width: 0; }"
                                  ".mindel-stepper image { -gtk-icon-transform: scale(0.75); }"
                                  "entry.mindel-view { padding-left: 4px; padding-right: 4px; }",
                                  -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

void ShowWindow(int number, const MindelGtkWindow* description) {
  if (!gStarted || !description) return;
  InstallCompactStyle();
  auto found = gWindows.find(number);
  if (found == gWindows.end()) {
    WindowWidgets made;
    made.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_resizable(GTK_WINDOW(made.window), FALSE);
    made.fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(made.window), made.fixed);
    g_signal_connect(made.window, "delete-event", G_CALLBACK(&OnWindowDelete),
                     GINT_TO_POINTER(number));
    g_signal_connect(made.window, "map-event", G_CALLBACK(&FocusWhenMapped), nullptr);
    found = gWindows.emplace(number, std::move(made)).first;
    gtk_window_move(GTK_WINDOW(found->second.window), description->x, description->y);
  }
  WindowWidgets& shown = found->second;
  shown.updating = true;
  gtk_window_set_title(GTK_WINDOW(shown.window), description->title ? description->title : "");
  gtk_window_set_keep_above(GTK_WINDOW(shown.window), description->floating);
  gtk_widget_set_size_request(shown.fixed, description->width, description->height);
  // The same views in the same order are brought up to date; any other list is made anew.
  bool same = static_cast<int>(shown.views.size()) == description->view_count;
  for (int i = 0; same && i < description->view_count; ++i) {
    same = shown.views[i].id == description->views[i].id &&
           shown.views[i].kind == description->views[i].kind;
  }
  if (!same) {
    for (ViewWidget& view : shown.views) gtk_widget_destroy(view.widget);
    shown.views.clear();
    for (int i = 0; i < description->view_count; ++i) {
      const MindelGtkView& view = description->views[i];
      ViewWidget made{view.id, view.kind, MakeView(view, number), {}};
      gtk_fixed_put(GTK_FIXED(shown.fixed), made.widget, view.x, view.y);
      gtk_widget_show_all(made.widget);
      shown.views.push_back(std::move(made));
    }
  }
  for (int i = 0; i < description->view_count; ++i) {
    const MindelGtkView& view = description->views[i];
    gtk_fixed_move(GTK_FIXED(shown.fixed), shown.views[i].widget, view.x, view.y);
    UpdateView(&shown.views[i], view);
  }
  if (!gtk_widget_get_visible(shown.window)) {
    gtk_widget_show(shown.fixed);
    gtk_window_present(GTK_WINDOW(shown.window));
  }
  shown.updating = false;
}

void HideWindow(int number) {
  auto found = gWindows.find(number);
  if (found == gWindows.end()) return;
  GtkWidget* window = found->second.window;
  gWindows.erase(found);
  gtk_widget_destroy(window);
}

// --- The tray icon ---

// GtkStatusIcon is GTK 3's XEmbed tray icon; deprecated for status notifier items, which the
// desktop speaks itself, but still the way into an X11 system tray.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

GtkStatusIcon* gTrayIcon = nullptr;  // while docked
struct TrayEntry {
  int id;
  std::string label, accelerator;
  bool enabled, visible, separator;
};
std::vector<TrayEntry> gTrayMenu;  // the menu a click opens, as last described

void OnTrayMenuItem(GtkMenuItem*, gpointer data) {
  gHost->menu_chosen(gHost->context, GPOINTER_TO_INT(data));
}

void PopUpTrayMenu(guint button, guint32 time) {
  GtkWidget* menu = gtk_menu_new();
  for (const TrayEntry& entry : gTrayMenu) {
    GtkWidget* item;
    if (entry.separator) {
      item = gtk_separator_menu_item_new();
    } else {
      item = gtk_menu_item_new_with_label(entry.label.c_str());
      guint key = 0;
      GdkModifierType modifiers{};
      gtk_accelerator_parse(entry.accelerator.c_str(), &key, &modifiers);
      if (key) {
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(item))), key,
                                  modifiers);
      }
      gtk_widget_set_sensitive(item, entry.enabled);
      g_signal_connect(item, "activate", G_CALLBACK(&OnTrayMenuItem), GINT_TO_POINTER(entry.id));
    }
    gtk_widget_set_visible(item, entry.visible);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  // The menu goes when it closes.
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                     g_idle_add_full(
                         G_PRIORITY_DEFAULT_IDLE,
                         +[](gpointer widget) -> gboolean {
                           gtk_widget_destroy(GTK_WIDGET(widget));
                           return G_SOURCE_REMOVE;
                         },
                         shell, nullptr);
                   }),
                   nullptr);
  gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, gtk_status_icon_position_menu, gTrayIcon, button,
                 time);
}

void OnTrayActivate(GtkStatusIcon*, gpointer) {
  PopUpTrayMenu(1, gtk_get_current_event_time());
}

void OnTrayPopUp(GtkStatusIcon*, guint button, guint time, gpointer) {
  PopUpTrayMenu(button, time);
}

void ShowTrayIcon(const MindelGtkTrayIcon* icon) {
  if (!gStarted || !icon) return;
  if (!gTrayIcon) {
    gTrayIcon = gtk_status_icon_new();
    gtk_status_icon_set_title(gTrayIcon, "Mindel");
    g_signal_connect(gTrayIcon, "activate", G_CALLBACK(&OnTrayActivate), nullptr);
    g_signal_connect(gTrayIcon, "popup-menu", G_CALLBACK(&OnTrayPopUp), nullptr);
  }
  if (icon->rgba && icon->size > 0) {
    GBytes* bytes = g_bytes_new(icon->rgba, static_cast<gsize>(icon->size) * icon->size * 4);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, TRUE, 8, icon->size,
                                                  icon->size, icon->size * 4);
    g_bytes_unref(bytes);
    gtk_status_icon_set_from_pixbuf(gTrayIcon, pixbuf);
    g_object_unref(pixbuf);
  }
  gtk_status_icon_set_tooltip_text(gTrayIcon, icon->tool_tip ? icon->tool_tip : "");
  gTrayMenu.clear();
  for (int i = 0; i < icon->entry_count; ++i) {
    const MindelGtkMenuEntry& entry = icon->entries[i];
    gTrayMenu.push_back({entry.id, entry.label ? entry.label : "",
                         entry.accelerator ? entry.accelerator : "", entry.enabled != 0,
                         entry.visible != 0, entry.separator != 0});
  }
  gtk_status_icon_set_visible(gTrayIcon, TRUE);
}

void HideTrayIcon() {
  if (!gTrayIcon) return;
  g_object_unref(gTrayIcon);
  gTrayIcon = nullptr;
}

G_GNUC_END_IGNORE_DEPRECATIONS

// --- The module's table ---

int Start(const MindelGtkHost* host, int dark) {
  if (gStarted) return 1;
  if (!host) return 0;
  gHost = host;
  g_set_prgname("mindel");
  g_set_application_name("Mindel");
  if (!gtk_init_check(nullptr, nullptr)) return 0;
  gStarted = true;
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE,
               nullptr);
  return 1;
}

void SetDark(int dark) {
  if (!gStarted) return;
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE,
               nullptr);
}

constexpr MindelGtkModule kModule = {kMindelGtkVersion, &Start,        &SetDark,
                                     &OpenAlert,        &CloseAlert,   &ShowWindow,
                                     &HideWindow,       &ShowTrayIcon, &HideTrayIcon};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MindelGtkModule* MindelGtkModuleEntry() {
  return &kModule;
}
