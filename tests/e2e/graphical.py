"""Runs the real Mindel bundle on the graphical desktop for end-to-end tests, the way a panel
and a person meet it.

A Session starts a private X server (Xvfb, 1920x1080) and a private session bus, with a fresh
temporary HOME and XDG folders, so no test touches the machine's own desktop. A Watcher is the
panel's side: it owns org.kde.StatusNotifierWatcher on that bus, takes the item's
registration, and an Item reads the item's properties and menu and clicks menu items through
com.canonical.dbusmenu Event, as a panel does. Keys are pressed with xdotool.

Every wait runs the GLib main loop until what it waits for has arrived (a registration, a
signal, the process's exit) or the deadline fails the test; nothing sleeps a fixed time.
"""

import os
import plistlib
import select
import shutil
import signal
import subprocess
import sys
import tempfile

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

from mindel import program_path, wrapper_command  # noqa: E402

# Generous, because sanitizer builds start slowly; reaching it fails the test.
TIMEOUT_SECONDS = 60

TOOLS = ("Xvfb", "dbus-daemon", "xdotool")

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
 <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
 <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
 <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
 <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
 <property name="ProtocolVersion" type="i" access="read"/>
 <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
 <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
 <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""

PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_XML = """<node><interface name="org.freedesktop.portal.Settings">
 <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/>
  <arg type="v" direction="out"/></method>
 <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
 <property name="version" type="u" access="read"/>
</interface></node>"""


def missing_tools():
    """The programs a graphical session needs that are not installed."""
    return [tool for tool in TOOLS if shutil.which(tool) is None]


class SessionError(AssertionError):
    """The session or the program did not behave within the deadline."""


def _read_line(stream, what, timeout=TIMEOUT_SECONDS):
    """One line from a child's pipe, waiting at most timeout seconds."""
    ready, _, _ = select.select([stream], [], [], timeout)
    if not ready:
        raise SessionError("no answer from %s within %d s" % (what, timeout))
    line = stream.readline()
    if not line:
        raise SessionError("%s ended without an answer" % what)
    return line.decode().strip()


class Session:
    """A private X server and session bus with temporary folders. Use as a context manager."""

    def __init__(self, x_server=True, folder=None, screen="1920x1080"):
        self.dir = tempfile.mkdtemp(prefix="mindel-graphical-", dir=folder)
        self.home = os.path.join(self.dir, "home")
        self.xdg = {name: os.path.join(self.dir, folder) for name, folder in (
            ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
            ("XDG_CACHE_HOME", "cache"), ("XDG_STATE_HOME", "state"),
            ("XDG_RUNTIME_DIR", "runtime"))}
        for folder in [self.home] + list(self.xdg.values()):
            os.makedirs(folder, mode=0o700)
        self.children = []
        self.display = self._start_x_server(screen) if x_server else None
        self.bus_daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, env=self.environment())
        self.children.append(self.bus_daemon)
        self.address = _read_line(self.bus_daemon.stdout, "dbus-daemon")
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

    def _start_x_server(self, screen):
        read_end, write_end = os.pipe()
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-extension", "GLX",
             "-nolisten", "tcp", "-screen", "0", screen + "x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.children.append(server)
        self.x_server = server
        with os.fdopen(read_end, "rb") as numbers:
            return ":" + _read_line(numbers, "Xvfb")

    def environment(self, **extra):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("MINDEL_", "XDG_", "DBUS_")) and key not in (
                   "DISPLAY", "WAYLAND_DISPLAY", "GTK_THEME")}
        env.update(self.xdg)
        env["HOME"] = self.home
        if getattr(self, "display", None):
            env["DISPLAY"] = self.display
        if getattr(self, "address", None):
            env["DBUS_SESSION_BUS_ADDRESS"] = self.address
        env.update(extra)
        return {key: value for key, value in env.items() if value is not None}

    def close(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(TIMEOUT_SECONDS)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- Waiting ---

    def wait_until(self, predicate, what, timeout=TIMEOUT_SECONDS):
        """Runs the main loop until predicate() is true; fails after timeout seconds."""
        context = GLib.MainContext.default()
        expired = []
        source = GLib.timeout_add(int(timeout * 1000), lambda: expired.append(1) or False)
        try:
            while not predicate():
                if expired:
                    raise SessionError("timed out waiting for " + what)
                context.iteration(True)
        finally:
            if not expired:
                GLib.source_remove(source)

    def settle(self):
        """Handles what has already arrived, without blocking."""
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass

    # --- Keys and settings ---

    def press(self, *keys):
        subprocess.run(["xdotool", "key"] + list(keys), env=self.environment(), check=True,
                       timeout=TIMEOUT_SECONDS)

    def x_test_tool(self, *arguments):
        build = os.environ.get("MINDEL_BUILD_DIR") or os.path.join(
            os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
            "build")
        return subprocess.run([os.path.join(build, "tests", "x_test_tool")] + list(arguments),
                              env=self.environment(), timeout=TIMEOUT_SECONDS * 2).returncode

    def close_window(self, title):
        """Asks the window titled title to close, as a window manager's close box would."""
        if self.x_test_tool("close", title) != 0:
            raise SessionError("no window titled %r to close" % title)

    def wait_tray(self):
        """Waits until an X11 system tray runs."""
        if self.x_test_tool("wait-tray", str(TIMEOUT_SECONDS)) != 0:
            raise SessionError("no system tray started")

    def wait_docked(self, pid):
        """Waits until a window of process pid is docked in the system tray."""
        if self.x_test_tool("wait-docked", str(pid), str(TIMEOUT_SECONDS)) != 0:
            raise SessionError("no window of process %d docked in the tray" % pid)

    def watch_folder(self, path):
        """Wakes waits whenever something in the folder path changes (made if missing)."""
        os.makedirs(path, exist_ok=True)
        monitor = Gio.File.new_for_path(path).monitor_directory(Gio.FileMonitorFlags.NONE, None)
        monitor.connect("changed", lambda *args: None)
        self.monitors = getattr(self, "monitors", []) + [monitor]

    def write_prefs(self, values):
        path = os.path.join(self.home, "Library", "Preferences", "Mindel.plist")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            plistlib.dump(values, f, fmt=plistlib.FMT_XML)

    def read_prefs(self):
        path = os.path.join(self.home, "Library", "Preferences", "Mindel.plist")
        with open(path, "rb") as f:
            return plistlib.load(f)

    def start_mindel(self, **env):
        return MindelProcess(self, env)


class MindelProcess:
    """The program on the graphical desktop of a session. Its standard error is read inside the
    main loop, so a test can wait for a message as for any other event."""

    def __init__(self, session, env):
        self.session = session
        self.stderr = b""
        self.process = subprocess.Popen(
            wrapper_command() + [program_path()], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            env=session.environment(MINDEL_DESKTOP="graphical", **env), cwd=session.dir)
        session.children.append(self.process)
        os.set_blocking(self.process.stderr.fileno(), False)
        self._watch = GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, self.process.stderr.fileno(),
                                            GLib.IOCondition.IN | GLib.IOCondition.HUP,
                                            self._read_stderr)

    def _read_stderr(self, fd=None, condition=None):
        while True:
            try:
                chunk = os.read(self.process.stderr.fileno(), 65536)
            except BlockingIOError:
                return True
            except (OSError, ValueError):
                chunk = b""
            if not chunk:
                self._watch = None
                return False
            self.stderr += chunk

    def wait_exit(self, what="the program to end"):
        exited = []
        watch = GLib.child_watch_add(GLib.PRIORITY_DEFAULT, self.process.pid,
                                     lambda pid, status: exited.append(status))
        try:
            self.session.wait_until(lambda: exited or self.process.poll() is not None, what)
        finally:
            if not exited:
                GLib.source_remove(watch)
        return self.process.wait()

    def stderr_text(self):
        if self._watch is not None:
            self._read_stderr()
        return self.stderr.decode("utf-8", "replace")

    def wait_stderr(self, text):
        self.session.wait_until(lambda: text in self.stderr_text(),
                                "%r on standard error" % text)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(TIMEOUT_SECONDS)
        if self._watch is not None:
            GLib.source_remove(self._watch)
            self._watch = None
        self.process.stderr.close()


class Watcher:
    """The panel's StatusNotifierWatcher, owned by the test on the session's bus."""

    def __init__(self, session):
        self.session = session
        self.items = []  # (sender, service) of every registration, in order
        self.acquired = False
        info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]
        self.registration = session.bus.register_object(
            "/StatusNotifierWatcher", info, self._call, self._get, None)
        self.owner = Gio.bus_own_name_on_connection(
            session.bus, WATCHER, Gio.BusNameOwnerFlags.NONE,
            lambda *args: setattr(self, "acquired", True), None)
        session.wait_until(lambda: self.acquired, "the watcher's name")

    def _call(self, bus, sender, path, interface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            service = params.unpack()[0]
            self.items.append((sender, service))
            bus.emit_signal(None, path, WATCHER, "StatusNotifierItemRegistered",
                            GLib.Variant("(s)", (service,)))
        invocation.return_value(None)

    def _get(self, bus, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", [service for _, service in self.items])
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        return GLib.Variant("i", 0)

    def wait_for_item(self, count=1):
        self.session.wait_until(lambda: len(self.items) >= count, "the item's registration")
        sender, service = self.items[count - 1]
        return Item(self.session, service if service.startswith(":") or "." in service
                    else sender)

    def close(self):
        Gio.bus_unown_name(self.owner)
        self.session.bus.unregister_object(self.registration)
        self.session.settle()


class Portal:
    """The Settings portal's colour scheme, owned by the test."""

    def __init__(self, session, scheme):
        self.session = session
        self.scheme = scheme
        self.acquired = False
        info = Gio.DBusNodeInfo.new_for_xml(PORTAL_XML).interfaces[0]
        session.bus.register_object("/org/freedesktop/portal/desktop", info, self._call,
                                    None, None)
        Gio.bus_own_name_on_connection(session.bus, PORTAL, Gio.BusNameOwnerFlags.NONE,
                                       lambda *args: setattr(self, "acquired", True), None)
        session.wait_until(lambda: self.acquired, "the portal's name")

    def _call(self, bus, sender, path, interface, method, params, invocation):
        namespace, key = params.unpack()
        if (namespace, key) != ("org.freedesktop.appearance", "color-scheme"):
            invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "no such key")
            return
        # Version 1 answers with the value inside one more variant.
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", GLib.Variant(
            "u", self.scheme)),)))

    def change(self, scheme):
        self.scheme = scheme
        self.session.bus.emit_signal(
            None, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
            "SettingChanged", GLib.Variant("(ssv)", ("org.freedesktop.appearance",
                                                     "color-scheme", GLib.Variant("u", scheme))))


class Item:
    """A registered StatusNotifierItem and its menu, as a panel reads them."""

    def __init__(self, session, service, path="/StatusNotifierItem"):
        self.session = session
        self.service = service
        self.path = path
        self.signals = []  # (interface, member, unpacked parameters), in order of arrival
        self.subscription = session.bus.signal_subscribe(
            service, None, None, None, None, Gio.DBusSignalFlags.NONE, self._signal)
        self.menu_path = self.prop("Menu")

    def _signal(self, bus, sender, path, interface, member, params):
        self.signals.append((interface, member, params.unpack()))

    def call(self, path, interface, method, params=None, reply=None):
        result = self.session.bus.call_sync(self.service, path, interface, method, params,
                                            GLib.VariantType(reply) if reply else None,
                                            Gio.DBusCallFlags.NONE, TIMEOUT_SECONDS * 1000, None)
        return result.unpack() if result is not None else None

    def prop(self, name):
        return self.call(self.path, "org.freedesktop.DBus.Properties", "Get",
                         GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", name)), "(v)")[0]

    def menu(self, method, params=None, reply=None):
        return self.call(self.menu_path, "com.canonical.dbusmenu", method, params, reply)

    def layout(self):
        """The menu as a list of (id, properties) of the top-level entries."""
        _, (root_id, _, children) = self.menu(
            "GetLayout", GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
        return [(child[0], child[1]) for child in children]

    def entry(self, label):
        """(id, properties) of the entry labelled label."""
        for number, props in self.layout():
            if props.get("label") == label:
                return number, props
        raise SessionError("no menu entry %r in %r" % (label, self.layout()))

    def click(self, label):
        number, _ = self.entry(label)
        self.menu("Event", GLib.Variant("(isvu)", (number, "clicked", GLib.Variant("s", ""),
                                                   0)))

    def wait_signal(self, member, what=None, since=0):
        """Waits for a signal named member among those after index since; returns its index."""
        def found():
            return any(signal[1] == member for signal in self.signals[since:])
        self.session.wait_until(found, what or "the signal " + member)
        return next(i for i in range(since, len(self.signals))
                    if self.signals[i][1] == member)

    def wait_label(self, label):
        self.session.wait_until(lambda: self.prop("XAyatanaLabel") == label,
                                "the label %r" % label)


class Accessibility:
    """The accessibility tree of a session, as a screen reader reads it (AT-SPI). One per
    process: libatspi connects to one session's bus for good, so the tests that use it share
    a session."""

    def __init__(self, session):
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = session.address
        os.environ["DISPLAY"] = session.display
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        self.Atspi = Atspi
        Atspi.init()
        self.session = session
        self.events = 0  # accessibility events seen: each wakes a wait to look again
        self.listener = Atspi.EventListener.new(self._event)
        for kind in ("window:", "object:children-changed", "object:state-changed:showing",
                     "object:state-changed:focused", "object:text-changed",
                     "object:state-changed:checked", "object:property-change:accessible-name"):
            self.listener.register(kind)

    def _event(self, event):
        self.events += 1

    def wait_for_alert(self, pid, old=(), timeout=TIMEOUT_SECONDS):
        """The alert of process pid that is open, once it is in the accessibility tree (and
        not among old). Looked for again at every accessibility event or bus message: an
        application registers with the tree asynchronously, so the first alert of a process
        can open before the tree holds it."""
        found = []

        def look():
            found[:] = [alert for alert in self.alerts(pid) if alert not in old]
            return found
        self.session.wait_until(look, "an alert of process %d to open" % pid, timeout)
        return found[0]

    def alerts(self, pid):
        """The open alerts of process pid."""
        desktop = self.Atspi.get_desktop(0)
        alerts = []
        for index in range(desktop.get_child_count()):
            try:
                application = desktop.get_child_at_index(index)
                if application is None or application.get_process_id() != pid:
                    continue
                for window in range(application.get_child_count()):
                    child = application.get_child_at_index(window)
                    if (child.get_role_name() == "alert" and child.get_state_set().contains(
                            self.Atspi.StateType.SHOWING)):
                        alerts.append(child)
            except GLib.Error:
                continue  # an application or window that went away meanwhile
        return alerts

    def nodes(self, root, role=None):
        """Every node under root (depth-first), or those with the role."""
        found, stack = [], [root]
        while stack:
            node = stack.pop()
            if role is None or node.get_role_name() == role:
                found.append(node)
            stack.extend(node.get_child_at_index(i)
                         for i in reversed(range(node.get_child_count())))
        return found

    def window(self, pid, title):
        """The window titled title of process pid, once it is in the tree."""
        found = []

        def look():
            desktop = self.Atspi.get_desktop(0)
            for index in range(desktop.get_child_count()):
                try:
                    application = desktop.get_child_at_index(index)
                    if application is None or application.get_process_id() != pid:
                        continue
                    for child in range(application.get_child_count()):
                        window = application.get_child_at_index(child)
                        if window.get_name() == title:
                            found[:] = [window]
                except GLib.Error:
                    continue
            return found
        self.session.wait_until(look, "the window %r" % title)
        return found[0]

    def text_of(self, node):
        return node.get_text(0, node.get_character_count())

    def texts(self, alert):
        return [label.get_name() for label in self.nodes(alert, "label")]

    def buttons(self, alert):
        """Button titles, left to right."""
        return [button.get_name() for button in self.nodes(alert, "push button")]

    def press(self, alert, title):
        for button in self.nodes(alert, "push button"):
            if button.get_name() == title:
                button.do_action(0)
                return
        raise SessionError("no button %r in %r" % (title, self.buttons(alert)))

    def field(self, alert):
        fields = self.nodes(alert, "text")
        return fields[0] if fields else None

    def field_text(self, alert):
        return self.text_of(self.field(alert))

    def set_field_text(self, alert, value):
        self.field(alert).set_text_contents(value)

    def click(self, node):
        """A real mouse click at the middle of node, as a person gives it."""
        box = node.get_extents(self.Atspi.CoordType.SCREEN)
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                        str(box.y + box.height // 2), "click", "1"],
                       env=self.session.environment(), check=True, timeout=TIMEOUT_SECONDS)

    def is_focused(self, node):
        return node.get_state_set().contains(self.Atspi.StateType.FOCUSED)


def skip_without_tools(test_case):
    missing = missing_tools()
    if missing:
        test_case.skipTest("needs " + ", ".join(missing))
    if not os.access(program_path(), os.X_OK):
        raise SessionError("no program at %s (build the bundle first)" % program_path())


if __name__ == "__main__":
    sys.exit("this module is the graphical tests' harness; run a test_graphical_*.py")
