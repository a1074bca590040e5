// The application's bus name and its actions on the session bus.
#include "platform/graphical/application_service.h"

#include <cstring>
#include <vector>

#include "platform/carbon/carbon_desktop.h"
#include "platform/foundation/bundle.h"
#include "platform/graphical/dbus_menu.h"
#include "platform/objc/objc.h"

namespace {

constexpr const char kApplication[] = "org.freedesktop.Application";
constexpr const char kActions[] = "org.gtk.Actions";
constexpr const char kInvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr const char kNotSupported[] = "org.freedesktop.DBus.Error.NotSupported";
constexpr const char kUnknownMethod[] = "org.freedesktop.DBus.Error.UnknownMethod";
// Used when the bundle names no identifier that is a bus name.
constexpr const char kFallbackName[] = "com.quorv.Mindel";
// How long a start waits for the owner of the name to say what it is.
constexpr int kOwnerQuestionMilliseconds = 2000;

constexpr const char kApplicationXml[] = R"xml(<node>
  <interface name="org.freedesktop.Application">
    <method name="Activate"><arg type="a{sv}" name="platform_data" direction="in"/></method>
    <method name="Open">
      <arg type="as" name="uris" direction="in"/>
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
    <method name="ActivateAction">
      <arg type="s" name="action_name" direction="in"/>
      <arg type="av" name="parameter" direction="in"/>
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
  </interface>
</node>)xml";

constexpr const char kActionsXml[] = R"xml(<node>
  <interface name="org.gtk.Actions">
    <method name="List"><arg type="as" name="list" direction="out"/></method>
    <method name="Describe">
      <arg type="s" name="action_name" direction="in"/>
      <arg type="(bgav)" name="description" direction="out"/>
    </method>
    <method name="DescribeAll">
      <arg type="a{s(bgav)}" name="descriptions" direction="out"/>
    </method>
    <method name="Activate">
      <arg type="s" name="action_name" direction="in"/>
      <arg type="av" name="parameter" direction="in"/>
      <arg type="a{sv}" name="platform_data" direction="in"/>
    </method>
    <signal name="Changed">
      <arg type="as" name="removals"/>
      <arg type="a{sb}" name="enable_changes"/>
      <arg type="a{sv}" name="state_changes"/>
      <arg type="a{s(bgav)}" name="additions"/>
    </signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* ApplicationInterface() {
  static GDBusInterfaceInfo* info = InterfaceFromXml(kApplicationXml);
  return info;
}

GDBusInterfaceInfo* ActionsInterface() {
  static GDBusInterfaceInfo* info = InterfaceFromXml(kActionsXml);
  return info;
}

std::vector<std::string> ActionNames() {
  std::vector<std::string> names;
  CarbonForEachAction(
      [](void* context, const char* name, const char*) {
        static_cast<std::vector<std::string>*>(context)->push_back(name);
      },
      &names);
  return names;
}

// An action's description: enabled, no parameter, no state.
GVariant* Description() {
  return g_variant_new("(bg@av)", TRUE, "",
                       g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0));
}

ActionCallAnswer Error(const char* name, std::string message) {
  ActionCallAnswer answer;
  answer.error_name = name;
  answer.error_message = std::move(message);
  return answer;
}

ActionCallAnswer Reply(GVariant* reply) {
  ActionCallAnswer answer;
  answer.reply = reply;
  return answer;
}

// Performs the action named in the first parameter, whose second is the parameter list.
ActionCallAnswer Perform(GVariant* parameters) {
  const char* name = nullptr;
  GVariant* list = nullptr;
  g_variant_get(parameters, "(&s@av@a{sv})", &name, &list, nullptr);
  const size_t given = g_variant_n_children(list);
  g_variant_unref(list);
  if (CarbonActionTitle(name) == nullptr) {
    return Error(kInvalidArgs, std::string("there is no action \"") + name + "\"");
  }
  if (given != 0) {
    return Error(kInvalidArgs, std::string("the action \"") + name + "\" takes no parameter");
  }
  objc::AutoreleasePool pool;
  CarbonPerformAction(name);
  return Reply(g_variant_new("()"));
}

}  // namespace

// --- Answers ---

ActionCallAnswer AnswerActionCall(const char* interface, const char* method, GVariant* parameters) {
  const std::string call = std::string(interface ? interface : "") + "." + (method ? method : "");
  if (call == std::string(kApplication) + ".Activate") {
    // Already running, and its whole face is the status item: nothing to bring forward.
    return Reply(g_variant_new("()"));
  }
  if (call == std::string(kApplication) + ".Open") {
    return Error(kNotSupported, "this application opens no files");
  }
  if (call == std::string(kApplication) + ".ActivateAction" ||
      call == std::string(kActions) + ".Activate") {
    return Perform(parameters);
  }
  if (call == std::string(kActions) + ".List") {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
    for (const std::string& name : ActionNames())
      g_variant_builder_add(&builder, "s", name.c_str());
    return Reply(g_variant_new("(as)", &builder));
  }
  if (call == std::string(kActions) + ".Describe") {
    const char* name = nullptr;
    g_variant_get(parameters, "(&s)", &name);
    if (CarbonActionTitle(name) == nullptr) {
      return Error(kInvalidArgs, std::string("there is no action \"") + name + "\"");
    }
    return Reply(g_variant_new("(@(bgav))", Description()));
  }
  if (call == std::string(kActions) + ".DescribeAll") {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{s(bgav)}"));
    for (const std::string& name : ActionNames()) {
      g_variant_builder_add(&builder, "{s@(bgav)}", name.c_str(), Description());
    }
    return Reply(g_variant_new("(a{s(bgav)})", &builder));
  }
  return Error(kUnknownMethod, "no method " + call);
}

std::string ObjectPathOfBusName(const std::string& name) {
  std::string path = "/";
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    path += c == '.' ? '/' : plain ? c : '_';
  }
  return path;
}

// --- The service ---

ApplicationService::ApplicationService(GDBusConnection* bus) : bus_(bus) {
  name_ = foundation::MainBundleInfoString("CFBundleIdentifier", kFallbackName);
  if (!g_dbus_is_name(name_.c_str()) || g_dbus_is_unique_name(name_.c_str())) {
    name_ = kFallbackName;
  }
  path_ = ObjectPathOfBusName(name_);
  static const GDBusInterfaceVTable vtable = {&OnMethodCall, nullptr, nullptr, {}};
  application_ = g_dbus_connection_register_object(bus_, path_.c_str(), ApplicationInterface(),
                                                   &vtable, this, nullptr, nullptr);
  actions_ = g_dbus_connection_register_object(bus_, path_.c_str(), ActionsInterface(), &vtable,
                                               this, nullptr, nullptr);
}

ApplicationService::~ApplicationService() {
  if (application_) g_dbus_connection_unregister_object(bus_, application_);
  if (actions_) g_dbus_connection_unregister_object(bus_, actions_);
}

void ApplicationService::OnMethodCall(GDBusConnection*, const char*, const char*,
                                      const char* interface, const char* method,
                                      GVariant* parameters, GDBusMethodInvocation* invocation,
                                      gpointer) {
  ActionCallAnswer answer = AnswerActionCall(interface, method, parameters);
  if (answer.reply) {
    g_dbus_method_invocation_return_value(invocation, answer.reply);
  } else {
    g_dbus_method_invocation_return_dbus_error(invocation, answer.error_name,
                                               answer.error_message.c_str());
  }
}

ApplicationService::Claim ApplicationService::ClaimName(unsigned* owner_pid) {
  *owner_pid = 0;
  constexpr guint32 kDoNotQueue = 4;
  constexpr guint32 kPrimaryOwner = 1;
  constexpr guint32 kAlreadyOwner = 4;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", name_.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  if (!reply) return Claim::kFailed;
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  if (result == kPrimaryOwner || result == kAlreadyOwner) return Claim::kOwned;

  GVariant* pid = g_dbus_connection_call_sync(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetConnectionUnixProcessID", g_variant_new("(s)", name_.c_str()), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  if (pid) {
    g_variant_get(pid, "(u)", owner_pid);
    g_variant_unref(pid);
  }
  return OwnerIsThisApplication() ? Claim::kAlreadyRunning : Claim::kTakenByOther;
}

bool ApplicationService::OwnerIsThisApplication() {
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, name_.c_str(), path_.c_str(), kActions, "List", nullptr, G_VARIANT_TYPE("(as)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kOwnerQuestionMilliseconds, nullptr, nullptr);
  if (!reply) return false;
  g_variant_unref(reply);
  return true;
}
