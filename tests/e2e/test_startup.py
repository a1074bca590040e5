"""Start-up, the status menu, and the ways the program ends (or does not)."""

import unittest

from mindel import Mindel

# The status menu from top to bottom, "-" for separators.
MENU_LAYOUT = [1, 2, "-", 3, "-", 4, "-", 5, "-", 6]


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.mindel = Mindel()
        self.addCleanup(self.mindel.stop)

    def test_first_start_shows_the_empty_status_item_and_its_menu(self):
        self.mindel.start()
        show = self.mindel.show()

        self.assertIsNotNone(show.status, "show should print a status line: %r" % show.lines)
        self.assertEqual(show.status["title"], "", "no task yet, so the title should be empty")
        self.assertEqual(show.status["length"], -1, "the item should have the variable length")

        self.assertEqual(show.tags(), MENU_LAYOUT, "the status menu's items and separators")
        enter, clear = show.item(1), show.item(2)
        self.assertEqual(enter.title, "Enter Task")
        self.assertEqual((enter.key, enter.mods), ("t", "ctrl+alt"),
                         "item 1 should show the enter-task hot key Ctrl+Alt+T")
        self.assertTrue(enter.enabled)
        self.assertEqual(clear.title, "Clear Task")
        self.assertEqual((clear.key, clear.mods), ("/", "ctrl+alt"),
                         "item 2 should show the clear-task hot key Ctrl+Alt+/")
        self.assertFalse(clear.enabled, "Clear Task should be disabled without a task")
        self.assertEqual(show.item(3).title, "No Reminder Set")
        self.assertFalse(show.item(3).enabled, "the reminder line is never enabled")
        for tag, title in ((4, "Preferences..."), (5, "About..."), (6, "Quit")):
            self.assertEqual(show.item(tag).title, title)
            self.assertTrue(show.item(tag).enabled, "item %d should be enabled" % tag)
        visible = {number for number, window in show.windows.items() if window["visible"]}
        self.assertEqual(visible, set(), "no numbered window should be visible at start")
        self.assertIn(0, show.windows, "the hidden window 0 owns the reminder timer")
        self.assertIsNone(show.alert, "no alert should be open at start")

    def test_quit_ends_the_program_with_code_zero(self):
        self.mindel.start()
        self.assertEqual(self.mindel.send_expecting_exit("menu 6"), 0,
                         "Quit should end the program with exit code 0")

    def test_end_of_input_ends_the_program_with_code_zero(self):
        self.mindel.start()
        self.assertEqual(self.mindel.close_input(), 0,
                         "the end of the session should end the program with code 0")

    def test_requests_that_do_not_quit_leave_the_program_running(self):
        self.mindel.start()
        # The platform's request to terminate is refused: only Quit ends the program.
        self.mindel.send("quit-request")
        # The reminder line and a missing item change nothing.
        answer, _ = self.mindel.try_send("menu 3")
        self.assertTrue(answer.startswith("error:"), "the disabled reminder line cannot be chosen")
        answer, _ = self.mindel.try_send("menu 42")
        self.assertTrue(answer.startswith("error:"), "there is no item 42")
        show = self.mindel.show()
        self.assertEqual(show.tags(), MENU_LAYOUT, "the program should still answer show")
        self.assertEqual(self.mindel.send_expecting_exit("menu 6"), 0)

    def test_unknown_and_malformed_commands_answer_error_and_change_nothing(self):
        self.mindel.start()
        before = self.mindel.show().lines
        for command in ("frobnicate", "menu", "menu six", "advance soon"):
            answer, output = self.mindel.try_send(command)
            self.assertTrue(answer.startswith("error:"),
                            "%r should answer error:, not %r" % (command, answer))
            self.assertEqual(output, [], "%r should print nothing before its error" % command)
        self.assertEqual(self.mindel.show().lines, before, "failed commands change nothing")
        help_lines = self.mindel.send("help")
        self.assertTrue(any("show" in line for line in help_lines), "help should list show")

    def test_starts_without_a_screen_and_on_a_wide_one(self):
        for screen in ("none", "2560x1440"):
            with self.subTest(screen=screen):
                mindel = Mindel(screen=screen)
                self.addCleanup(mindel.stop)
                mindel.start()
                self.assertEqual(mindel.show().tags(), MENU_LAYOUT,
                                 "the status menu should not depend on the screen")
                self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

    def test_no_helper_runs_at_start(self):
        self.mindel.start()
        self.mindel.show()
        self.assertEqual(self.mindel.recorded_calls(), [],
                         "starting without a reminder or login item runs no helper")
        self.assertEqual(self.mindel.reports, [], "a quiet start reports nothing")


if __name__ == "__main__":
    unittest.main()
