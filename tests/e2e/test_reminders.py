"""Reminders: the alert and the spoken sentence every N minutes of (virtual) time, nothing
without a task, and the status icon for each appearance."""

import os
import plistlib
import unittest

from mindel import Mindel


def prefs(task=None, nag=1, refresh=2):
    values = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": nag,
              "Val18": refresh}
    if task is not None:
        values["Val16"] = task
    return values


class RemindersTest(unittest.TestCase):
    def run_mindel(self, values, **options):
        mindel = Mindel(**options)
        self.addCleanup(mindel.stop)
        mindel.write_prefs(values)
        return mindel.start()

    def test_an_alert_reminder_comes_every_interval_until_dismissed(self):
        mindel = self.run_mindel(prefs(task="Buy milk", nag=1, refresh=2))
        show = mindel.show()
        self.assertIn((0, 1, 120000), show.timers, "Refresh 2 should run a 120000 ms timer")
        self.assertEqual(show.item(3).title, "\u26a0\ufe0f Reminder every 2 mins")
        mindel.send("advance 1m")
        self.assertEqual(mindel.reports_of("alert"), [], "no reminder before the interval")
        mindel.send("advance 1m")
        alert = mindel.show().alert
        self.assertIsNotNone(alert, "a reminder alert should be open after 2 minutes")
        self.assertEqual(alert["message"], 'Task reminder for "Buy milk"\n')
        self.assertEqual(alert["informative"], "")
        self.assertEqual(alert["buttons"], ["Ok"], "the reminder has exactly one button, Ok")
        self.assertEqual(alert["icon"], "app_fancy_icon.png", "alerts carry the fancy icon")
        mindel.send("press Ok")
        self.assertIsNone(mindel.show().alert, "Ok should close the reminder")
        self.assertFalse(mindel.show().item(3).enabled, "the reminder line stays disabled")
        mindel.send("advance 2m")
        self.assertEqual(len(mindel.reports_of("alert")), 2, "the next interval reminds again")
        self.assertEqual(mindel.recorded_calls(), [], "an alert reminder speaks nothing")

    def test_a_spoken_reminder_runs_the_speech_command_with_the_sentence(self):
        mindel = self.run_mindel(prefs(task="Stretch your legs", nag=2, refresh=2))
        self.assertEqual(mindel.show().item(3).title,
                         "\U0001f5e3\ufe0f Reminder every 2 mins")
        mindel.send("advance 2m")
        calls = mindel.wait_calls(1)
        self.assertEqual(calls, [["spd-say", "This is a task reminder for Stretch your legs"]],
                         "spd-say should get the whole sentence as one argument")
        self.assertEqual(mindel.reports_of("speak"),
                         ['"This is a task reminder for Stretch your legs"'])
        self.assertIsNone(mindel.show().alert, "a spoken reminder shows no alert")
        mindel.send("advance 2m")
        self.assertEqual(len(mindel.wait_calls(1)), 1, "the next interval speaks again")

    def test_without_a_task_no_reminder_is_given(self):
        for nag in (1, 2):
            mindel = self.run_mindel(prefs(nag=nag, refresh=1))
            mindel.send("advance 3m")
            self.assertIsNone(mindel.show().alert, "no task: no alert (kind %d)" % nag)
            self.assertEqual(mindel.reports_of("speak"), [], "no task: nothing spoken")
            self.assertEqual(mindel.recorded_calls(), [], "no task: no speech command")

    def test_the_status_icon_follows_the_appearance_at_start(self):
        light = self.run_mindel(prefs(nag=0))
        self.assertEqual(light.show().status["image"], "app_icon.png")
        self.assertEqual(light.show().timers, [], "kind 0 runs no reminder timer")
        dark = self.run_mindel(prefs(nag=0), appearance="dark")
        self.assertEqual(dark.show().status["image"], "inv_app_icon.png",
                         "the dark appearance should show the inverted icon")

    def test_each_build_of_the_status_item_reads_the_appearance_afresh(self):
        mindel = self.run_mindel(prefs(nag=0))
        global_prefs = os.path.join(mindel.home, "Library", "Preferences",
                                    ".GlobalPreferences.plist")
        gtk_settings = os.path.join(mindel.home, ".config", "gtk-3.0", "settings.ini")
        os.makedirs(os.path.dirname(gtk_settings))

        def rebuild():
            """Opens and closes the preferences window: its close rebuilds the status item."""
            mindel.send("menu 4")
            mindel.send("close 1")
            return mindel.show().status["image"]

        self.assertEqual(mindel.show().status["image"], "app_icon.png")
        with open(global_prefs, "wb") as f:
            plistlib.dump({"AppleInterfaceStyle": "Dark"}, f)
        self.assertEqual(mindel.show().status["image"], "app_icon.png",
                         "a change of appearance waits for the next build")
        self.assertEqual(rebuild(), "inv_app_icon.png",
                         "the global preferences file switched to dark before this build")
        os.remove(global_prefs)
        self.assertEqual(rebuild(), "app_icon.png", "and back to light")
        with open(gtk_settings, "w", encoding="utf-8") as f:
            f.write("[Settings]\ngtk-application-prefer-dark-theme=1\n")
        self.assertEqual(rebuild(), "inv_app_icon.png",
                         "the desktop's colour scheme switched to dark")
        os.remove(gtk_settings)
        self.assertEqual(rebuild(), "app_icon.png")


if __name__ == "__main__":
    unittest.main()
