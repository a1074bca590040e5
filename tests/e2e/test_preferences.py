"""The preferences window: its gadgets, the changes it stores at once, the hot keys it sets,
the launch agent it installs and removes, and the status item rebuilt when it closes."""

import os
import unittest

from mindel import Mindel, bundle_path

CTRL_ALT = 4096 + 2048  # Carbon control + option
KEY_T, KEY_Y, KEY_SLASH = 17, 16, 44

AGENT_TEMPLATE = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" '
    '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
    '<plist version="1.0">\n'
    '<dict>\n'
    '\t<key>Label</key>\n'
    '\t<string>{appid}</string>\n'
    '\t<key>ProgramArguments</key>\n'
    '\t<array>\n'
    '\t\t<string>/usr/bin/open</string>\n'
    '\t\t<string>{apppath}</string>\n'
    '\t</array>\n'
    '\t<key>RunAtLoad</key>\n'
    '\t<true/>\n'
    '\t<key>KeepAlive</key>\n'
    '\t<false/>\n'
    '\t<key>LimitLoadToSessionType</key>\n'
    '\t<string>Aqua</string></dict>\n'
    '</plist>')

INTERVAL_HELP = ("This option controls how often the Task Reminder will trigger. The minimum "
                 "value is '2' for 2 minutes and the maximum is '60' for 60 minutes.")


def prefs(task=None, nag=0, refresh=5, login=0):
    values = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": login, "Val7": nag,
              "Val18": refresh}
    if task is not None:
        values["Val16"] = task
    return values


class PreferencesTest(unittest.TestCase):
    def run_mindel(self, values):
        mindel = Mindel()
        self.addCleanup(mindel.stop)
        mindel.write_prefs(values)
        return mindel.start()

    def open_preferences(self, mindel):
        mindel.send("menu 4")
        show = mindel.show()
        self.assertIn(1, show.windows, "Preferences... should open window 1")
        return show

    def views(self, show):
        return {key: view for key, view in show.views.items() if key.startswith("1.")}

    def test_the_window_shows_its_gadgets_and_the_stored_settings(self):
        mindel = self.run_mindel(prefs(nag=2, refresh=0, login=1))
        show = self.open_preferences(mindel)
        self.assertEqual(show.windows[1]["title"], "Preferences")
        self.assertEqual(show.windows[1]["level"], 3, "the window should float")
        views = self.views(show)
        expected = [
            ("1.1", "NSTextField", "Set Task Key", (20, 24, 300, 25)),
            ("1.2", "NSTextField", "\u2303\u2325T", (106, 20, 90, 25)),
            ("1.3", "NSButton", "Set", (198, 20, 40, 25)),
            ("1.4", "NSTextField", "Set Clear Key", (20, 54, 300, 25)),
            ("1.5", "NSTextField", "\u2303\u2325/", (106, 50, 90, 25)),
            ("1.6", "NSButton", "Set", (198, 50, 40, 25)),
            ("1.7", "NSTextField", "Select Reminder", (20, 84, 300, 25)),
            ("1.8", "NSPopUpButton", "Spoken Reminder", (120, 80, 150, 25)),
            ("1.9", "NSTextField", "Reminder Interval (minutes)", (20, 114, 200, 25)),
            ("1.10", "NSView", "", (190, 110, 70, 25)),
            ("1.11", "NSTextField", "5", (0, 0, 50, 25)),
            ("1.12", "NSStepper", None, (50, 0, 20, 25)),
            ("1.13", "NSButton", "?", (260, 110, 30, 22)),
            ("1.14", "NSButton", "Start at Login", (20, 156, 110, 25)),
        ]
        self.assertEqual(sorted(views, key=lambda k: int(k[2:])), [e[0] for e in expected],
                         "twelve gadgets, the spin one as a field and a stepper in a box")
        for key, cls, text, frame in expected:
            self.assertEqual(views[key]["class"], cls, key)
            if text is not None:
                self.assertEqual(views[key]["text"], text, "%s should show %r" % (key, text))
            self.assertEqual(views[key]["frame"], frame, key)
        self.assertEqual(views["1.14"]["state"], 1, "a stored login flag of 1 ticks the box")
        self.assertTrue(views["1.11"]["enabled"] and views["1.13"]["enabled"],
                        "with a reminder kind the interval gadgets are enabled")
        for tag in range(1, 7):
            self.assertFalse(show.item(tag).enabled, "item %d is locked while open" % tag)
        self.assertEqual(mindel.recorded_calls(), [], "opening starts no program")

    def test_setting_the_task_key_registers_it_and_a_bad_one_is_refused(self):
        mindel = self.run_mindel(prefs())
        self.open_preferences(mindel)
        # A bare letter cannot be a hot key: the message quotes the last shortcut.
        mindel.send("focus 1.2")
        mindel.send("key t")
        self.assertEqual(self.views(mindel.show())["1.2"]["text"], "T")
        before = len(mindel.reports_of("alert"))
        mindel.send("click 1.3")
        alerts = mindel.reports_of("alert")
        self.assertEqual(len(alerts), before + 1, "a bare T should give the Error message")
        alert = mindel.show().alert
        self.assertEqual(alert["message"], "Error")
        self.assertEqual(alert["informative"],
                         "This Shortcut cannot be used. Please enter another Shortcut. "
                         "Otherwide, the last Shortcut (\u2303\u2325T) will be used.")
        mindel.send("press OK")
        self.assertEqual(self.views(mindel.show())["1.2"]["text"], "\u2303\u2325T",
                         "the last shortcut is shown again")
        stored = mindel.read_prefs()
        self.assertEqual((stored["Val0"], stored["Val1"]), ("AddKey", "\u2303\u2325T"),
                         "the last shortcut is stored again with its label")

        # A good one is live at once and stored with its label.
        mindel.send("focus 1.2")
        mindel.send("key ctrl+alt+y")
        mindel.send("click 1.3")
        self.assertEqual(len(mindel.reports_of("alert")), before + 1, "no message this time")
        self.assertEqual(mindel.read_prefs()["Val1"], "\u2303\u2325Y")
        self.assertEqual(sorted(mindel.show().hotkeys), [(KEY_Y, CTRL_ALT), (KEY_SLASH, CTRL_ALT)])

        # Closing rebuilds the menu and the hot keys from the stored settings.
        mindel.send("close 1")
        show = mindel.show()
        self.assertNotIn(1, show.windows, "window 1 should be gone")
        self.assertEqual(sorted(show.hotkeys), [(KEY_Y, CTRL_ALT), (KEY_SLASH, CTRL_ALT)])
        for tag in (1, 4, 5, 6):
            self.assertTrue(show.item(tag).enabled, "item %d is enabled again" % tag)
        self.assertFalse(show.item(2).enabled, "Clear Task stays disabled without a task")
        self.assertFalse(show.item(3).enabled, "the reminder line stays disabled")
        answer, _ = mindel.try_send("hotkey ctrl+alt+t")
        self.assertTrue(answer.startswith("error:"), "the old enter-task key is gone")
        mindel.send("hotkey ctrl+alt+y")
        self.assertIsNotNone(mindel.show().alert, "the new key opens the task dialog")

    def test_the_clear_key_and_a_key_taken_from_the_other_hot_key(self):
        mindel = self.run_mindel(prefs(task="Tidy up"))
        self.open_preferences(mindel)
        mindel.send("focus 1.5")
        mindel.send("key ctrl+alt+k")
        mindel.send("click 1.6")
        stored = mindel.read_prefs()
        self.assertEqual((stored["Val8"], stored["Val9"]), ("ClrKey", "\u2303\u2325K"))
        self.assertEqual(sorted(mindel.show().hotkeys), [(KEY_T, CTRL_ALT), (40, CTRL_ALT)],
                         "the clear key should move to K (key code 40) at once")

        # Taking the clear key's combination for the enter-task key unregisters the other.
        mindel.send("focus 1.2")
        mindel.send("key ctrl+alt+k")
        mindel.send("click 1.3")
        self.assertEqual(mindel.show().hotkeys, [(40, CTRL_ALT)],
                         "only the enter-task key should hold K now")

        # A hot key pressed while the window is open is dropped.
        mindel.send("hotkey ctrl+alt+k")
        show = mindel.show()
        self.assertIsNone(show.alert, "no task dialog while the preferences are open")
        self.assertEqual(show.status["title"], "Tidy up")
        self.assertIn(1, show.windows, "the window stays open")

    def test_the_reminder_kind_and_interval_are_stored_and_kept_in_range(self):
        mindel = self.run_mindel(prefs(task="Stretch", refresh=60))
        views = self.views(self.open_preferences(mindel))
        self.assertFalse(views["1.11"]["enabled"] or views["1.12"]["enabled"]
                         or views["1.13"]["enabled"], "with no reminder the interval is off")
        for index, enabled in ((1, True), (0, False), (2, True)):
            mindel.send("select 1.8 %d" % index)
            views = self.views(mindel.show())
            self.assertEqual(mindel.read_prefs()["Val7"], index)
            self.assertEqual(mindel.read_prefs()["Val6"], "NagType")
            for key in ("1.11", "1.12", "1.13"):
                self.assertEqual(views[key]["enabled"], enabled,
                                 "kind %d: %s enabled should be %s" % (index, key, enabled))

        mindel.send("step 1.12 up")
        stored = mindel.read_prefs()
        self.assertEqual((stored["Val17"], stored["Val18"]), ("Refresh", 60), "60 up stays 60")
        self.assertEqual(self.views(mindel.show())["1.11"]["text"], "60")
        # A typed value is taken as the gadget reports it.
        mindel.send("focus 1.11")
        mindel.send("type 57")
        self.assertEqual(mindel.read_prefs()["Val18"], 57, "typing stores the field's value")

        mindel.send("close 1")
        show = mindel.show()
        self.assertIn((0, 1, 57 * 60000), show.timers, "the timer restarts with the interval")
        self.assertTrue(show.item(3).title.endswith("Reminder every 57 mins"), show.item(3).title)

    def test_the_interval_stops_at_two(self):
        mindel = self.run_mindel(prefs(nag=1, refresh=2))
        self.open_preferences(mindel)
        mindel.send("step 1.12 down")
        self.assertEqual(mindel.read_prefs()["Val18"], 2, "2 down stays 2")
        self.assertEqual(self.views(mindel.show())["1.11"]["text"], "2")

    def test_start_at_login_installs_and_removes_the_launch_agent(self):
        mindel = self.run_mindel(prefs())
        self.open_preferences(mindel)
        agent = os.path.join(mindel.home, "Library", "LaunchAgents", "com.quorv.Mindel.plist")
        mindel.send("click 1.14")
        self.assertEqual(mindel.wait_calls(1), [["launchctl", "load", agent]],
                         "ticking loads the agent file by its path")
        with open(agent, encoding="utf-8", newline="") as f:
            text = f.read()
        app_path = text.split("<string>")[3].split("</string>")[0]
        self.assertEqual(os.path.realpath(app_path), os.path.realpath(bundle_path()))
        self.assertEqual(text, AGENT_TEMPLATE.replace("{appid}", "com.quorv.Mindel")
                         .replace("{apppath}", app_path), "the template, placeholders replaced")
        self.assertEqual(len(AGENT_TEMPLATE), 461)
        stored = mindel.read_prefs()
        self.assertEqual((stored["Val4"], stored["Val5"]), ("Login", 1))
        self.assertEqual(self.views(mindel.show())["1.14"]["state"], 1)

        mindel.send("click 1.14")
        self.assertEqual(mindel.wait_calls(1), [["launchctl", "unload", agent]])
        self.assertFalse(os.path.exists(agent), "unticking deletes the agent file")
        self.assertEqual(mindel.read_prefs()["Val5"], 0)

        # With the file gone by hand, unticking runs nothing.
        mindel.send("click 1.14")
        mindel.wait_calls(1)
        os.remove(agent)
        mindel.send("click 1.14")
        self.assertEqual(len(mindel.recorded_calls()), 3, "no unload without a file")

    def test_start_at_login_with_another_stored_value_neither_installs_nor_removes(self):
        mindel = Mindel()
        self.addCleanup(mindel.stop)
        agent = os.path.join(mindel.home, "Library", "LaunchAgents", "com.quorv.Mindel.plist")
        os.makedirs(os.path.dirname(agent))
        with open(agent, "w", encoding="utf-8") as f:
            f.write("an agent of an earlier run")
        mindel.write_prefs(prefs(login=2))
        mindel.start()
        self.open_preferences(mindel)
        self.assertEqual(self.views(mindel.show())["1.14"]["state"], 0, "2 is not ticked")
        mindel.send("click 1.14")
        self.assertEqual(mindel.read_prefs()["Val5"], -1, "1 - 2 is stored as it is")
        with open(agent, encoding="utf-8") as f:
            self.assertEqual(f.read(), "an agent of an earlier run", "the agent is left alone")
        mindel.send("click 1.14")
        self.assertEqual(mindel.read_prefs()["Val5"], 2, "1 - -1 is 2 again")
        self.assertTrue(os.path.exists(agent))
        self.assertEqual(mindel.recorded_calls(), [], "launchctl is never run")


if __name__ == "__main__":
    unittest.main()
