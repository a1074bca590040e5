"""Hostile input: damaged, huge and wrongly typed defaults files, a missing, unset or
read-only home folder, a bundle without its resources, an empty PATH, an endless task and a
flood of commands. Mindel must never crash and never lose what it holds: it keeps running,
keeps what it can read, and says on standard error what it cannot store.
"""

import os
import plistlib
import pwd
import shutil
import stat
import tempfile
import unittest
from unittest import mock

from mindel import FolderWatch, Mindel, bundle_path, program_path

ADD_KEY, CLEAR_KEY = "\u2303\u2325T", "\u2303\u2325/"
CTRL_ALT = 4096 + 2048
KEY_T, KEY_SLASH = 17, 44
SETTINGS = {"Val1": ADD_KEY, "Val9": CLEAR_KEY, "Val16": "Water the plants", "Val5": 0,
            "Val7": 0, "Val18": 5}
NOBODY = 65534  # the unprivileged user of the password database


def xml_prefs(values):
    return plistlib.dumps(values, fmt=plistlib.FMT_XML)


class HostileInputTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="mindel-hostile-")
        self.addCleanup(folder.cleanup)
        self.folder = folder.name
        self.home = os.path.join(self.folder, "home")
        os.makedirs(os.path.join(self.home, "Library", "Preferences"))
        self.prefs = os.path.join(self.home, "Library", "Preferences", "Mindel.plist")

    def run_mindel(self, prefs_bytes=None, **options):
        """A started run; prefs_bytes, when given, is the defaults file as found."""
        if prefs_bytes is not None:
            with open(self.prefs, "wb") as f:
                f.write(prefs_bytes)
        mindel = Mindel(home=options.pop("home", self.home), **options)
        self.addCleanup(mindel.stop)
        return mindel.start()

    def enter(self, mindel, text):
        mindel.send("menu 1")
        mindel.send("type " + text)
        mindel.send("press Save")
        return mindel.show()

    def stderr(self, mindel):
        with open(mindel.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def read_prefs(self):
        with open(self.prefs, "rb") as f:
            return plistlib.load(f)

    # --- The defaults file ---

    def test_a_defaults_file_of_fifty_mebibytes_is_read_and_kept(self):
        # An unknown key carries the bulk; the settings around it must still be found, and a
        # change must keep the bulk (nothing the file held is lost).
        bulk = "x" * (50 * 1024 * 1024)
        mindel = self.run_mindel(xml_prefs(dict(SETTINGS, Bulk=bulk)))
        self.assertGreaterEqual(os.path.getsize(self.prefs), 50 * 1024 * 1024)
        show = mindel.show()
        self.assertEqual(show.status["title"], "Water the plants", "the task is read")
        self.assertEqual(sorted(show.hotkeys), [(KEY_T, CTRL_ALT), (KEY_SLASH, CTRL_ALT)])
        self.enter(mindel, "Feed the cat")
        stored = self.read_prefs()
        self.assertEqual(stored["Val16"], "Feed the cat", "the new task is stored")
        self.assertEqual(stored["Bulk"], bulk, "the unknown key is written back unchanged")

    def test_invalid_utf8_in_the_defaults_file_reads_as_replacement_characters(self):
        text = xml_prefs(SETTINGS).replace(b"Water the plants", b"Water \xff\xfe the \xc3 plants")
        mindel = self.run_mindel(text)
        show = mindel.show()
        self.assertEqual(show.status["title"], "Water \ufffd\ufffd the \ufffd plants",
                         "each invalid byte should read as U+FFFD, the rest as it stands")
        self.assertEqual(sorted(show.hotkeys), [(KEY_T, CTRL_ALT), (KEY_SLASH, CTRL_ALT)],
                         "the other settings are read")
        with open(self.prefs, "rb") as f:
            self.assertEqual(f.read(), text, "reading leaves the file as it was")
        mindel.send("menu 2")
        stored = self.read_prefs()  # valid UTF-8 again: plistlib's parser is strict
        self.assertEqual((stored["Val16"], stored["Val1"]), ("", ADD_KEY))
        self.assertEqual(self.stderr(mindel), "", "a file that reads whole needs no message")

    def test_a_file_cut_short_keeps_what_it_holds_until_a_change(self):
        task_last = {key: value for key, value in SETTINGS.items() if key != "Val16"}
        task_last["Val16"] = SETTINGS["Val16"]
        whole = plistlib.dumps(task_last, fmt=plistlib.FMT_XML, sort_keys=False)
        text = whole[:whole.index(b"<key>Val16</key>")]  # the keys before the task survive
        mindel = self.run_mindel(text)
        show = mindel.show()
        self.assertEqual(show.status["title"], "", "the task was cut off")
        self.assertEqual(sorted(show.hotkeys), [(KEY_T, CTRL_ALT), (KEY_SLASH, CTRL_ALT)],
                         "the hot keys before the cut are read")
        self.assertEqual(self.stderr(mindel),
                         "Mindel: the settings file %s is damaged: what could be read is used, "
                         "and the next change replaces it\n" % self.prefs)
        with open(self.prefs, "rb") as f:
            self.assertEqual(f.read(), text, "the damaged file is left until a change")
        self.enter(mindel, "Start again")
        self.assertEqual(self.read_prefs(), dict(SETTINGS, Val16="Start again"),
                         "a change writes a whole file of what was read and the change")

    def test_every_key_of_the_wrong_type_reads_as_empty(self):
        wrong = {"Val0": 1, "Val1": 42, "Val4": [], "Val5": "yes", "Val6": {}, "Val7": "two",
                 "Val8": 2.5, "Val9": ["\u2303\u2325/"], "Val16": {"task": "hidden"},
                 "Val17": b"\x00", "Val18": "soon"}
        mindel = self.run_mindel(xml_prefs(wrong))
        show = mindel.show()
        self.assertEqual(show.status["title"], "", "a task that is no string reads as none")
        self.assertEqual(show.hotkeys, [], "shortcuts that are no strings register nothing")
        self.assertEqual((show.item(1).title, show.item(1).key), ("Enter Task", ""))
        self.assertEqual(show.item(3).title, "No Reminder Set", "a kind of \"two\" reads as 0")
        # The preferences window opens over them: interval 0 shows as 5, login off.
        mindel.send("menu 4")
        views = mindel.show().views
        self.assertEqual(views["1.11"]["text"], "5")
        self.assertEqual(views["1.14"]["state"], 0)
        mindel.send("close 1")
        show = self.enter(mindel, "Sort the mail")
        self.assertEqual(show.status["title"], "Sort the mail")
        stored = self.read_prefs()
        self.assertEqual(stored["Val16"], "Sort the mail", "the task replaces the dictionary")
        self.assertEqual({k: v for k, v in stored.items() if k != "Val16"},
                         {k: v for k, v in wrong.items() if k != "Val16"},
                         "the other keys are left as they were")
        self.assertEqual(self.stderr(mindel), "", "a file that reads whole needs no message")

    # --- The home folder ---

    def assert_runs_without_storing(self, mindel, home):
        """Mindel starts with the first-run settings, takes a task for this run, and says once
        that it cannot keep settings in the missing home."""
        show = mindel.show()
        self.assertEqual(sorted(show.hotkeys), [(KEY_T, CTRL_ALT), (KEY_SLASH, CTRL_ALT)],
                         "the first-run hot keys work")
        show = self.enter(mindel, "Keep going")
        self.assertEqual(show.status["title"], "Keep going", "the task is taken for this run")
        mindel.send("menu 2")
        self.tick_start_at_login(mindel)
        self.assertEqual(self.stderr(mindel),
                         "Mindel: the home folder %s does not exist: settings are kept for this "
                         "run only\n%s" % (home, self.no_agent_message(home)),
                         "standard error says why, once")
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

    def tick_start_at_login(self, mindel):
        """Ticks "Start at Login", which cannot write the agent; the setting says on."""
        mindel.send("menu 4")
        mindel.send("click 1.14")
        self.assertEqual(mindel.show().views["1.14"]["state"], 1)
        mindel.send("close 1")
        self.assertEqual(mindel.recorded_calls(), [], "launchctl is not asked to load nothing")

    def no_agent_message(self, home):
        return ("Mindel: the login item %s/Library/LaunchAgents/com.quorv.Mindel.plist cannot be "
                "written: Mindel will not start at login\n" % home)

    def test_a_missing_home_folder_is_not_made(self):
        home = os.path.join(self.folder, "gone")
        mindel = Mindel(home=home)
        self.addCleanup(mindel.stop)
        os.rmdir(home)  # the harness makes it
        mindel.start()
        self.assert_runs_without_storing(mindel, home)
        self.assertFalse(os.path.exists(home), "the home folder should not be made")

    def test_an_unset_home_falls_back_to_the_password_database(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to run as a user whose home can be used safely")
        # As nobody, whose home in the password database (/nonexistent) does not exist: the
        # message names it, so it was found there.
        try:
            home = pwd.getpwuid(NOBODY).pw_dir
        except KeyError:
            self.skipTest("no user %d in the password database" % NOBODY)
        if os.path.exists(home):
            self.skipTest("the home of user %d, %s, exists and must not be written" % (NOBODY,
                                                                                     home))
        mindel = self.run_as_nobody(env={"HOME": None})
        self.assert_runs_without_storing(mindel, home)
        self.assertFalse(os.path.exists(home))

    def test_a_read_only_home_keeps_its_file_and_the_task_for_this_run(self):
        with open(self.prefs, "wb") as f:
            f.write(xml_prefs(SETTINGS))
        with open(self.prefs, "rb") as f:
            before = f.read()
        for path in (os.path.dirname(self.prefs), os.path.dirname(os.path.dirname(self.prefs)),
                     self.home):
            os.chmod(path, 0o555)
        self.addCleanup(lambda: [os.chmod(os.path.join(dirpath, d), 0o755)
                                 for dirpath, dirs, _ in os.walk(self.home) for d in dirs])
        os.chmod(self.prefs, 0o444)
        mindel = self.run_as_nobody() if os.geteuid() == 0 else self.run_mindel()
        show = mindel.show()
        self.assertEqual(show.status["title"], "Water the plants", "the stored task is read")
        show = self.enter(mindel, "Keep going")
        self.assertEqual(show.status["title"], "Keep going", "the task is taken for this run")
        mindel.send("menu 2")
        self.assertEqual(mindel.show().status["title"], "")
        self.tick_start_at_login(mindel)
        self.assertEqual(self.stderr(mindel),
                         "Mindel: cannot store the settings in %s (Permission denied): changes "
                         "are kept for this run only\n%s" % (self.prefs,
                                                              self.no_agent_message(self.home)),
                         "standard error says why, once for the failing writes")
        with open(self.prefs, "rb") as f:
            self.assertEqual(f.read(), before, "the file is left as it was")
        self.assertEqual(os.listdir(os.path.dirname(self.prefs)), ["Mindel.plist"],
                         "no temporary file is left behind")
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

    def run_as_nobody(self, env=None):
        """A run as the unprivileged user, so that permissions hold (root ignores them)."""
        if shutil.which("setpriv") is None:
            self.skipTest("setpriv (util-linux) is needed to run as another user")
        # Every folder above the program must let others through.
        path = os.path.realpath(program_path())
        while path != os.path.dirname(path):
            path = os.path.dirname(path)
            if not os.stat(path).st_mode & stat.S_IXOTH:
                self.skipTest("%s cannot be entered by other users" % path)
        os.chmod(self.folder, 0o755)
        mindel = Mindel(home=self.home, env=env)
        self.addCleanup(mindel.stop)
        os.chmod(mindel.workdir, 0o755)
        wrapper = "setpriv --reuid=%d --regid=%d --clear-groups " % (NOBODY, NOBODY)
        with mock.patch.dict(os.environ, {
                "MINDEL_WRAPPER": wrapper + os.environ.get("MINDEL_WRAPPER", "")}):
            return mindel.start()

    # --- The bundle and the environment ---

    def test_a_bundle_without_resources_runs_without_icons(self):
        bundle = os.path.join(self.folder, "Mindel.app")
        shutil.copytree(bundle_path(), bundle, symlinks=True,
                        ignore=lambda folder, names: ["Resources"] if folder.endswith(
                            "Contents") else [])
        self.assertFalse(os.path.exists(os.path.join(bundle, "Contents", "Resources")))
        with mock.patch.dict(os.environ, {"MINDEL_BUNDLE": bundle}):
            mindel = self.run_mindel(xml_prefs(SETTINGS))
        show = mindel.show()
        self.assertEqual((show.status["title"], show.status["image"]),
                         ("Water the plants", None), "the task without an icon")
        errors = self.stderr(mindel)
        for name in ("app_icon.png", "inv_app_icon.png", "app_fancy_icon.png"):
            self.assertIn(os.path.join(bundle, "Contents", "MacOS", "..", "Resources", name),
                          errors,
                          "standard error names the missing %s" % name)
        # The dialog, whose alert shows the missing icon, still works; closing the
        # preferences rebuilds the item without saying it all again.
        show = self.enter(mindel, "Keep going")
        self.assertEqual(show.status["title"], "Keep going")
        self.assertEqual(self.read_prefs()["Val16"], "Keep going")
        mindel.send("menu 4")
        mindel.send("close 1")
        self.assertEqual(self.stderr(mindel), errors, "the icons are reported once")

    def test_an_empty_path_finds_only_the_bundles_helpers(self):
        autostart = os.path.join(self.home, ".config", "autostart")
        os.makedirs(autostart)
        mindel = self.run_mindel(xml_prefs(dict(SETTINGS, Val7=2, Val18=2)), env={"PATH": ""})
        # The spoken reminder comes, unheard, and standard error says why, once.
        mindel.send("advance 4m")
        self.assertEqual(mindel.reports_of("speak"),
                         ['"This is a task reminder for Water the plants"'] * 2)
        self.assertEqual(self.stderr(mindel).count("reminders cannot be spoken"), 1,
                         "the missing speech command is reported once")
        # Start at login works through the bundle's own launchctl, the only program found.
        entry = os.path.join(autostart, "com.quorv.Mindel.desktop")
        mindel.send("menu 4")
        with FolderWatch(autostart) as watch:
            mindel.send("click 1.14")
            watch.wait_until(lambda: os.path.exists(entry), "the autostart entry")
        agent = os.path.join(self.home, "Library", "LaunchAgents", "com.quorv.Mindel.plist")
        self.assertTrue(os.path.exists(agent), "the agent file is written")
        self.assertEqual(self.read_prefs()["Val5"], 1)
        mindel.send("click 1.14")
        self.assertFalse(os.path.exists(agent), "the agent file is removed")
        self.assertFalse(os.path.exists(entry), "and the autostart entry")
        self.assertEqual(self.read_prefs()["Val5"], 0)
        self.assertEqual(mindel.recorded_calls(), [], "no stand-in is found")
        self.assertNotIn("launchctl", self.stderr(mindel))

    # --- The terminal desktop's input ---

    def test_a_task_of_a_hundred_thousand_characters_is_cut(self):
        mindel = self.run_mindel(xml_prefs(SETTINGS))
        mindel.send("menu 1")
        text = "".join(chr(ord("a") + i % 26) for i in range(100000))
        # One line that long is refused by the desktop, and the dialog stays open.
        answer, _ = mindel.try_send("type " + text)
        self.assertEqual(answer, "error: line too long")
        self.assertIsNotNone(mindel.show().alert)
        for start in range(0, len(text), 10000):
            mindel.send("type " + text[start:start + 10000])
        self.assertEqual(mindel.show().alert["field"], text, "the field holds every character")
        mindel.send("press Save")
        show = mindel.show()
        self.assertEqual(show.status["title"], text[:45] + "...", "cut to the limit")
        self.assertEqual(self.read_prefs()["Val16"], text[:45] + "...")

    def test_ten_thousand_commands_without_waiting_all_answer(self):
        mindel = self.run_mindel(xml_prefs(SETTINGS))
        # Mostly cheap commands, with a dialog opened and cancelled in each hundred.
        cycle = ["menu 1", "type draft", "press Cancel"] + ["advance 1s"] * 96 + ["show"]
        commands = cycle * 100
        self.assertEqual(len(commands), 10000)
        mindel._write("\n".join(commands))
        for command in commands:
            answer, _ = mindel._wait_answer(repr(command))
            self.assertEqual(answer, "ok", command)
        self.assertEqual(len(mindel.reports_of("alert")), 100, "each dialog opened once")
        show = mindel.show()
        self.assertEqual(show.status["title"], "Water the plants", "every dialog was cancelled")
        self.assertIsNone(show.alert)
        show = self.enter(mindel, "Done")
        self.assertEqual(show.status["title"], "Done")


if __name__ == "__main__":
    unittest.main()
