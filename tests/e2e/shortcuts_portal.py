"""A GlobalShortcuts portal for the tests, on a session's private bus: it makes sessions,
binds shortcuts (answering through Request objects' Response signals, as the real portal
does), remembers what it was asked, and sends Activated and ShortcutsChanged when a test
says so. Behaviours a desktop may show are switches: refusing a session, binding only some
shortcuts, or going away and coming back."""

from gi.repository import Gio, GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
INTERFACE = "org.freedesktop.portal.GlobalShortcuts"
XML = """<node><interface name="org.freedesktop.portal.GlobalShortcuts">
 <method name="CreateSession"><arg type="a{sv}" direction="in"/>
  <arg type="o" direction="out"/></method>
 <method name="BindShortcuts"><arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
  <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
  <arg type="o" direction="out"/></method>
 <method name="ListShortcuts"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
  <arg type="o" direction="out"/></method>
 <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
 <signal name="Deactivated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
 </signal>
 <signal name="ShortcutsChanged"><arg type="o"/><arg type="a(sa{sv})"/></signal>
 <property name="version" type="u" access="read"/>
</interface></node>"""

KEY_NAMES = {"slash": "/", "space": "Space", "Return": "Enter"}
MODIFIER_NAMES = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Super"}


def described(trigger):
    """How a desktop shows a trigger: "CTRL+ALT+t" is "Ctrl+Alt+T"."""
    *modifiers, key = trigger.split("+")
    key = KEY_NAMES.get(key, key.upper() if len(key) == 1 else key)
    return "+".join([MODIFIER_NAMES.get(m, m) for m in modifiers] + [key])


def _path_part(sender):
    return sender.lstrip(":").replace(".", "_")


class ShortcutsPortal:
    """Owns the portal's name on session's bus while `present` (see appear and vanish)."""

    def __init__(self, session):
        self.session = session
        self.bus = session.bus
        self.create_response = 0   # the Response code CreateSession answers
        self.refused = set()       # shortcut ids BindShortcuts leaves unbound
        self.sessions = []         # (sender, session handle) made, in order
        self.binds = []            # [(id, description, preferred trigger)] per BindShortcuts
        self.bound = {}            # id -> trigger description of the last bind
        self.owner = None
        info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
        self.registration = self.bus.register_object(PATH, info, self._call, self._get, None)

    def appear(self):
        acquired = []
        self.owner = Gio.bus_own_name_on_connection(
            self.bus, PORTAL, Gio.BusNameOwnerFlags.NONE, lambda *a: acquired.append(1), None)
        self.session.wait_until(lambda: acquired, "the portal's name")

    def vanish(self):
        if self.owner is not None:
            Gio.bus_unown_name(self.owner)
            self.owner = None
        self.session.settle()

    def close(self):
        self.vanish()
        self.bus.unregister_object(self.registration)

    def _get(self, bus, sender, path, interface, name):
        return GLib.Variant("u", 1)

    def _respond(self, sender, token, code, results):
        request = "%s/request/%s/%s" % (PATH, _path_part(sender), token)
        return request, lambda: self.bus.emit_signal(
            sender, request, "org.freedesktop.portal.Request", "Response",
            GLib.Variant("(ua{sv})", (code, results)))

    def _call(self, bus, sender, path, interface, method, params, invocation):
        if method == "CreateSession":
            options = params.unpack()[0]
            handle = "%s/session/%s/%s" % (PATH, _path_part(sender),
                                           options["session_handle_token"])
            request, respond = self._respond(sender, options["handle_token"],
                                             self.create_response,
                                             {"session_handle": GLib.Variant("s", handle)})
            if self.create_response == 0:
                self.sessions.append((sender, handle))
        elif method == "BindShortcuts":
            handle, shortcuts, _, options = params.unpack()
            asked = [(name, props.get("description"), props.get("preferred_trigger"))
                     for name, props in shortcuts]
            self.binds.append(asked)
            self.bound = {name: described(trigger) for name, _, trigger in asked
                          if name not in self.refused}
            results = {"shortcuts": GLib.Variant("a(sa{sv})", [
                (name, {"description": GLib.Variant("s", description or ""),
                        "trigger_description": GLib.Variant("s", self.bound[name])})
                for name, description, _ in asked if name in self.bound])}
            request, respond = self._respond(sender, options["handle_token"], 0, results)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.NotSupported", method)
            return
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond()

    def last_session(self):
        return self.sessions[-1][1]

    def activate(self, shortcut_id, session=None):
        self.bus.emit_signal(None, PATH, INTERFACE, "Activated", GLib.Variant(
            "(osta{sv})", (session or self.last_session(), shortcut_id, 0, {})))

    def change(self, triggers):
        """Says the person bound the shortcuts to triggers (id -> trigger description)."""
        self.bound = dict(triggers)
        self.bus.emit_signal(None, PATH, INTERFACE, "ShortcutsChanged", GLib.Variant(
            "(oa(sa{sv}))", (self.last_session(), [
                (name, {"trigger_description": GLib.Variant("s", text)})
                for name, text in triggers.items()])))

    def wait_binds(self, count):
        self.session.wait_until(lambda: len(self.binds) >= count,
                                "BindShortcuts call %d" % count)
        return self.binds[count - 1]
