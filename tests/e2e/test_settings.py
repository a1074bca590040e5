"""The settings in ~/Library/Preferences/Mindel.plist: the first run, later starts, and the
changes the status menu stores."""

import os
import tempfile
import unittest

from mindel import Mindel

FIRST_RUN_DEFAULTS = {
    "Val1": "\u2303\u2325T",  # ⌃⌥T
    "Val9": "\u2303\u2325/",  # ⌃⌥/
    "Val5": 0,
    "Val7": 0,
    "Val18": 5,
}


class SettingsTest(unittest.TestCase):
    def setUp(self):
        home = tempfile.TemporaryDirectory(prefix="mindel-home-")
        self.addCleanup(home.cleanup)
        self.home = home.name

    def run_mindel(self, **options):
        mindel = Mindel(home=self.home, **options)
        self.addCleanup(mindel.stop)
        return mindel

    def test_first_run_writes_the_defaults_and_a_restart_keeps_them(self):
        mindel = self.run_mindel()
        self.assertIsNone(mindel.read_prefs(), "a fresh home has no defaults file")
        mindel.start()
        self.assertEqual(mindel.read_prefs(), FIRST_RUN_DEFAULTS,
                         "the first run should store exactly the five defaults, and no task")
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

        again = self.run_mindel()
        again.start()
        show = again.show()
        self.assertEqual((show.item(1).key, show.item(1).mods), ("t", "ctrl+alt"))
        self.assertEqual((show.item(2).key, show.item(2).mods), ("/", "ctrl+alt"))
        self.assertEqual(again.read_prefs(), FIRST_RUN_DEFAULTS,
                         "a later start should load the defaults, not rewrite them")
        self.assertEqual(again.send_expecting_exit("menu 6"), 0)

    def test_a_later_start_shows_the_stored_task_and_settings(self):
        mindel = self.run_mindel()
        mindel.write_prefs({"Val1": "\u2303\u2325\u21e7K", "Val9": "\u2318\u2325X",
                            "Val16": "Write the report", "Val5": 0, "Val7": 2, "Val18": 7})
        mindel.start()
        show = mindel.show()
        self.assertEqual(show.status["title"], "Write the report",
                         "the stored task should be the status title")
        self.assertEqual(show.item(1).title, "Edit Task", "with a task, item 1 edits it")
        self.assertEqual((show.item(1).key, show.item(1).mods), ("k", "ctrl+alt+shift"),
                         "⌃⌥⇧K should show as Ctrl+Alt+Shift+K")
        self.assertEqual((show.item(2).key, show.item(2).mods), ("x", "alt+cmd"),
                         "⌘⌥X should show as Cmd+Alt+X")
        self.assertTrue(show.item(2).enabled, "with a task, Clear Task is enabled")
        self.assertEqual(show.item(3).title, "\U0001f5e3\ufe0f Reminder every 7 mins",
                         "a spoken reminder every 7 minutes")
        self.assertFalse(show.item(3).enabled)

    def test_an_empty_defaults_file_reads_as_empty_settings(self):
        mindel = self.run_mindel()
        mindel.write_prefs({})
        mindel.start()
        show = mindel.show()
        self.assertEqual(show.status["title"], "")
        self.assertEqual((show.item(1).title, show.item(1).key, show.item(1).mods),
                         ("Enter Task", "", "-"), "no stored hot key: item 1 shows none")
        self.assertEqual(show.item(3).title, "No Reminder Set")
        self.assertEqual(mindel.read_prefs(), {}, "an existing file is not a first run")

    def test_clear_task_stores_the_empty_task_and_no_reminder(self):
        mindel = self.run_mindel()
        stored = dict(FIRST_RUN_DEFAULTS, Val16="Call the bank", Val7=1, Val18=10)
        mindel.write_prefs(stored)
        mindel.start()
        self.assertEqual(mindel.show().item(3).title, "\u26a0\ufe0f Reminder every 10 mins")

        mindel.send("menu 2")
        show = mindel.show()
        self.assertEqual(show.status["title"], "", "clearing leaves only the icon")
        self.assertEqual(show.item(1).title, "Enter Task")
        self.assertEqual((show.item(1).key, show.item(1).mods), ("t", "ctrl+alt"))
        self.assertFalse(show.item(2).enabled, "nothing left to clear")
        self.assertEqual(show.item(3).title, "No Reminder Set",
                         "clearing the task also switches the reminder off")
        prefs = mindel.read_prefs()
        self.assertEqual((prefs.get("Val16"), prefs.get("Val7")), ("", 0),
                         "the empty task and reminder kind 0 should be stored at once")
        self.assertEqual(prefs.get("Val18"), 10, "the interval is kept")
        answer, _ = mindel.try_send("menu 2")
        self.assertTrue(answer.startswith("error:"), "the disabled Clear Task cannot be chosen")

        # The next start finds the cleared task.
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)
        again = self.run_mindel()
        again.start()
        self.assertEqual(again.show().status["title"], "")

    def test_quitting_keeps_the_task_for_the_next_start(self):
        mindel = self.run_mindel()
        mindel.write_prefs(dict(FIRST_RUN_DEFAULTS, Val16="Ship it"))
        mindel.start()
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)
        self.assertEqual(mindel.read_prefs().get("Val16"), "Ship it")
        again = self.run_mindel()
        again.start()
        self.assertEqual(again.show().status["title"], "Ship it")


if __name__ == "__main__":
    unittest.main()
