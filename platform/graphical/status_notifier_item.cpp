// org.kde.StatusNotifierItem over GDBus.
//
// Index: introspection, lifetime and the watcher, properties, refresh.
#include "platform/graphical/status_notifier_item.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/appkit/png_writer.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/string.h"
#include "platform/graphical/dbus_menu.h"
#include "platform/objc/objc.h"

namespace {

// --- Introspection ---

constexpr const char kInterface[] = "org.kde.StatusNotifierItem";
constexpr const char kWatcher[] = "org.kde.StatusNotifierWatcher";
constexpr const char kIntrospection[] = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="XAyatanaLabel" type="s" access="read"/>
  <property name="XAyatanaLabelGuide" type="s" access="read"/>
  <property name="XAyatanaOrderingIndex" type="u" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <method name="XAyatanaSecondaryActivate"><arg name="timestamp" type="u" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
  <signal name="XAyatanaNewLabel"><arg name="label" type="s"/><arg name="guide" type="s"/></signal>
 </interface>
</node>)xml";

GDBusInterfaceInfo* InterfaceInfo() {
  static GDBusInterfaceInfo* info = InterfaceFromXml(kIntrospection);
  return info;
}

// The panel opens the menu itself (ItemIsMenu); clicks on the item ask for nothing more.
void OnMethodCall(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
                  GDBusMethodInvocation* invocation, gpointer) {
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                        const char* property, GError** error, gpointer self) {
  GVariant* value = static_cast<StatusNotifierItem*>(self)->Property(property);
  if (!value) {
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
  }
  return value;
}

constexpr GDBusInterfaceVTable kVTable = {&OnMethodCall, &OnGetProperty, nullptr, {}};

GVariant* PixmapsOf(const std::vector<IconPixmap>& pixmaps) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  for (const IconPixmap& pixmap : pixmaps) {
    GVariant* bytes =
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1);
    g_variant_builder_add(&builder, "(ii@ay)", pixmap.size, pixmap.size, bytes);
  }
  return g_variant_builder_end(&builder);
}

}  // namespace

// --- Lifetime and the watcher ---

StatusNotifierItem::StatusNotifierItem(GDBusConnection* bus, const char* menu_path)
    : bus_(bus), menu_path_(menu_path) {
  objc::AutoreleasePool pool;
  id_ = foundation::MainBundleInfoString("CFBundleIdentifier", "mindel");
  title_ = foundation::MainBundleInfoString("CFBundleName", "Mindel");
  look_.tooltip_title = title_;
  look_.status = "Passive";
  registration_ = g_dbus_connection_register_object(bus_, kPath, InterfaceInfo(), &kVTable, this,
                                                    nullptr, nullptr);
  watch_ = g_bus_watch_name_on_connection(bus_, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          &OnWatcherAppeared, &OnWatcherVanished, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
  if (pending_) {
    g_cancellable_cancel(pending_);
    g_object_unref(pending_);
  }
  if (watch_) g_bus_unwatch_name(watch_);
  if (registration_) g_dbus_connection_unregister_object(bus_, registration_);
  objc::Release(look_.image);
  if (!icon_name_.empty()) unlink((icon_folder_ + "/" + icon_name_ + ".png").c_str());
}

void StatusNotifierItem::OnWatcherAppeared(GDBusConnection* bus, const char*, const char*,
                                           gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->watcher_ = Watcher::kPresent;
  self->registered_ = false;
  if (self->pending_) {
    g_cancellable_cancel(self->pending_);
    g_object_unref(self->pending_);
  }
  self->pending_ = g_cancellable_new();
  // The item is named by this connection's unique name; the watcher finds kPath there.
  g_dbus_connection_call(bus, kWatcher, "/StatusNotifierWatcher", kWatcher,
                         "RegisterStatusNotifierItem",
                         g_variant_new("(s)", g_dbus_connection_get_unique_name(bus)), nullptr,
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, self->pending_, &OnRegistered, self);
}

void StatusNotifierItem::OnRegistered(GObject* bus, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);
    return;  // self may be gone; a newer registration is under way
  }
  auto* self = static_cast<StatusNotifierItem*>(data);
  g_clear_object(&self->pending_);
  if (reply) {
    self->registered_ = true;
    g_variant_unref(reply);
  } else {
    std::fprintf(stderr, "mindel: the panel refused the status item: %s\n",
                 error ? error->message : "no reason given");
    g_clear_error(&error);
  }
}

void StatusNotifierItem::OnWatcherVanished(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->registered_ = false;
  self->watcher_ = Watcher::kAbsent;
}

// --- Properties ---

GVariant* StatusNotifierItem::Property(const char* name) {
  const std::string property = name ? name : "";
  if (property == "Category") return g_variant_new_string("ApplicationStatus");
  if (property == "Id") return g_variant_new_string(id_.c_str());
  if (property == "Title") return g_variant_new_string(title_.c_str());
  if (property == "Status") return g_variant_new_string(look_.status.c_str());
  if (property == "WindowId") return g_variant_new_int32(0);
  if (property == "IconPixmap") return PixmapsOf(look_.icon);
  if (property == "OverlayIconPixmap" || property == "AttentionIconPixmap") return PixmapsOf({});
  if (property == "IconThemePath") return g_variant_new_string(icon_folder_.c_str());
  if (property == "IconName") return g_variant_new_string(icon_name_.c_str());
  if (property == "OverlayIconName" || property == "AttentionIconName" ||
      property == "AttentionMovieName") {
    return g_variant_new_string("");
  }
  if (property == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", "", PixmapsOf({}), look_.tooltip_title.c_str(),
                         look_.tooltip_text.c_str());
  }
  if (property == "ItemIsMenu") return g_variant_new_boolean(TRUE);
  if (property == "Menu") return g_variant_new_object_path(menu_path_.c_str());
  if (property == "XAyatanaLabel" || property == "XAyatanaLabelGuide") {
    return g_variant_new_string(look_.label.c_str());
  }
  if (property == "XAyatanaOrderingIndex") return g_variant_new_uint32(0);
  return nullptr;
}

// --- The icon file ---

namespace {

// The folders of icon files made by this process, removed at exit.
std::vector<std::string>& IconFolders() {
  static std::vector<std::string> folders;
  return folders;
}

void RemoveIconFolders() {
  for (const std::string& folder : IconFolders()) {
    if (GDir* dir = g_dir_open(folder.c_str(), 0, nullptr)) {
      while (const char* name = g_dir_read_name(dir)) {
        unlink((folder + "/" + name).c_str());
      }
      g_dir_close(dir);
    }
    rmdir(folder.c_str());
  }
}

}  // namespace

void StatusNotifierItem::WriteIconFile() {
  const std::string old_name = icon_name_;
  icon_name_.clear();
  if (icon_folder_.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime && runtime[0] == '/' ? runtime : g_get_tmp_dir();
    const std::string folder = base + "/" + id_ + "-" + std::to_string(getpid());
    if (g_mkdir_with_parents(folder.c_str(), 0700) == 0) {
      icon_folder_ = folder;
      if (IconFolders().empty()) std::atexit(&RemoveIconFolders);
      IconFolders().push_back(folder);
    }
  }
  if (!icon_folder_.empty() && !look_.icon.empty()) {
    const IconPixmap& largest = look_.icon.back();
    const std::vector<uint8_t> rgba = PixmapRgba(largest);
    const std::string name = id_ + "-" + std::to_string(++icon_serial_);
    const std::string path = icon_folder_ + "/" + name + ".png";
    const auto side = static_cast<uint32_t>(largest.size);
    if (WritePngFile(path.c_str(), rgba.data(), side, side, 0)) icon_name_ = name;
  }
  if (!old_name.empty()) unlink((icon_folder_ + "/" + old_name + ".png").c_str());
}

// --- Refresh ---

void StatusNotifierItem::Emit(const char* signal, GVariant* parameters) {
  if (registration_) {
    g_dbus_connection_emit_signal(bus_, nullptr, kPath, kInterface, signal, parameters, nullptr);
  } else if (parameters) {
    g_variant_unref(g_variant_ref_sink(parameters));
  }
}

void StatusNotifierItem::Refresh(id item, const std::string& status_line, uint32_t tint) {
  StatusItemLook look;
  id image = nil;
  if (item) {
    look.label = foundation::StringUtf8(objc::Send(item, "title"));
    look.status = objc::Send<BOOL>(item, "isVisible") ? "Active" : "Passive";
    image = objc::Send(item, "image");
  } else {
    look.status = "Passive";
  }
  look.tooltip_title = look.label.empty() ? title_ : look.label;
  look.tooltip_text = status_line;
  look.image = image;
  look.image_template = image && objc::Send<BOOL>(image, "isTemplate");
  look.tint = look.image_template ? tint : 0;
  const bool new_icon = look.image != look_.image || look.image_template != look_.image_template ||
                        look.tint != look_.tint;
  look.icon = new_icon ? StatusIconPixmaps(image, tint) : std::move(look_.icon);

  const bool new_label = look.label != look_.label;
  const bool new_tooltip =
      look.tooltip_title != look_.tooltip_title || look.tooltip_text != look_.tooltip_text;
  const bool new_status = look.status != look_.status;
  // The image is kept while shown, so a freed image's address cannot pass for it.
  objc::Retain(look.image);
  objc::Release(look_.image);
  look_ = std::move(look);
  if (new_icon) WriteIconFile();
  if (new_label) {
    Emit("XAyatanaNewLabel", g_variant_new("(ss)", look_.label.c_str(), look_.label.c_str()));
  }
  if (new_tooltip) Emit("NewToolTip", nullptr);
  if (new_icon) Emit("NewIcon", nullptr);
  if (new_status) Emit("NewStatus", g_variant_new("(s)", look_.status.c_str()));
}
