"""The preferences window on the graphical desktop: every gadget driven through the
accessibility tree and real keys, each change stored at once, a hot key set with a real key
combination, one that cannot be a hot key answered with the "Error" message, and the window's
close box rebuilding the status item; keys a Mac keyboard has no code for leave the shortcut
field alone, and the window has the keyboard again after the message."""

import os
import subprocess
import unittest

from graphical import Accessibility, Session, Watcher, missing_tools

CTRL_ALT_K = [["Control", "Alt", "k"]]


def prefs(**values):
    stored = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": 0,
              "Val18": 5, "Val16": "Stretch"}
    stored.update(values)
    return stored


@unittest.skipIf(missing_tools(), "needs " + ", ".join(missing_tools()))
class GraphicalPreferencesTest(unittest.TestCase):
    # One session for the file: the accessibility library keeps to the bus it first met.
    @classmethod
    def setUpClass(cls):
        cls.session = Session()
        cls.a11y = Accessibility(cls.session)
        cls.watcher = Watcher(cls.session)
        cls.registrations = 0
        cls.prefs_folder = os.path.join(cls.session.home, "Library", "Preferences")
        cls.session.watch_folder(cls.prefs_folder)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def start(self, **env):
        mindel = self.session.start_mindel(**env)
        self.addCleanup(mindel.stop)
        type(self).registrations += 1
        return mindel, self.watcher.wait_for_item(count=self.registrations)

    def open_preferences(self):
        """Mindel with the usual settings and its preferences window open."""
        self.session.write_prefs(prefs())
        mindel, item = self.start()
        item.click("Preferences...")
        return mindel, item, self.a11y.window(mindel.process.pid, "Preferences")

    def stored(self, key, value):
        self.session.wait_until(lambda: self.session.read_prefs().get(key) == value,
                                "%s to be stored as %r" % (key, value))

    def test_every_gadget_stores_at_once_and_closing_rebuilds_the_item(self):
        session, a11y = self.session, self.a11y
        mindel, item, window = self.open_preferences()
        self.assertFalse(item.entry("Quit")[1]["enabled"], "the menu is locked meanwhile")
        labels = [node.get_name() for node in a11y.nodes(window, "label")]
        self.assertEqual(labels, ["Set Task Key", "Set Clear Key", "Select Reminder",
                                  "Reminder Interval (minutes)"])
        task_key, clear_key, interval = a11y.nodes(window, "text")
        self.assertEqual([a11y.text_of(task_key), a11y.text_of(clear_key)],
                         ["\u2303\u2325T", "\u2303\u2325/"])

        # The reminder kind: a choice in the pop-up.
        popup = a11y.nodes(window, "combo box")[0]
        self.assertEqual([node.get_name() for node in a11y.nodes(popup, "menu item")],
                         ["None", "Alert Box", "Spoken Reminder"])
        popup.select_child(2)
        self.stored("Val7", 2)

        # The interval: the stepper's up arrow.
        up = next(node for node in a11y.nodes(window, "push button") if node.get_name() == "Up")
        session.wait_until(lambda: up.get_state_set().contains(a11y.Atspi.StateType.SENSITIVE),
                           "the stepper to be enabled with a reminder chosen")
        up.do_action(0)
        self.stored("Val18", 6)
        session.wait_until(lambda: a11y.text_of(interval) == "6", "the field to show 6")

        # Start at login: the bundle's own helper writes the autostart entry.
        autostart = os.path.join(session.xdg["XDG_CONFIG_HOME"], "autostart")
        session.watch_folder(autostart)
        entry = os.path.join(autostart, "com.quorv.Mindel.desktop")
        check = a11y.nodes(window, "check box")[0]
        check.do_action(0)
        self.stored("Val5", 1)
        session.wait_until(lambda: os.path.exists(entry), "the autostart entry")
        check.do_action(0)
        self.stored("Val5", 0)
        session.wait_until(lambda: not os.path.exists(entry), "the autostart entry to go")

        # A hot key from a real key combination typed into the shortcut field.
        # The click gives the field the keyboard before the key arrives: the X server keeps
        # the order of the two.
        a11y.click(task_key)
        session.press("ctrl+alt+k")
        session.wait_until(lambda: a11y.text_of(task_key) == "\u2303\u2325K",
                           "the field to show the combination")
        set_task = a11y.nodes(window, "push button")[0]
        set_task.do_action(0)
        self.stored("Val1", "\u2303\u2325K")

        # The close box: the window closes and the item is built anew with the new key.
        since = len(item.signals)
        session.close_window("Preferences")
        item.wait_signal("LayoutUpdated", "the menu built anew", since=since)
        self.assertEqual(item.entry("Edit Task")[1]["shortcut"], CTRL_ALT_K)
        self.assertIn("\U0001f5e3", item.prop("ToolTip")[3], "the spoken reminder's line")

    def test_keys_with_no_mac_key_code_leave_the_shortcut_field_as_it_was(self):
        session, a11y = self.session, self.a11y
        mindel, item, window = self.open_preferences()
        task_key = a11y.nodes(window, "text")[0]
        set_task = a11y.nodes(window, "push button")[0]
        # Media keys, dead keys and compose: a Mac keyboard has no key code for them.
        no_code = ["XF86AudioPlay", "XF86AudioMute", "dead_acute", "dead_diaeresis", "Multi_key"]
        a11y.click(task_key)
        session.press(*no_code)
        session.press("ctrl+alt+k")  # a compose or dead key started before does not take it
        session.wait_until(lambda: a11y.text_of(task_key) == "\u2303\u2325K",
                           "the combination after the keys without a code")
        session.press(*no_code)
        # A real click: the X server hands it over after the keys, so the button reads the
        # field's text once they have been handled.
        a11y.click(set_task)
        self.stored("Val1", "\u2303\u2325K")
        self.assertEqual(a11y.text_of(task_key), "\u2303\u2325K")
        self.assertEqual(a11y.alerts(mindel.process.pid), [], "no error message")
        self.assertIsNone(mindel.process.poll(), mindel.stderr_text())

    def test_a_combination_that_cannot_be_a_hot_key_gets_the_error_message(self):
        # (A combination another program holds never reaches the field on X11: the holder's
        # grab takes the key first. platform_x11 covers that refusal.)
        session, a11y = self.session, self.a11y
        mindel, item, window = self.open_preferences()
        task_key = a11y.nodes(window, "text")[0]
        # The click gives the field the keyboard before the key arrives: the X server keeps
        # the order of the two.
        a11y.click(task_key)
        session.press("t")
        session.wait_until(lambda: a11y.text_of(task_key) == "T", "the bare letter")
        a11y.nodes(window, "push button")[0].do_action(0)
        alert = a11y.wait_for_alert(mindel.process.pid)
        self.assertEqual(a11y.texts(alert)[0], "Error")
        self.assertIn("\u2303\u2325T", a11y.texts(alert)[1], "the message names the last key")
        self.assertEqual(a11y.buttons(alert), ["OK"])
        # The pointer away from the window: without a window manager, X gives the keyboard to
        # whatever is under the pointer when the focused window goes.
        subprocess.run(["xdotool", "mousemove", "0", "0"], env=session.environment(),
                       check=True, timeout=60)
        session.press("Return")
        session.wait_until(lambda: a11y.text_of(task_key) == "\u2303\u2325T",
                           "the last shortcut shown again")
        self.assertEqual(session.read_prefs()["Val1"], "\u2303\u2325T")

        # The window that was key before the message is key again, its field still with the
        # keyboard: the next combination goes there.
        session.wait_until(lambda: window.get_state_set().contains(a11y.Atspi.StateType.ACTIVE),
                           "the preferences window to be active again")
        session.press("ctrl+alt+j")
        session.wait_until(lambda: a11y.text_of(task_key) == "\u2303\u2325J",
                           "the combination typed after the message in the field")


if __name__ == "__main__":
    unittest.main()
