"""Start at login with the real launchctl helper of the bundle, found through PATH after the
folders there: ticking the box makes an XDG autostart entry that starts this bundle's
program, unticking removes it, and an autostart folder that cannot be written or an entry
written by hand is reported once and left as it was."""

import os
import tempfile
import unittest

from desktop_entry import exec_quoted, read_entry, validate
from mindel import FolderWatch, Mindel, bundle_path

NO_LAUNCHCTL = ("spd-say", "espeak-ng", "Open")  # stand-ins; launchctl is the bundle's own
ENTRY_NAME = "com.quorv.Mindel.desktop"


class StartAtLoginTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="mindel-login-")
        self.addCleanup(folder.cleanup)
        self.home = os.path.join(folder.name, "my home")  # a home folder with a space
        self.autostart = os.path.join(self.home, ".config", "autostart")
        self.entry = os.path.join(self.autostart, ENTRY_NAME)
        self.agent = os.path.join(self.home, "Library", "LaunchAgents", "com.quorv.Mindel.plist")

    def start(self, **options):
        options.setdefault("stand_ins", NO_LAUNCHCTL)
        mindel = Mindel(home=self.home, **options)
        self.addCleanup(mindel.stop)
        mindel.start()
        mindel.send("menu 4")
        return mindel

    def tick(self, mindel, state):
        mindel.send("click 1.14")
        self.assertEqual(mindel.show().views["1.14"]["state"], state)
        self.assertEqual(mindel.read_prefs()["Val5"], state, "the box's state is stored")

    def stderr(self, mindel):
        with open(mindel.stderr_path, encoding="utf-8") as f:
            return f.read()

    def wait_stderr_lines(self, mindel, count):
        with FolderWatch(mindel.workdir) as watch:
            watch.wait_until(lambda: self.stderr(mindel).count("\n") >= count,
                             "%d line(s) on standard error" % count)
        return self.stderr(mindel).splitlines()

    def assert_entry_starts_this_bundle(self, entry):
        bundle = os.path.realpath(bundle_path())
        values = read_entry(entry)
        self.assertEqual(values, {
            "Type": "Application", "Name": "Mindel",
            "Exec": exec_quoted(os.path.join(bundle, "Contents", "MacOS", "Mindel")),
            "Icon": os.path.join(bundle, "Contents", "Resources", "app_fancy_icon.png"),
            "Terminal": "false", "Hidden": "false", "X-GNOME-Autostart-enabled": "true",
            "X-Launchctl-Agent": self.agent})
        self.assertEqual(validate(entry), "", "desktop-file-validate accepts the entry")

    def test_ticking_makes_an_autostart_entry_for_this_bundle_and_unticking_removes_it(self):
        os.makedirs(self.autostart)
        mindel = self.start()
        with FolderWatch(self.autostart) as watch:
            self.tick(mindel, 1)
            watch.wait_until(lambda: os.path.exists(self.entry), "the autostart entry")
        self.assert_entry_starts_this_bundle(self.entry)
        self.assertEqual(os.listdir(self.autostart), [ENTRY_NAME], "no draft left beside it")

        # Unticking waits for launchctl, so the entry is gone once the click is answered.
        self.tick(mindel, 0)
        self.assertFalse(os.path.exists(self.entry), "unticking removes the entry")
        self.assertFalse(os.path.exists(self.agent), "and the launch agent")
        self.assertEqual(self.stderr(mindel), "", "nothing to report")
        self.assertEqual(mindel.recorded_calls(), [], "no stand-in took part")

    def test_without_path_the_helper_is_still_found_and_xdg_config_home_is_respected(self):
        config = os.path.join(self.home, "config home")
        os.makedirs(os.path.join(config, "autostart"))
        entry = os.path.join(config, "autostart", ENTRY_NAME)
        mindel = self.start(stand_ins=(), env={"PATH": None, "XDG_CONFIG_HOME": config})
        with FolderWatch(os.path.join(config, "autostart")) as watch:
            self.tick(mindel, 1)
            watch.wait_until(lambda: os.path.exists(entry), "the autostart entry")
        self.assert_entry_starts_this_bundle(entry)
        self.assertFalse(os.path.exists(self.autostart), "~/.config is not used")
        self.tick(mindel, 0)
        self.assertFalse(os.path.exists(entry))
        self.assertEqual(self.stderr(mindel), "")

    def test_an_autostart_folder_that_is_a_file_is_reported_once(self):
        os.makedirs(os.path.dirname(self.autostart))
        with open(self.autostart, "w", encoding="utf-8") as f:
            f.write("not a folder\n")
        mindel = self.start()
        self.tick(mindel, 1)
        lines = self.wait_stderr_lines(mindel, 1)
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("launchctl: ") and "cannot write" in lines[0], lines)
        self.assertEqual(os.listdir(os.path.dirname(self.autostart)), ["autostart"],
                         "nothing half written beside it")
        with open(self.autostart, encoding="utf-8") as f:
            self.assertEqual(f.read(), "not a folder\n")
        self.assertEqual(mindel.show().views["1.14"]["state"], 1, "the box shows what is stored")

    def test_an_entry_written_by_hand_is_left_alone(self):
        os.makedirs(self.autostart)
        by_hand = "[Desktop Entry]\nType=Application\nName=Mindel\nExec=mindel\n"
        with open(self.entry, "w", encoding="utf-8") as f:
            f.write(by_hand)
        mindel = self.start()
        self.tick(mindel, 1)
        self.assertIn("not written by launchctl", self.wait_stderr_lines(mindel, 1)[0])
        self.tick(mindel, 0)  # waits for launchctl, which says so again
        self.assertEqual(len(self.stderr(mindel).splitlines()), 2, self.stderr(mindel))
        with open(self.entry, encoding="utf-8") as f:
            self.assertEqual(f.read(), by_hand, "the user's entry stays as it was")


if __name__ == "__main__":
    unittest.main()
