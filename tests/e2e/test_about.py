"""The about box: its texts and buttons, the page it opens, and the menu around it."""

import os
import unittest

from mindel import FolderWatch, Mindel, named, parse_fields

ABOUT_MESSAGE = "Mindel 1.06\n(for Apple Silicon)"
ABOUT_TEXT = ("\nA single task reminder app made with great angst\n\r"
              "\u00a9 Quorv (December 2026)\nhello@quorv.com\n")
OTHER_APPS_PAGE = "https://quorv.com/apps/"


class AboutTest(unittest.TestCase):
    def setUp(self):
        self.mindel = Mindel()
        self.addCleanup(self.mindel.stop)
        self.mindel.start()

    def open_about(self):
        """Chooses About...; checks the menu is locked meanwhile and answers the alert."""
        before = len(self.mindel.reports_of("alert"))
        self.mindel.send("menu 5")
        alerts = self.mindel.reports_of("alert")
        self.assertEqual(len(alerts), before + 1, "About... should open one alert")
        show = self.mindel.show()
        for tag in range(1, 7):
            self.assertFalse(show.item(tag).enabled,
                             "item %d should be locked while the about box is open" % tag)
        return named(parse_fields(alerts[-1]))

    def assert_menu_restored(self):
        show = self.mindel.show()
        self.assertIsNone(show.alert, "the about box should be closed")
        for tag in (1, 4, 5, 6):
            self.assertTrue(show.item(tag).enabled, "item %d should be enabled again" % tag)
        self.assertFalse(show.item(2).enabled, "Clear Task stays disabled without a task")
        self.assertFalse(show.item(3).enabled, "the reminder line stays disabled")

    def test_the_box_shows_name_version_and_credits_and_ok_starts_nothing(self):
        alert = self.open_about()
        self.assertEqual(alert["message"], ABOUT_MESSAGE, "name and version on two lines")
        self.assertEqual(alert["informative"], ABOUT_TEXT)
        self.assertEqual(alert["buttons"], ["See My Other Apps", "Ok"],
                         "Ok is added first and stands on the right")
        self.assertEqual(alert["default"], "Ok", "Return should press Ok")
        self.assertIsNone(alert["field"], "the about box has no text field")
        self.assertEqual(alert["icon"], "app_fancy_icon.png", "the application's large icon")
        self.mindel.send("press Ok")
        self.assert_menu_restored()
        self.assertEqual(self.mindel.recorded_calls(), [], "Ok should start no program")

    def test_see_my_other_apps_opens_the_page_once(self):
        self.open_about()
        self.mindel.send("press See My Other Apps")
        self.assertEqual(self.mindel.wait_calls(1), [["Open", OTHER_APPS_PAGE]],
                         "Open should get the page address as its single argument")
        self.assert_menu_restored()
        # A second box, closed with Ok, adds no call.
        self.open_about()
        self.mindel.send("press Ok")
        self.assert_menu_restored()
        self.assertEqual(self.mindel.recorded_calls(), [["Open", OTHER_APPS_PAGE]],
                         "Open should have been started exactly once")


class PageOpenerTest(unittest.TestCase):
    """The bundle's own Open helper, found through PATH, with a stand-in for xdg-open."""

    def see_my_other_apps(self, mindel):
        self.addCleanup(mindel.stop)
        mindel.start()
        mindel.send("menu 5")
        mindel.send("press See My Other Apps")

    def test_open_hands_the_address_to_xdg_open_as_one_argument(self):
        mindel = Mindel(stand_ins=("spd-say", "espeak-ng", "launchctl", "xdg-open"))
        self.see_my_other_apps(mindel)
        self.assertEqual(mindel.wait_calls(1), [["xdg-open", OTHER_APPS_PAGE]])

    def test_without_xdg_open_nothing_opens_and_one_line_says_why(self):
        mindel = Mindel(stand_ins=("spd-say", "espeak-ng", "launchctl"))
        mindel.extra_env["PATH"] = mindel.bin_dir  # then the bundle's helpers, and no xdg-open

        def stderr():
            with open(mindel.stderr_path, encoding="utf-8") as f:
                return f.read()
        with FolderWatch(mindel.workdir) as watch:
            self.see_my_other_apps(mindel)
            watch.wait_until(lambda: stderr().endswith("\n"), "a message on standard error")
        self.assertEqual(stderr(), "Open: xdg-open was not found (it comes with xdg-utils)\n")
        self.assertEqual(mindel.recorded_calls(), [])


if __name__ == "__main__":
    unittest.main()
