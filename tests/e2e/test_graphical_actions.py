"""Mindel's place on the session bus: one Mindel per session, its two actions called the way
launchers, `gapplication action` and the desktop's keyboard settings call them, and its hot
keys on Wayland bound through the GlobalShortcuts portal (a portal written for the tests),
including a portal that refuses, binds only some shortcuts, or goes away."""

import os
import shutil
import signal
import subprocess
import unittest

from gi.repository import Gio, GLib

from graphical import TIMEOUT_SECONDS, Accessibility, Session, Watcher, missing_tools
from mindel import SOURCE_DIR
from shortcuts_portal import ShortcutsPortal

NAME = "com.quorv.Mindel"
PATH = "/com/quorv/Mindel"
# A Wayland display no one serves: Mindel takes the session for Wayland and binds its hot keys
# through the portal; its windows still open on the X server, as through Xwayland.
WAYLAND = {"WAYLAND_DISPLAY": "wayland-mindel-test"}
BUILD_DIR = os.environ.get("MINDEL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")


def prefs(task="Stretch", **values):
    stored = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": 0,
              "Val18": 5, "Val16": task}
    stored.update(values)
    return stored


@unittest.skipIf(missing_tools(), "needs " + ", ".join(missing_tools()))
class GraphicalActionsTest(unittest.TestCase):
    # One session for the file: the accessibility library keeps to the bus it first met.
    @classmethod
    def setUpClass(cls):
        cls.session = Session()
        cls.a11y = Accessibility(cls.session)
        cls.watcher = Watcher(cls.session)
        cls.portal = ShortcutsPortal(cls.session)
        cls.registrations = 0

    @classmethod
    def tearDownClass(cls):
        cls.portal.close()
        cls.session.close()

    def setUp(self):
        self.portal.vanish()
        self.portal.create_response = 0
        self.portal.refused = set()

    def start(self, task="Stretch", **env):
        self.session.write_prefs(prefs(task))
        mindel = self.session.start_mindel(**env)
        self.addCleanup(mindel.stop)
        type(self).registrations += 1
        return mindel, self.watcher.wait_for_item(count=self.registrations)

    def call(self, interface, method, params=None, reply=None):
        """A call of Mindel's exported interfaces by its bus name; a D-Bus error raises."""
        result = self.session.bus.call_sync(
            NAME, PATH, interface, method, params, GLib.VariantType(reply) if reply else None,
            Gio.DBusCallFlags.NONE, TIMEOUT_SECONDS * 1000, None)
        return result.unpack() if result is not None else None

    def call_error(self, interface, method, params):
        with self.assertRaises(GLib.Error) as caught:
            self.call(interface, method, params)
        return Gio.DBusError.get_remote_error(caught.exception)

    def menu_locked(self, item):
        return not item.entry("Quit")[1]["enabled"]

    def cancel_dialog(self, mindel, item):
        alert = self.a11y.wait_for_alert(mindel.process.pid)
        self.a11y.press(alert, "Cancel")
        self.session.wait_until(lambda: not self.menu_locked(item), "the dialog to close")

    def test_the_actions_on_the_bus_post_the_hot_keys_events(self):
        mindel, item = self.start()
        self.assertEqual(self.call("org.gtk.Actions", "List", reply="(as)"),
                         (["enter-task", "clear-task"],))
        self.assertEqual(self.call("org.gtk.Actions", "Describe",
                                   GLib.Variant("(s)", ("clear-task",)), "((bgav))"),
                         ((True, "", []),), "enabled, no parameter, no state")
        self.assertEqual(sorted(self.call("org.gtk.Actions", "DescribeAll",
                                          reply="(a{s(bgav)})")[0]), ["clear-task", "enter-task"])
        self.call("org.freedesktop.Application", "Activate", GLib.Variant("(a{sv})", ({},)))

        # What a desktop's keyboard shortcut runs.
        subprocess.run(["gapplication", "action", NAME, "clear-task"], check=True,
                       env=self.session.environment(), timeout=TIMEOUT_SECONDS)
        item.wait_label("")
        self.assertEqual(self.session.read_prefs()["Val16"], "", "cleared and stored")

        # Bad calls change nothing and are answered with errors.
        self.assertEqual(self.call_error("org.freedesktop.Application", "ActivateAction",
                                         GLib.Variant("(sava{sv})", ("quit", [], {}))),
                         "org.freedesktop.DBus.Error.InvalidArgs")
        self.assertEqual(self.call_error("org.gtk.Actions", "Activate", GLib.Variant(
            "(sava{sv})", ("enter-task", [GLib.Variant("s", "Water")], {}))),
                         "org.freedesktop.DBus.Error.InvalidArgs", "the actions take nothing")
        self.assertEqual(self.call_error("org.freedesktop.Application", "Open", GLib.Variant(
            "(asa{sv})", (["file:///etc/passwd"], {}))), "org.freedesktop.DBus.Error.NotSupported")
        self.assertEqual(self.call_error("org.gtk.Actions", "Describe",
                                         GLib.Variant("(s)", ("x" * 10000,))),
                         "org.freedesktop.DBus.Error.InvalidArgs")
        self.assertFalse(self.menu_locked(item), "no dialog came of them")

        # Enter Task opens the dialog; a clear-task meanwhile is acted on after it, as the
        # hot key's would be.
        self.call("org.freedesktop.Application", "ActivateAction",
                  GLib.Variant("(sava{sv})", ("enter-task", [], {})))
        alert = self.a11y.wait_for_alert(mindel.process.pid)
        self.a11y.set_field_text(alert, "Water")
        self.a11y.press(alert, "Save")
        item.wait_label("Water")
        self.call("org.freedesktop.Application", "ActivateAction",
                  GLib.Variant("(sava{sv})", ("enter-task", [], {})))
        alert = self.a11y.wait_for_alert(mindel.process.pid)
        self.call("org.gtk.Actions", "Activate",
                  GLib.Variant("(sava{sv})", ("clear-task", [], {})))
        self.assertEqual(item.prop("XAyatanaLabel"), "Water", "nothing happens while it is open")
        self.a11y.press(alert, "Cancel")
        item.wait_label("")

    def test_an_action_starts_the_installed_mindel_through_the_bus(self):
        # Installed for real under a prefix, and the session's bus told of its service file.
        prefix = os.path.join(self.session.dir, "prefix \u00c4")
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                       capture_output=True, timeout=TIMEOUT_SECONDS)
        services = os.path.join(self.session.xdg["XDG_DATA_HOME"], "dbus-1", "services")
        os.makedirs(services, exist_ok=True)
        shutil.copy(os.path.join(prefix, "share", "dbus-1", "services", NAME + ".service"),
                    services)
        self.session.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "ReloadConfig", None, None,
                                   Gio.DBusCallFlags.NONE, TIMEOUT_SECONDS * 1000, None)
        self.session.write_prefs(prefs("Stretch"))

        # What a launcher's action or a keyboard shortcut runs while Mindel is not running.
        subprocess.run(["gapplication", "action", NAME, "clear-task"], check=True,
                       env=self.session.environment(), timeout=TIMEOUT_SECONDS)
        type(self).registrations += 1
        item = self.watcher.wait_for_item(count=self.registrations)
        pid = self.session.bus.call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "GetConnectionUnixProcessID", GLib.Variant("(s)", (NAME,)), GLib.VariantType("(u)"),
            Gio.DBusCallFlags.NONE, TIMEOUT_SECONDS * 1000, None).unpack()[0]
        self.addCleanup(self.end_started_by_the_bus, pid)
        self.assertEqual(os.path.realpath("/proc/%d/exe" % pid),
                         os.path.realpath(os.path.join(prefix, "bin", "mindel")))
        item.wait_label("")

    def end_started_by_the_bus(self, pid):
        gone = []
        watch = Gio.bus_watch_name_on_connection(self.session.bus, NAME,
                                                 Gio.BusNameWatcherFlags.NONE, None,
                                                 lambda *a: gone.append(1))
        os.kill(pid, signal.SIGTERM)
        self.session.wait_until(lambda: gone, "the started Mindel to leave the bus")
        Gio.bus_unwatch_name(watch)

    def test_a_second_mindel_ends_and_leaves_the_first_be(self):
        mindel, item = self.start()
        second = self.session.start_mindel()
        self.addCleanup(second.stop)
        self.assertEqual(second.wait_exit(), 0)
        self.assertIn("already running", second.stderr_text())
        self.assertEqual(len(self.watcher.items), self.registrations, "no second item")
        self.assertEqual(item.prop("XAyatanaLabel"), "Stretch", "the first goes on")
        self.assertIsNone(mindel.process.poll())

    def test_a_name_held_by_another_program_leaves_the_actions_off_the_bus(self):
        acquired = []
        owner = Gio.bus_own_name_on_connection(self.session.bus, NAME, Gio.BusNameOwnerFlags.NONE,
                                               lambda *a: acquired.append(1), None)
        self.addCleanup(Gio.bus_unown_name, owner)
        self.session.wait_until(lambda: acquired, "the name")
        mindel, item = self.start()
        mindel.wait_stderr("another program")
        self.assertEqual(item.prop("XAyatanaLabel"), "Stretch", "Mindel runs all the same")

    def test_on_wayland_the_portal_binds_both_hot_keys_and_activates_them(self):
        self.portal.appear()
        binds = len(self.portal.binds)
        mindel, item = self.start(**WAYLAND)
        self.assertEqual(self.portal.wait_binds(binds + 1), [
            ("enter-task", "Enter Task", "CTRL+ALT+t"),
            ("clear-task", "Clear Task", "CTRL+ALT+slash")])
        self.session.wait_until(lambda: "Clear Task: Ctrl+Alt+/" in item.prop("ToolTip")[3],
                                "the tooltip to name the bound keys")
        self.assertIn("Enter Task: Ctrl+Alt+T", item.prop("ToolTip")[3])

        # The person binds another key in the desktop's settings: the tooltip follows.
        self.portal.change({"enter-task": "Super+E", "clear-task": "Ctrl+Alt+/"})
        self.session.wait_until(lambda: "Enter Task: Super+E" in item.prop("ToolTip")[3],
                                "the tooltip to name the new key")

        # Activations of another session or of an unknown shortcut do nothing.
        self.portal.activate("clear-task", session=self.portal.last_session() + "x")
        self.portal.activate("quit")
        self.portal.activate("clear-task")
        item.wait_label("")
        self.portal.activate("enter-task")
        self.session.wait_until(lambda: self.menu_locked(item), "the task dialog")
        self.cancel_dialog(mindel, item)

        # A key set in the preferences window is bound anew.
        item.click("Preferences...")
        window = self.a11y.window(mindel.process.pid, "Preferences")
        task_key = self.a11y.nodes(window, "text")[0]
        self.a11y.click(task_key)
        self.session.press("ctrl+alt+k")
        self.session.wait_until(lambda: self.a11y.text_of(task_key) == "\u2303\u2325K",
                                "the field to show the combination")
        self.a11y.nodes(window, "push button")[0].do_action(0)
        self.assertIn(("enter-task", "Enter Task", "CTRL+ALT+k"),
                      self.portal.wait_binds(binds + 2))
        self.session.close_window("Preferences")
        self.session.wait_until(lambda: not self.menu_locked(item), "the window to close")

    def test_shortcuts_the_portal_does_not_bind_are_said_once(self):
        self.portal.appear()
        self.portal.refused = {"clear-task"}
        binds = len(self.portal.binds)
        mindel, item = self.start(**WAYLAND)
        self.portal.wait_binds(binds + 1)
        mindel.wait_stderr("did not bind the hot key CTRL+ALT+slash (Clear Task)")
        self.session.wait_until(lambda: "Enter Task: Ctrl+Alt+T" in item.prop("ToolTip")[3],
                                "the tooltip to name the bound key")
        self.assertNotIn("Clear Task:", item.prop("ToolTip")[3])

        # The portal goes away and comes back: a new session, bound again.
        sessions = len(self.portal.sessions)
        self.portal.vanish()
        mindel.wait_stderr("portal went away")
        self.session.wait_until(lambda: "Enter Task:" not in item.prop("ToolTip")[3],
                                "the tooltip to drop the keys")
        self.portal.appear()
        self.portal.wait_binds(binds + 2)
        self.assertEqual(len(self.portal.sessions), sessions + 1)
        self.portal.activate("enter-task")
        self.session.wait_until(lambda: self.menu_locked(item), "the task dialog")
        self.cancel_dialog(mindel, item)
        self.assertEqual(mindel.stderr_text().count("did not bind"), 1, "said once")

    def test_a_declined_or_missing_portal_falls_back_to_key_grabs(self):
        for present in (True, False):
            with self.subTest(portal="declines" if present else "missing"):
                if present:
                    self.portal.appear()
                    self.portal.create_response = 1
                mindel, item = self.start(**WAYLAND)
                mindel.wait_stderr("key grabs on the X server instead")
                self.assertIn("declined" if present else "no global shortcuts",
                              mindel.stderr_text())
                # The X server's grab works for a key pressed while an X11 program has it.
                self.session.press("ctrl+alt+slash")
                item.wait_label("")
                mindel.stop()
                self.portal.vanish()


if __name__ == "__main__":
    unittest.main()
