// The application on the session bus: it owns the bus name of its bundle identifier
// (com.quorv.Mindel), so one runs per session, and exports its actions at the matching path
// (/com/quorv/Mindel) as org.freedesktop.Application and org.gtk.Actions, the interfaces that
// launchers (desktop entries with DBusActivatable=true), `gapplication action` and the
// desktops' keyboard-shortcut settings call.
//
// The actions are the application's own (AddApplicationAction), read afresh at every call.
// None takes a parameter or has a state; each is always enabled: one that arrives while a
// dialog is open is acted on by the program afterwards, as a hot key is.
#pragma once

#include <gio/gio.h>

#include <string>

// What a method call on the exported interfaces comes to: a reply, or an error.
struct ActionCallAnswer {
  GVariant* reply = nullptr;  // floating; null for an error
  const char* error_name = nullptr;
  std::string error_message;
};

// Answers one call of interface's method with parameters (already of the method's input
// type), performing the action it names; pure apart from that. An unknown action, a
// parameter given to an action, an unknown method or file opening give D-Bus errors.
ActionCallAnswer AnswerActionCall(const char* interface, const char* method, GVariant* parameters);

// "/com/quorv/Mindel" for "com.quorv.Mindel": the object path of a bus name.
std::string ObjectPathOfBusName(const std::string& name);

class ApplicationService {
 public:
  // How the request for the bus name ended.
  enum class Claim {
    kOwned,           // this process owns the name
    kAlreadyRunning,  // another instance of the application owns it
    kTakenByOther,    // something else owns it; the actions are not offered on the bus
    kFailed,          // the bus refused the request
  };

  // Exports the interfaces on bus (borrowed) under the bundle's identifier's path.
  explicit ApplicationService(GDBusConnection* bus);
  ~ApplicationService();
  ApplicationService(const ApplicationService&) = delete;
  ApplicationService& operator=(const ApplicationService&) = delete;

  // Asks the bus for the name (never queueing for it), waiting for the answer. When another
  // process owns it, *owner_pid is that process (0 when unknown).
  Claim ClaimName(unsigned* owner_pid);
  const std::string& BusName() const { return name_; }

 private:
  static void OnMethodCall(GDBusConnection* bus, const char* sender, const char* path,
                           const char* interface, const char* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer self);
  // True when the owner of the name answers org.gtk.Actions at the path: an instance of this
  // application, started from this bundle or another.
  bool OwnerIsThisApplication();

  GDBusConnection* bus_;   // borrowed
  std::string name_;       // the bus name, the bundle's identifier
  std::string path_;       // the exported objects' path
  guint application_ = 0;  // registration of org.freedesktop.Application
  guint actions_ = 0;      // registration of org.gtk.Actions
};
