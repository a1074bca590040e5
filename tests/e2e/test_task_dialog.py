"""The task dialog: entering, editing and cancelling the task, and how the entered text is
cut and cleaned before it becomes the status title and the stored task."""

import tempfile
import unittest

from mindel import Mindel, named, parse_fields

FORBIDDEN = ';"`><{}[]'


def utf16_units(text):
    return len(text.encode("utf-16-le")) // 2


class TaskDialogTest(unittest.TestCase):
    def setUp(self):
        home = tempfile.TemporaryDirectory(prefix="mindel-home-")
        self.addCleanup(home.cleanup)
        self.home = home.name

    def run_mindel(self, task=None, **options):
        """A started run; with task, as an earlier run would have left that task stored."""
        mindel = Mindel(home=self.home, **options)
        self.addCleanup(mindel.stop)
        if task is not None:
            mindel.write_prefs({"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/",
                                "Val16": task, "Val5": 0, "Val7": 0, "Val18": 5})
        return mindel.start()

    def open_dialog(self, mindel, command="menu 1"):
        """Opens the task dialog; answers the fields of its alert report."""
        before = len(mindel.reports_of("alert"))
        mindel.send(command)
        alerts = mindel.reports_of("alert")
        self.assertEqual(len(alerts), before + 1, "%r should open one alert" % command)
        return named(parse_fields(alerts[-1]))

    def enter(self, mindel, text):
        """Opens the dialog, types text over the field's selected text and saves."""
        self.open_dialog(mindel)
        mindel.send("type " + text)
        mindel.send("press Save")
        return mindel.show()

    def assert_task(self, mindel, show, task):
        self.assertIsNone(show.alert, "the dialog should be closed")
        self.assertEqual(show.status["title"], task, "the status title should be the task")
        self.assertEqual(mindel.read_prefs().get("Val16"), task,
                         "the task should be stored under Val16")
        self.assertEqual(show.item(1).title, "Edit Task" if task else "Enter Task")
        self.assertEqual(show.item(2).enabled, bool(task),
                         "Clear Task should be enabled exactly when there is a task")
        self.assertFalse(show.item(3).enabled, "the reminder line stays disabled")
        for tag in (1, 4, 5, 6):
            self.assertTrue(show.item(tag).enabled, "item %d should be enabled again" % tag)

    def test_entering_a_task_prompts_with_the_limit_and_locks_the_menu(self):
        for screen, limit in (("1920x1080", 45), ("2560x1440", 90)):
            with self.subTest(screen=screen):
                with tempfile.TemporaryDirectory(prefix="mindel-home-") as home:
                    mindel = Mindel(home=home, screen=screen)
                    self.addCleanup(mindel.stop)
                    mindel.start()
                    alert = self.open_dialog(mindel)
                    self.assertEqual(alert["message"],
                                     "Enter the task in %d characters or less" % limit)
                    self.assertEqual(alert["informative"], "")
                    self.assertEqual(alert["buttons"], ["Cancel", "Save"],
                                     "Save is added first, so it stands on the right")
                    self.assertEqual(alert["default"], "Save")
                    self.assertEqual(alert["field"], "", "the field starts empty")
                    show = mindel.show()
                    self.assertIsNotNone(show.alert, "show should list the open dialog")
                    for tag in range(1, 7):
                        self.assertFalse(show.item(tag).enabled,
                                         "item %d should be locked while the dialog is open" % tag)

                    mindel.send("type Buy milk")
                    mindel.send("press Save")
                    self.assert_task(mindel, mindel.show(), "Buy milk")
                    mindel.stop()

    def test_editing_cancelling_and_saving_empty_keep_or_replace_the_task(self):
        mindel = self.run_mindel(task="Buy milk")
        alert = self.open_dialog(mindel)
        self.assertEqual(alert["message"], "Edit the task")
        self.assertEqual(alert["field"], "Buy milk", "the field holds the current task")
        mindel.send("type Call the bank")
        mindel.send("press Cancel")
        self.assert_task(mindel, mindel.show(), "Buy milk")

        # The field's whole text is selected, so typing nothing empties it.
        self.open_dialog(mindel)
        mindel.send("type ")
        mindel.send("press Save")
        self.assert_task(mindel, mindel.show(), "Buy milk")

        alert = self.open_dialog(mindel)
        self.assertEqual(alert["field"], "Buy milk")
        mindel.send("type Call the bank")
        mindel.send("press Save")
        self.assert_task(mindel, mindel.show(), "Call the bank")

    def test_long_text_is_cut_to_the_limit_with_an_ellipsis(self):
        mindel = self.run_mindel()
        text = "".join(chr(ord("a") + i % 26) for i in range(50))
        show = self.enter(mindel, text)
        self.assert_task(mindel, show, text[:45] + "...")
        self.assertEqual(len(show.status["title"]), 48)

        # Exactly at the limit: nothing is cut.
        show = self.enter(mindel, text[:45])
        self.assert_task(mindel, show, text[:45])

        # An emoji (two UTF-16 units) across the cut is dropped whole, never split.
        text = "x" * 44 + "\U0001F95B" + "yyyy"
        show = self.enter(mindel, text)
        self.assert_task(mindel, show, "x" * 44 + "...")
        # One that ends exactly at the limit is kept.
        text = "x" * 43 + "\U0001F95B" + "yyyy"
        show = self.enter(mindel, text)
        self.assert_task(mindel, show, "x" * 43 + "\U0001F95B...")
        self.assertEqual(utf16_units(show.status["title"]), 48)

    def test_forbidden_characters_are_removed_after_the_cut(self):
        mindel = self.run_mindel()
        show = self.enter(mindel, "Mail {Anna} <re: [plan]>; say \"hi\" `now`")
        self.assert_task(mindel, show, "Mail Anna re: plan say hi now")

        # Removed after the cut: the cut text loses them and is shorter than the limit.
        show = self.enter(mindel, "ab;" * 20)  # 60 units: 15 times "ab;" are kept
        self.assert_task(mindel, show, "ab" * 15 + "...")

        # Nothing but forbidden characters: the task becomes empty.
        show = self.enter(mindel, FORBIDDEN)
        self.assert_task(mindel, show, "")
        self.assertEqual(mindel.read_prefs().get("Val7"), 0, "the reminder kind is unchanged")

    def test_hot_keys_reach_the_dialog_and_wait_while_it_is_open(self):
        mindel = self.run_mindel(task="Buy milk")
        alert = self.open_dialog(mindel, "hotkey ctrl+alt+t")
        self.assertEqual(alert["field"], "Buy milk", "the enter-task key opens the same dialog")
        self.assertEqual(alert["icon"], "app_fancy_icon.png")
        # The clear-task key pressed meanwhile is acted upon once the new task is saved.
        mindel.send("hotkey ctrl+alt+/")
        self.assertIsNotNone(mindel.show().alert, "the dialog should still be open")
        mindel.send("type Call the bank")
        mindel.send("press Save")
        self.assert_task(mindel, mindel.show(), "")

    def test_a_restart_shows_the_entered_task(self):
        mindel = self.run_mindel()
        self.enter(mindel, "Water the plants")
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

        again = Mindel(home=self.home)
        self.addCleanup(again.stop)
        again.start()
        show = again.show()
        self.assertEqual(show.status["title"], "Water the plants")
        self.assertEqual(show.item(1).title, "Edit Task")
        self.assertTrue(show.item(2).enabled)


if __name__ == "__main__":
    unittest.main()
