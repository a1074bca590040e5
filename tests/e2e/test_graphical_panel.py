"""Mindel in a panel: the real bundle on the graphical desktop, read and clicked the way a
panel does it over the session bus, with real key presses on a private X server."""

import os
import shutil
import subprocess
import unittest

from gi.repository import GLib

from graphical import Item, Portal, Session, Watcher, skip_without_tools

CONTROL_ALT_T = [["Control", "Alt", "t"]]
CONTROL_ALT_SLASH = [["Control", "Alt", "slash"]]


def prefs(task=None, nag=0, refresh=5):
    values = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": nag,
              "Val18": refresh}
    if task is not None:
        values["Val16"] = task
    return values


def opaque_colours(pixmap):
    """The distinct (r, g, b) of the pixels of an (w, h, argb bytes) pixmap that show."""
    _, _, data = pixmap
    return {tuple(data[i + 1:i + 4]) for i in range(0, len(data), 4) if data[i] > 0}


class GraphicalPanelTest(unittest.TestCase):
    def setUp(self):
        skip_without_tools(self)
        self.session = Session()
        self.addCleanup(self.session.close)

    def start(self, values, watcher=True, **env):
        self.session.write_prefs(values)
        self.watcher = Watcher(self.session) if watcher else None
        mindel = self.session.start_mindel(**env)
        self.addCleanup(mindel.stop)
        return mindel

    def test_the_item_shows_the_task_its_menu_with_hot_keys_and_a_template_icon(self):
        self.start(prefs(task="Water the plants", nag=1, refresh=7))
        item = self.watcher.wait_for_item()
        self.assertEqual(
            [item.prop(name) for name in ("Id", "Category", "Status", "Title", "ItemIsMenu")],
            ["com.quorv.Mindel", "ApplicationStatus", "Active", "Mindel", True])
        self.assertEqual(item.prop("XAyatanaLabel"), "Water the plants")
        self.assertEqual(item.prop("ToolTip"),
                         ("", [], "Water the plants", "\u26a0\ufe0f Reminder every 7 mins"),
                         "the tooltip names the task and the reminder for panels without labels")

        pixmaps = item.prop("IconPixmap")
        sizes = [width for width, height, _ in pixmaps]
        self.assertTrue({22, 44} <= set(sizes), "a panel needs 22 and 44 pixels: %r" % sizes)
        for width, height, data in pixmaps:
            self.assertEqual((height, len(data)), (width, width * width * 4))
        self.assertEqual(opaque_colours(pixmaps[sizes.index(22)]), {(0, 0, 0)},
                         "the template glyph is black on a light panel")
        # Hosts that look icons up by name find the same picture as a file.
        icon_file = os.path.join(item.prop("IconThemePath"), item.prop("IconName") + ".png")
        with open(icon_file, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

        layout = item.layout()
        labels = [props.get("label", props.get("type")) for _, props in layout]
        self.assertEqual(labels, ["Edit Task", "Clear Task", "separator",
                                  "\u26a0\ufe0f Reminder every 7 mins", "separator",
                                  "Preferences...", "separator", "About...", "separator", "Quit"])
        self.assertEqual(item.entry("Edit Task")[1]["shortcut"], CONTROL_ALT_T)
        self.assertEqual(item.entry("Clear Task")[1]["shortcut"], CONTROL_ALT_SLASH)
        self.assertFalse(item.entry("\u26a0\ufe0f Reminder every 7 mins")[1]["enabled"])
        self.assertTrue(item.entry("Clear Task")[1]["enabled"])

    def test_menu_clicks_and_hot_keys_reach_the_program(self):
        mindel = self.start(prefs(task="Call the bank"))
        item = self.watcher.wait_for_item()

        # A click on Clear Task, as a panel sends it: the label, tooltip and menu follow.
        since = len(item.signals)
        item.click("Clear Task")
        item.wait_signal("XAyatanaNewLabel", since=since)
        self.assertEqual(item.prop("XAyatanaLabel"), "")
        self.assertEqual(item.prop("ToolTip")[2], "Mindel", "with no task the tooltip names Mindel")
        self.assertEqual(self.session.read_prefs()["Val16"], "")
        self.assertFalse(item.entry("Clear Task")[1]["enabled"])
        self.assertIn("Enter Task", [props.get("label") for _, props in item.layout()])

        # Control-Option-T from no application in particular opens the task dialog, which
        # locks the menu: the panel hears of it at once.
        since = len(item.signals)
        self.session.press("ctrl+alt+t")
        item.wait_signal("ItemsPropertiesUpdated", "the menu locked by the task dialog",
                         since=since)
        self.assertFalse(item.entry("Quit")[1]["enabled"])
        mindel.stop()

        # The clear key, with Num Lock on, in a new run with a task.
        self.session.write_prefs(prefs(task="Feed the cat"))
        mindel = self.session.start_mindel()
        self.addCleanup(mindel.stop)
        item = self.watcher.wait_for_item(count=2)
        self.assertEqual(item.prop("XAyatanaLabel"), "Feed the cat")
        self.session.press("Num_Lock")
        self.addCleanup(self.session.press, "Num_Lock")
        since = len(item.signals)
        self.session.press("ctrl+alt+slash")
        item.wait_signal("XAyatanaNewLabel", "the clear key with Num Lock on", since=since)
        self.assertEqual(item.prop("XAyatanaLabel"), "")

    def test_bad_calls_are_refused_and_change_nothing(self):
        self.start(prefs(task="Keep me"))
        item = self.watcher.wait_for_item()
        before = item.layout()
        bad = [
            ("GetLayout", GLib.Variant("(iias)", (987654, -1, []))),
            ("GetLayout", GLib.Variant("(s)", ("everything",))),
            ("Event", GLib.Variant("(isvu)", (-3, "clicked", GLib.Variant("s", ""), 0))),
            ("Event", GLib.Variant("(i)", (1,))),
            ("GetProperty", GLib.Variant("(is)", (1, "x" * 100000))),
            ("EventGroup", GLib.Variant("(a(isvu))", ([(55555, "clicked",
                                                         GLib.Variant("i", 0), 0)],))),
            ("AboutToShow", GLib.Variant("(i)", (2 ** 31 - 1,))),
            ("NoSuchMethod", None),
        ]
        for method, params in bad:
            with self.assertRaises(GLib.Error, msg=method):
                item.menu(method, params)
        # Deep recursion levels and floods of unknown ids answer normally.
        item.menu("GetLayout", GLib.Variant("(iias)", (0, 2 ** 31 - 1, ["label"])))
        (props,) = item.menu("GetGroupProperties",
                             GLib.Variant("(aias)", (list(range(100000, 150000)), [])))
        self.assertEqual(props, [])
        self.assertEqual(item.layout(), before)
        self.assertEqual(item.prop("XAyatanaLabel"), "Keep me")
        self.assertEqual(self.session.read_prefs()["Val16"], "Keep me")

    def test_the_item_registers_again_when_the_panel_restarts_or_first_starts(self):
        mindel = self.start(prefs(task="Stretch"), watcher=False)
        # No panel at all: one line says so, and the item appears once a panel starts.
        mindel.wait_stderr("no StatusNotifierWatcher")
        watcher = Watcher(self.session)
        item = watcher.wait_for_item()
        self.assertEqual(item.prop("XAyatanaLabel"), "Stretch")
        watcher.close()
        restarted = Watcher(self.session)
        item = restarted.wait_for_item()
        self.assertEqual(item.prop("Status"), "Active")
        self.assertEqual(mindel.stderr_text().count("StatusNotifierWatcher"), 1,
                         "the missing panel is said once")

    @unittest.skipIf(shutil.which("trayer") is None, "needs trayer, an X11 system tray")
    def test_without_a_panel_the_icon_docks_in_an_x11_system_tray(self):
        tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right"],
                                env=self.session.environment(), stderr=subprocess.DEVNULL)
        self.session.children.append(tray)
        self.session.wait_tray()
        mindel = self.start(prefs(task="Docked"), watcher=False)
        mindel.wait_stderr("X11 system tray")
        self.session.wait_docked(mindel.process.pid)
        self.assertEqual(mindel.stderr_text().count("no panel shows status items"), 1)

    @unittest.skipIf(shutil.which("trayer") is None, "needs trayer, an X11 system tray")
    def test_a_system_tray_that_starts_later_gets_the_icon(self):
        mindel = self.start(prefs(task="Later"), watcher=False)
        mindel.wait_stderr("its item appears when a panel starts")
        tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right"],
                                env=self.session.environment(), stderr=subprocess.DEVNULL)
        self.session.children.append(tray)
        self.session.wait_docked(mindel.process.pid)

    def test_the_template_glyph_follows_dark_and_light_at_once(self):
        portal = Portal(self.session, scheme=1)
        self.start(prefs(task="Dark"))
        item = self.watcher.wait_for_item()
        # The portal answers after start-up; the glyph turns light when it does.
        self.session.wait_until(
            lambda: opaque_colours(item.prop("IconPixmap")[1]) == {(255, 255, 255)},
            "the light glyph of a dark panel")
        since = len(item.signals)
        portal.change(2)
        item.wait_signal("NewIcon", "the icon after the switch to light", since=since)
        self.assertEqual(opaque_colours(item.prop("IconPixmap")[1]), {(0, 0, 0)})

    def test_quit_and_the_session_ending_end_the_program_with_code_0(self):
        mindel = self.start(prefs(task="Go home"))
        item = self.watcher.wait_for_item()
        icon_folder = item.prop("IconThemePath")
        self.assertTrue(os.listdir(icon_folder))
        item.click("Quit")
        self.assertEqual(mindel.wait_exit("Quit"), 0)
        self.assertFalse(os.path.exists(icon_folder), "the icon file goes with the program")
        (has_owner,) = self.session.bus.call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", GLib.Variant("(s)", (item.service,)), None, 0, -1, None).unpack()
        self.assertFalse(has_owner, "the item leaves the bus")

        # The X server going away ends the session, and Mindel with it.
        self.session.write_prefs(prefs(task="Stored"))
        mindel = self.session.start_mindel()
        self.watcher.wait_for_item(count=2)
        self.session.x_server.terminate()
        self.assertEqual(mindel.wait_exit("the end after the X server"), 0)
        self.assertEqual(self.session.read_prefs()["Val16"], "Stored")

    def test_the_bus_going_away_ends_the_program_with_code_0(self):
        mindel = self.start(prefs(task="Bus"))
        self.watcher.wait_for_item()
        self.session.bus_daemon.terminate()
        self.session.bus_daemon.wait()
        self.assertEqual(mindel.process.wait(60), 0)


if __name__ == "__main__":
    unittest.main()
