// com.canonical.dbusmenu over GDBus.
//
// Index: introspection, properties of an entry, method calls, refresh.
#include "platform/graphical/dbus_menu.h"

#include <climits>

#include "platform/appkit/menu_choice.h"
#include "platform/objc/objc.h"

namespace {

// --- Introspection ---

constexpr const char kInterface[] = "com.canonical.dbusmenu";
constexpr const char kIntrospection[] = R"xml(<node>
 <interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
   <arg type="i" name="parentId" direction="in"/>
   <arg type="i" name="recursionDepth" direction="in"/>
   <arg type="as" name="propertyNames" direction="in"/>
   <arg type="u" name="revision" direction="out"/>
   <arg type="(ia{sv}av)" name="layout" direction="out"/>
  </method>
  <method name="GetGroupProperties">
   <arg type="ai" name="ids" direction="in"/>
   <arg type="as" name="propertyNames" direction="in"/>
   <arg type="a(ia{sv})" name="properties" direction="out"/>
  </method>
  <method name="GetProperty">
   <arg type="i" name="id" direction="in"/>
   <arg type="s" name="name" direction="in"/>
   <arg type="v" name="value" direction="out"/>
  </method>
  <method name="Event">
   <arg type="i" name="id" direction="in"/>
   <arg type="s" name="eventId" direction="in"/>
   <arg type="v" name="data" direction="in"/>
   <arg type="u" name="timestamp" direction="in"/>
  </method>
  <method name="EventGroup">
   <arg type="a(isvu)" name="events" direction="in"/>
   <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <method name="AboutToShow">
   <arg type="i" name="id" direction="in"/>
   <arg type="b" name="needUpdate" direction="out"/>
  </method>
  <method name="AboutToShowGroup">
   <arg type="ai" name="ids" direction="in"/>
   <arg type="ai" name="updatesNeeded" direction="out"/>
   <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated">
   <arg type="a(ia{sv})" name="updatedProps"/>
   <arg type="a(ias)" name="removedProps"/>
  </signal>
  <signal name="LayoutUpdated">
   <arg type="u" name="revision"/>
   <arg type="i" name="parent"/>
  </signal>
  <signal name="ItemActivationRequested">
   <arg type="i" name="id"/>
   <arg type="u" name="timestamp"/>
  </signal>
 </interface>
</node>)xml";

GDBusInterfaceInfo* InterfaceInfo() {
  static GDBusInterfaceInfo* info = InterfaceFromXml(kIntrospection);
  return info;
}

// --- Properties of an entry ---

// The names a caller asked for; empty means all.
struct NameFilter {
  GVariant* names;  // "as", or null for all; borrowed
  bool Wants(const char* name) const {
    if (!names || g_variant_n_children(names) == 0) return true;
    GVariantIter iter;
    const char* asked;
    g_variant_iter_init(&iter, names);
    while (g_variant_iter_next(&iter, "&s", &asked)) {
      if (g_strcmp0(asked, name) == 0) return true;
    }
    return false;
  }
};

void AddProperty(GVariantBuilder* builder, const NameFilter& filter, const char* name,
                 GVariant* value) {
  if (filter.Wants(name)) {
    g_variant_builder_add(builder, "{sv}", name, value);
  } else {
    g_variant_unref(g_variant_ref_sink(value));
  }
}

// The a{sv} of an entry. Defaults are sent too (enabled, visible), so an update never has to
// say that a property went back to its default.
GVariant* PropertiesOf(const MenuEntry& entry, const NameFilter& filter) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
  if (entry.separator) {
    AddProperty(&builder, filter, "type", g_variant_new_string("separator"));
  } else if (entry.id != 0) {
    AddProperty(&builder, filter, "label", g_variant_new_string(entry.label.c_str()));
    AddProperty(&builder, filter, "enabled", g_variant_new_boolean(entry.enabled));
  }
  AddProperty(&builder, filter, "visible", g_variant_new_boolean(entry.visible));
  if (!entry.shortcut.empty()) {
    GVariantBuilder keys;
    g_variant_builder_init(&keys, G_VARIANT_TYPE("aas"));
    g_variant_builder_open(&keys, G_VARIANT_TYPE("as"));
    for (const std::string& key : entry.shortcut) g_variant_builder_add(&keys, "s", key.c_str());
    g_variant_builder_close(&keys);
    AddProperty(&builder, filter, "shortcut", g_variant_builder_end(&keys));
  }
  if (entry.has_submenu) {
    AddProperty(&builder, filter, "children-display", g_variant_new_string("submenu"));
  }
  return g_variant_builder_end(&builder);
}

// (ia{sv}av) of an entry and depth levels of its children (-1: all).
GVariant* LayoutOf(const MenuEntry& entry, int32_t depth, const NameFilter& filter) {
  GVariantBuilder children;
  g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
  if (depth != 0) {
    for (const MenuEntry& child : entry.children) {
      g_variant_builder_add(&children, "v", LayoutOf(child, depth < 0 ? -1 : depth - 1, filter));
    }
  }
  return g_variant_new("(i@a{sv}av)", entry.id, PropertiesOf(entry, filter), &children);
}

MenuAnswer UnknownId(int32_t id) {
  MenuAnswer answer;
  answer.error = "no menu item " + std::to_string(id);
  return answer;
}

MenuAnswer Reply(GVariant* reply) {
  MenuAnswer answer;
  answer.reply = reply ? g_variant_ref_sink(reply) : nullptr;
  return answer;
}

// The vtable's calls, into the DbusMenu of user_data.
void OnMethodCall(GDBusConnection* bus, const char*, const char*, const char*, const char* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer user_data) {
  objc::AutoreleasePool pool;
  auto* menu = static_cast<DbusMenu*>(user_data);
  MenuAnswer answer = menu->Answer(method, parameters);
  if (!answer.error.empty()) {
    g_dbus_method_invocation_return_dbus_error(invocation, answer.error_name, answer.error.c_str());
    return;
  }
  g_dbus_method_invocation_return_value(invocation, answer.reply);
  if (!answer.choose) return;
  // The reply goes out first, and is on the wire before the action runs: the action may run
  // for long (a modal dialog), or end the process (Quit), and the panel must not wait on it.
  g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  menu->Choose(answer.choose);
}

GVariant* OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                        const char* property, GError** error, gpointer) {
  if (g_strcmp0(property, "Version") == 0) return g_variant_new_uint32(3);
  if (g_strcmp0(property, "TextDirection") == 0) return g_variant_new_string("ltr");
  if (g_strcmp0(property, "Status") == 0) return g_variant_new_string("normal");
  if (g_strcmp0(property, "IconThemePath") == 0) return g_variant_new_strv(nullptr, 0);
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
  return nullptr;
}

constexpr GDBusInterfaceVTable kVTable = {&OnMethodCall, &OnGetProperty, nullptr, {}};

bool IsLoneDisabledLine(const std::vector<MenuEntry>& items, size_t i) {
  const MenuEntry& item = items[i];
  if (item.separator || item.enabled || !item.visible || !item.shortcut.empty() ||
      item.has_submenu || item.label.empty()) {
    return false;
  }
  return (i == 0 || items[i - 1].separator) && (i + 1 == items.size() || items[i + 1].separator);
}

}  // namespace

// --- Lifetime ---

GDBusInterfaceInfo* InterfaceFromXml(const char* xml) {
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
  GDBusInterfaceInfo* interface = g_dbus_interface_info_ref(node->interfaces[0]);
  g_dbus_node_info_unref(node);
  return interface;
}

DbusMenu::DbusMenu(GDBusConnection* bus) : bus_(bus) {
  root_ = MenuLayoutOf(nil, &numbers_);
  if (bus_) {
    registration_ = g_dbus_connection_register_object(bus_, kPath, InterfaceInfo(), &kVTable, this,
                                                      nullptr, nullptr);
  }
}

DbusMenu::~DbusMenu() {
  if (registration_) g_dbus_connection_unregister_object(bus_, registration_);
  objc::Release(menu_);
}

// --- Method calls ---

MenuAnswer::~MenuAnswer() {
  if (reply) g_variant_unref(reply);
}

MenuAnswer DbusMenu::Answer(const char* method, GVariant* parameters) {
  const std::string name = method ? method : "";
  const char* type = name == "GetLayout"            ? "(iias)"
                     : name == "GetGroupProperties" ? "(aias)"
                     : name == "GetProperty"        ? "(is)"
                     : name == "Event"              ? "(isvu)"
                     : name == "EventGroup"         ? "(a(isvu))"
                     : name == "AboutToShow"        ? "(i)"
                     : name == "AboutToShowGroup"   ? "(ai)"
                                                    : nullptr;
  if (!type) {
    MenuAnswer answer;
    answer.error_name = "org.freedesktop.DBus.Error.UnknownMethod";
    answer.error = "no method " + name;
    return answer;
  }
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(type))) {
    MenuAnswer answer;
    answer.error = "the arguments of " + name + " are not " + type;
    return answer;
  }

  if (name == "GetLayout") {
    int32_t parent, depth;
    GVariant* names = nullptr;
    g_variant_get(parameters, "(ii@as)", &parent, &depth, &names);
    const MenuEntry* entry = FindMenuEntry(root_, parent);
    MenuAnswer answer = UnknownId(parent);
    if (entry) {
      // Any negative depth means the whole tree, as -1 does.
      GVariant* layout = LayoutOf(*entry, depth < 0 ? -1 : depth, NameFilter{names});
      answer = Reply(g_variant_new("(u@(ia{sv}av))", revision_, layout));
    }
    g_variant_unref(names);
    return answer;
  }
  if (name == "GetGroupProperties") {
    GVariant* ids = nullptr;
    GVariant* names = nullptr;
    g_variant_get(parameters, "(@ai@as)", &ids, &names);
    GVariantBuilder result;
    g_variant_builder_init(&result, G_VARIANT_TYPE("a(ia{sv})"));
    gsize count = 0;
    const auto* wanted =
        static_cast<const int32_t*>(g_variant_get_fixed_array(ids, &count, sizeof(int32_t)));
    for (gsize i = 0; i < count; ++i) {
      if (const MenuEntry* entry = FindMenuEntry(root_, wanted[i])) {
        g_variant_builder_add(&result, "(i@a{sv})", entry->id,
                              PropertiesOf(*entry, NameFilter{names}));
      }
    }
    g_variant_unref(ids);
    g_variant_unref(names);
    return Reply(g_variant_new("(a(ia{sv}))", &result));
  }
  if (name == "GetProperty") {
    int32_t number;
    const char* property;
    g_variant_get(parameters, "(i&s)", &number, &property);
    const MenuEntry* entry = FindMenuEntry(root_, number);
    if (!entry) return UnknownId(number);
    GVariant* all = g_variant_ref_sink(PropertiesOf(*entry, NameFilter{nullptr}));
    GVariant* value = g_variant_lookup_value(all, property, nullptr);
    g_variant_unref(all);
    if (!value) {
      MenuAnswer answer;
      answer.error = "menu item " + std::to_string(number) + " has no property " + property;
      return answer;
    }
    MenuAnswer answer = Reply(g_variant_new("(v)", value));
    g_variant_unref(value);
    return answer;
  }
  if (name == "Event") {
    int32_t number;
    const char* event;
    g_variant_get(parameters, "(i&svu)", &number, &event, nullptr, nullptr);
    if (!FindMenuEntry(root_, number)) return UnknownId(number);
    MenuAnswer answer = Reply(nullptr);
    if (g_strcmp0(event, "clicked") == 0) answer.choose = number;
    return answer;
  }
  if (name == "EventGroup") {
    GVariantIter* events;
    g_variant_get(parameters, "(a(isvu))", &events);
    GVariantBuilder errors;
    g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
    int32_t number, clicked = 0;
    const char* event;
    size_t known = 0;
    while (g_variant_iter_next(events, "(i&svu)", &number, &event, nullptr, nullptr)) {
      if (!FindMenuEntry(root_, number)) {
        g_variant_builder_add(&errors, "i", number);
        continue;
      }
      ++known;
      // One click a group: a panel sends at most one, and a flood must not run many actions.
      if (!clicked && g_strcmp0(event, "clicked") == 0) clicked = number;
    }
    g_variant_iter_free(events);
    if (known == 0) {
      // Every event named an unknown item (or there were none): an error, as for one Event.
      g_variant_builder_clear(&errors);
      MenuAnswer answer;
      answer.error = "no event names a menu item";
      return answer;
    }
    MenuAnswer answer = Reply(g_variant_new("(ai)", &errors));
    answer.choose = clicked;
    return answer;
  }
  if (name == "AboutToShow") {
    int32_t number;
    g_variant_get(parameters, "(i)", &number);
    if (!FindMenuEntry(root_, number)) return UnknownId(number);
    // Enabled states are brought up to date here; changes reach the panel as signals.
    MenuPrepareToShow(menu_);
    return Reply(g_variant_new("(b)", FALSE));
  }
  // AboutToShowGroup
  GVariantIter* ids;
  g_variant_get(parameters, "(ai)", &ids);
  GVariantBuilder updates, errors;
  g_variant_builder_init(&updates, G_VARIANT_TYPE("ai"));
  g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
  int32_t number;
  while (g_variant_iter_next(ids, "i", &number)) {
    if (!FindMenuEntry(root_, number)) g_variant_builder_add(&errors, "i", number);
  }
  g_variant_iter_free(ids);
  MenuPrepareToShow(menu_);
  return Reply(g_variant_new("(aiai)", &updates, &errors));
}

void DbusMenu::Choose(int32_t number) {
  const MenuEntry* entry = FindMenuEntry(root_, number);
  id item = numbers_.ItemNumbered(number);
  if (!entry || entry->separator || entry->id == 0 || !item) return;
  MenuChooseItem(item, nullptr);
}

// --- Refresh ---

namespace {

void CollectChanged(const MenuEntry& old_entry, const MenuEntry& new_entry,
                    GVariantBuilder* updated, GVariantBuilder* removed, bool* any) {
  if (!old_entry.SameProperties(new_entry)) {
    *any = true;
    g_variant_builder_add(updated, "(i@a{sv})", new_entry.id,
                          PropertiesOf(new_entry, NameFilter{nullptr}));
    if (!old_entry.shortcut.empty() && new_entry.shortcut.empty()) {
      const char* names[] = {"shortcut", nullptr};
      g_variant_builder_add(removed, "(i^as)", new_entry.id, names);
    }
  }
  for (size_t i = 0; i < new_entry.children.size(); ++i) {
    CollectChanged(old_entry.children[i], new_entry.children[i], updated, removed, any);
  }
}

}  // namespace

void DbusMenu::Refresh(id menu) {
  if (menu != menu_) {
    objc::Release(menu_);
    menu_ = objc::Retain(menu);
  }
  MenuEntry fresh = MenuLayoutOf(menu_, &numbers_);
  numbers_.KeepOnly(MenuEntryIds(fresh));
  if (!fresh.SameShape(root_)) {
    root_ = std::move(fresh);
    ++revision_;
    if (registration_) {
      g_dbus_connection_emit_signal(bus_, nullptr, kPath, kInterface, "LayoutUpdated",
                                    g_variant_new("(ui)", revision_, 0), nullptr);
    }
    return;
  }
  GVariantBuilder updated, removed;
  g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
  g_variant_builder_init(&removed, G_VARIANT_TYPE("a(ias)"));
  bool any = false;
  CollectChanged(root_, fresh, &updated, &removed, &any);
  root_ = std::move(fresh);
  if (!any || !registration_) {
    g_variant_builder_clear(&updated);
    g_variant_builder_clear(&removed);
    return;
  }
  g_dbus_connection_emit_signal(bus_, nullptr, kPath, kInterface, "ItemsPropertiesUpdated",
                                g_variant_new("(a(ia{sv})a(ias))", &updated, &removed), nullptr);
}

std::string MenuStatusLine(const MenuEntry& root) {
  for (size_t i = 0; i < root.children.size(); ++i) {
    if (!IsLoneDisabledLine(root.children, i)) continue;
    return PlainMenuLabel(root.children[i].label);
  }
  return "";
}
