"""The two global hot keys: what the program registers from the stored shortcut texts, and
what a press of each does."""

import unittest

from mindel import Mindel

CTRL_ALT = 4096 + 2048  # Carbon control + option


def prefs(task=None, nag=0, refresh=5, add="\u2303\u2325T", clear="\u2303\u2325/"):
    values = {"Val1": add, "Val9": clear, "Val5": 0, "Val7": nag, "Val18": refresh}
    if task is not None:
        values["Val16"] = task
    return values


class HotKeysTest(unittest.TestCase):
    def run_mindel(self, values, **options):
        mindel = Mindel(**options)
        self.addCleanup(mindel.stop)
        mindel.write_prefs(values)
        return mindel.start()

    def test_the_stored_shortcuts_are_registered_by_key_code_and_modifiers(self):
        mindel = self.run_mindel(prefs())
        self.assertEqual(sorted(mindel.show().hotkeys), [(17, CTRL_ALT), (44, CTRL_ALT)],
                         "⌃⌥T should register key code 17 and ⌃⌥/ key code 44, both with 6144")

        # Glyph keys, named keys and shifted symbols; a key outside the table is not
        # registered, and its menu item still shows it.
        other = self.run_mindel(prefs(add="\u2318\u238b", clear="\u21e7!"))
        self.assertEqual(sorted(other.show().hotkeys), [(18, 512), (53, 256)],
                         "⌘⎋ should register Esc (53) with 256 and ⇧! key code 18 with 512")
        named = self.run_mindel(prefs(add="\u2303\u2325F5", clear="\u2303\u2325\u2190"))
        self.assertEqual(named.show().hotkeys, [(96, CTRL_ALT)],
                         "⌃⌥F5 should register key code 96; ⌃⌥← is not a registrable key")
        words = self.run_mindel(prefs(add="\u2303\u2325Space", clear="\u2303\u2325Tab"))
        self.assertEqual(sorted(words.show().hotkeys), [(48, CTRL_ALT), (49, CTRL_ALT)],
                         "⌃⌥Tab should register key code 48 and ⌃⌥Space key code 49")
        bare = self.run_mindel(prefs(add="\u2303\u2325t", clear="F5"))
        self.assertEqual(bare.show().hotkeys, [(96, 0)],
                         "a lower-case t is no key; F5 alone registers with no modifiers")

    def test_the_clear_key_clears_the_task_and_switches_the_reminder_off(self):
        mindel = self.run_mindel(prefs(task="Water the plants", nag=1, refresh=3))
        mindel.send("hotkey ctrl+alt+/")
        show = mindel.show()
        self.assertEqual(show.status["title"], "", "the clear key should empty the title")
        self.assertEqual(show.item(1).title, "Enter Task", "with no task item 1 enters one")
        self.assertFalse(show.item(2).enabled, "with no task Clear Task is disabled")
        self.assertEqual(show.item(3).title, "No Reminder Set")
        stored = mindel.read_prefs()
        self.assertEqual((stored["Val16"], stored["Val7"]), ("", 0),
                         "clearing should store the empty task and reminder kind 0")
        self.assertIn((0, 1, 180000), show.timers,
                      "the reminder timer keeps running; its events find kind 0")
        mindel.send("advance 3m")
        self.assertEqual(mindel.reports_of("alert"), [], "a cleared task is not reminded of")

    def test_an_unregistered_combination_does_nothing(self):
        mindel = self.run_mindel(prefs(task="Call home"))
        answer, _ = mindel.try_send("hotkey ctrl+alt+x")
        self.assertTrue(answer.startswith("error:"), "the desktop should refuse an unheld key")
        self.assertEqual(mindel.show().status["title"], "Call home",
                         "a combination that is not registered should change nothing")

    def test_the_desktop_actions_post_the_hot_keys_events(self):
        mindel = self.run_mindel(prefs(task="Call home"))
        mindel.send("action clear-task")
        self.assertEqual(mindel.show().status["title"], "", "clear-task clears as the key does")

        # enter-task opens the dialog; a clear-task meanwhile waits until it is closed.
        mindel.send("action enter-task")
        self.assertEqual(len(mindel.reports_of("alert")), 1, "the task dialog opened")
        mindel.send("type Water")
        mindel.send("press Save")
        mindel.send("action enter-task")
        mindel.send("action clear-task")
        self.assertEqual(mindel.show().status["title"], "Water", "nothing while it is open")
        mindel.send("press Cancel")
        self.assertEqual(mindel.show().status["title"], "", "then the clear-task is acted on")

        # Dropped while the preferences window runs its own loop, as a hot key is.
        mindel.send("action enter-task")
        mindel.send("type Tea")
        mindel.send("press Save")
        mindel.send("menu 4")
        mindel.send("action clear-task")
        mindel.send("close 1")
        self.assertEqual(mindel.show().status["title"], "Tea")

        answer, _ = mindel.try_send("action quit")
        self.assertTrue(answer.startswith("error:"), "the program offers no such action")


if __name__ == "__main__":
    unittest.main()
