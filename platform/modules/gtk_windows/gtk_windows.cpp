// The graphical desktop's GTK module: alerts as GTK 3 dialogs. Loaded on demand with dlopen;
// its only export is MindelGtkModuleEntry (see platform/graphical/gtk_module.h).
//
// Index: state, alerts, the module's table.
#include <gtk/gtk.h>

#include <map>
#include <string>

#include "platform/graphical/gtk_module.h"

namespace {

// --- State ---

const MindelGtkHost* gHost = nullptr;  // the desktop's calls; set by Start
bool gStarted = false;                 // GTK is initialised on the display

// One open alert.
struct AlertWidgets {
  GtkWidget* dialog;  // owned (destroyed by Close)
  int cancel_button;  // the button Escape and the close box press; -1: none
};
std::map<int, AlertWidgets> gAlerts;
int gNextAlert = 1;

// --- Alerts ---

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

int OpenAlert(const MindelGtkAlert* spec) {
  if (!gStarted || !spec) return 0;
  const int alert = gNextAlert++;
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

  gAlerts[alert] = {dialog, spec->cancel_button};
  g_signal_connect(dialog, "response", G_CALLBACK(&OnResponse), GINT_TO_POINTER(alert));
  g_signal_connect(dialog, "close", G_CALLBACK(&OnClose), GINT_TO_POINTER(alert));
  g_signal_connect(dialog, "delete-event", G_CALLBACK(&OnDelete), GINT_TO_POINTER(alert));
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
  gAlerts.erase(found);
  gtk_widget_destroy(dialog);
}

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

constexpr MindelGtkModule kModule = {kMindelGtkVersion, &Start, &SetDark, &OpenAlert, &CloseAlert};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MindelGtkModule* MindelGtkModuleEntry() {
  return &kModule;
}
