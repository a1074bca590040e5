"""Mindel's alerts on the graphical desktop: the task dialog, the about box and the menu locked
while they are open, and the reminder (under a fast clock), read and driven through the
accessibility tree and real key presses, the way a person with a keyboard or a screen reader
meets them."""

import os
import unittest

from graphical import Accessibility, Session, Watcher, skip_without_tools, missing_tools

TASK_LIMIT = 45  # the task-length limit on a 1920-point screen


def prefs(task=None):
    values = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": 0,
              "Val18": 5}
    if task is not None:
        values["Val16"] = task
    return values


@unittest.skipIf(missing_tools(), "needs " + ", ".join(missing_tools()))
class GraphicalAlertsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = Session()
        cls.watcher = Watcher(cls.session)
        cls.a11y = Accessibility(cls.session)
        cls.runs = 0

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        skip_without_tools(self)

    def start(self, values, **env):
        self.session.write_prefs(values)
        mindel = self.session.start_mindel(**env)
        self.addCleanup(mindel.stop)
        type(self).runs += 1
        return mindel, self.watcher.wait_for_item(count=self.runs)

    def open_from_menu(self, mindel, item, label):
        item.click(label)
        return self.a11y.wait_for_alert(mindel.process.pid)

    def wait_closed(self, mindel, item):
        self.session.wait_until(lambda: item.entry("Quit")[1]["enabled"]
                                and not self.a11y.alerts(mindel.process.pid),
                                "the alerts to close")

    def test_entering_editing_and_cancelling_the_task(self):
        mindel, item = self.start(prefs())
        alert = self.open_from_menu(mindel, item, "Enter Task")
        self.assertEqual(self.a11y.buttons(alert), ["Cancel", "Save"],
                         "Save, added first, is the rightmost")
        field = self.a11y.field(alert)
        self.session.wait_until(lambda: self.a11y.is_focused(field), "the field to have the focus")
        self.assertFalse(item.entry("Quit")[1]["enabled"], "the menu is locked meanwhile")
        self.session.press("W", "a", "t", "e", "r")
        self.session.press("Return")
        item.wait_label("Water")
        self.assertEqual(self.session.read_prefs()["Val16"], "Water")
        self.assertTrue(item.entry("Quit")[1]["enabled"], "the menu is unlocked afterwards")

        # Editing shows the task selected; typing replaces it; Escape cancels.
        alert = self.open_from_menu(mindel, item, "Edit Task")
        self.assertEqual(self.a11y.field_text(alert), "Water")
        self.session.press("x")
        self.session.press("Escape")
        self.wait_closed(mindel, item)
        self.assertEqual(item.prop("XAyatanaLabel"), "Water", "Cancel changes nothing")

        # Pasted text is cut to the limit, without its line breaks.
        alert = self.open_from_menu(mindel, item, "Edit Task")
        self.a11y.set_field_text(alert, "line one\nline two\t" + "x" * 100000)
        self.a11y.press(alert, "Save")
        self.session.wait_until(lambda: item.prop("XAyatanaLabel") != "Water", "the long task")
        label = item.prop("XAyatanaLabel")
        self.assertEqual(len(label), TASK_LIMIT + len("..."), label)
        self.assertTrue(label.endswith("..."), "a cut task ends in an ellipsis")
        self.assertTrue(label.startswith("line one line two x"),
                        "line breaks and tabs of a single-line field become spaces: %r" % label)

    def test_a_second_enter_key_while_the_dialog_is_open_acts_afterwards(self):
        mindel, item = self.start(prefs(task="First"))
        self.session.press("ctrl+alt+t")
        alert = self.a11y.wait_for_alert(mindel.process.pid)
        self.session.press("ctrl+alt+t")
        self.a11y.press(alert, "Cancel")
        second = self.a11y.wait_for_alert(mindel.process.pid, old=[alert])
        self.assertEqual(self.a11y.field_text(second), "First")
        self.a11y.press(second, "Cancel")
        self.wait_closed(mindel, item)

    def test_the_about_box_names_the_version_and_closes_with_its_default_button(self):
        mindel, item = self.start(prefs())
        alert = self.open_from_menu(mindel, item, "About...")
        texts = self.a11y.texts(alert)
        self.assertIn("Mindel 1.06", texts[0])
        self.assertEqual(self.a11y.buttons(alert), ["See My Other Apps", "Ok"])
        self.assertIsNone(self.a11y.field(alert))
        self.session.press("Return")
        self.wait_closed(mindel, item)

    def test_the_reminder_alert_names_the_task_and_leaves_the_menu_to_act_afterwards(self):
        # A clock 20 times faster: the shortest interval, 2 minutes, passes in 6 real seconds,
        # time enough to answer the reminder and what was chosen meanwhile before the next one.
        values = dict(prefs(task="Water the plants"), Val7=1, Val18=2)
        mindel, item = self.start(values, MINDEL_CLOCK="fast:20")
        alert = self.a11y.wait_for_alert(mindel.process.pid)
        self.assertEqual(self.a11y.texts(alert), ['Task reminder for "Water the plants"\n'],
                         "the whole sentence is the message; no informative text")
        self.assertEqual(self.a11y.buttons(alert), ["Ok"])
        self.assertIsNone(self.a11y.field(alert))
        # Unlike the dialogs, the reminder leaves the menu as it was; a choice made meanwhile
        # waits until the reminder is answered.
        self.assertTrue(item.entry("Quit")[1]["enabled"], "the reminder does not lock the menu")
        item.click("About...")
        self.session.press("Return")
        about = self.a11y.wait_for_alert(mindel.process.pid, old=[alert])
        self.assertIn("Mindel 1.06", self.a11y.texts(about)[0])
        self.assertEqual(self.a11y.alerts(mindel.process.pid), [about], "the reminder is gone")
        self.session.press("Return")
        self.wait_closed(mindel, item)
        self.assertNotIn("MINDEL_CLOCK", mindel.stderr_text(), "the fast clock is taken")

    def test_the_display_going_away_with_a_dialog_open_ends_mindel_with_code_0(self):
        session = Session()  # a session of its own: this one loses its X server
        self.addCleanup(session.close)
        session.write_prefs(prefs(task="Kept"))
        watcher = Watcher(session)
        mindel = session.start_mindel()
        item = watcher.wait_for_item()
        since = len(item.signals)
        item.click("Edit Task")
        item.wait_signal("ItemsPropertiesUpdated", "the dialog to open", since=since)
        session.x_server.terminate()
        self.assertEqual(mindel.wait_exit("the end after the X server"), 0, mindel.stderr_text())
        self.assertEqual(session.read_prefs()["Val16"], "Kept")


if __name__ == "__main__":
    unittest.main()
