"""Settings that survive a crash: Mindel killed at random moments while it stores task edits
and preference changes always leaves a defaults file and a launch agent that the next start
reads whole.

A seeded random walk drives the program through the task dialog, Clear Task and the
preferences window. A model predicts every state each command stores (one per write: Clear
Task, for one, stores the empty task and then the reminder kind). Each run ends in SIGKILL,
either once the program is idle or right after a batch of commands was written without
waiting for their `ok`. The file must then be one of the states stored along the way, every
key of it, never a mix; the launch agent file is missing or complete; and the next start shows
the stored task and clears away what a killed write left behind.

Random moments rarely fall inside a write of a small file, so a second test watches the
folders with inotify and kills the program at the first touch of a file there: a file written
in place would then be found empty or cut short.
"""

import os
import plistlib
import random
import tempfile
import unittest
from xml.parsers.expat import ExpatError

from mindel import FolderWatch, Mindel, bundle_path
from test_preferences import AGENT_TEMPLATE

SEED = 20261205
KILLS = 20
WRITE_KILLS = 6  # kills in the midst of writing, for each of the two files
AGENT_LABEL = "com.quorv.Mindel"
WORDS = ("call", "the", "bank", "write", "report", "buy", "milk", "ship", "it", "now", "plan",
         "trip", "\u00e9t\u00e9", "caf\u00e9", "\u4efb\u52a1", "\U0001f95b")
TASK_KEYS = "TKLMNY"  # letters for the enter-task key; the clear key stays on "/"
FIRST_RUN = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val5": 0, "Val7": 0,
             "Val18": 5}


def changed(state, **values):
    new = dict(state)
    new.update(values)
    return new


class Walk:
    """The random walk and its model of what the program stores.

    An action answers the commands to send and the states they store, one per write, in
    order; it also moves the model on (the dialog is closed after each action, the
    preferences window may stay open)."""

    def __init__(self, rng, state):
        self.rng = rng
        self.state = state        # the defaults as the model expects them after the last action
        self.prefs_open = False   # the preferences window is open

    def next_action(self):
        rng, state = self.rng, self.state
        if not self.prefs_open:
            choices = ["enter", "enter", "prefs"]
            if state.get("Val16"):
                choices.append("clear")
            kind = rng.choice(choices)
            if kind == "enter":
                text = " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 5)))
                return ["menu 1", "type " + text, "press Save"], [changed(state, Val16=text)]
            if kind == "clear":
                emptied = changed(state, Val16="")
                return ["menu 2"], [emptied, changed(emptied, Val7=0)]
            self.prefs_open = True
            return ["menu 4"], []
        choices = ["kind", "key", "login", "close"]
        if state.get("Val7"):
            choices += ["step", "step"]
        kind = rng.choice(choices)
        if kind == "kind":
            index = rng.randint(0, 2)
            return ["select 1.8 %d" % index], [changed(state, Val6="NagType", Val7=index)]
        if kind == "step":
            direction = rng.choice(("up", "down"))
            refresh = state["Val18"] + (1 if direction == "up" else -1)
            refresh = min(max(refresh, 2), 60)
            return ["step 1.12 " + direction], [changed(state, Val17="Refresh", Val18=refresh)]
        if kind == "key":
            letter = rng.choice(TASK_KEYS)
            return (["focus 1.2", "key ctrl+alt+" + letter.lower(), "click 1.3"],
                    [changed(state, Val0="AddKey", Val1="\u2303\u2325" + letter)])
        if kind == "login":
            return ["click 1.14"], [changed(state, Val4="Login", Val5=1 - state["Val5"])]
        self.prefs_open = False
        return ["close 1"], []

    def take(self, stored):
        if stored:
            self.state = stored[-1]


class CrashSurvivalTest(unittest.TestCase):
    def setUp(self):
        home = tempfile.TemporaryDirectory(prefix="mindel-home-")
        self.addCleanup(home.cleanup)
        self.home = home.name
        self.agent = os.path.join(self.home, "Library", "LaunchAgents", AGENT_LABEL + ".plist")

    def start(self):
        mindel = Mindel(home=self.home)
        self.addCleanup(mindel.stop)
        return mindel.start()

    def kill(self, mindel):
        mindel.process.kill()
        mindel.process.wait()
        mindel.stop()

    def read_whole_prefs(self, mindel, context):
        """The defaults after a kill, which must parse."""
        try:
            return mindel.read_prefs()
        except (plistlib.InvalidFileException, ExpatError) as error:
            with open(mindel.prefs_path(), "rb") as f:
                self.fail("%s: the settings file does not parse after the kill (%s): %r" % (
                    context, error, f.read()[-300:]))

    def assert_agent_whole(self, context):
        """The launch agent file is missing or the complete template."""
        if not os.path.exists(self.agent):
            return False
        with open(self.agent, encoding="utf-8", newline="") as f:
            text = f.read()
        app_path = text.split("<string>")[3].split("</string>")[0] if text.count(
            "<string>") >= 4 else None
        self.assertIsNotNone(app_path, "%s: the agent file is cut short: %r" % (context, text))
        self.assertEqual(os.path.realpath(app_path), os.path.realpath(bundle_path()), context)
        self.assertEqual(text, AGENT_TEMPLATE.replace("{appid}", AGENT_LABEL)
                         .replace("{apppath}", app_path),
                         "%s: the agent file should be whole" % context)
        return True

    def test_killed_at_random_moments_the_settings_and_agent_stay_whole(self):
        rng = random.Random(SEED)
        mindel = self.start()
        state = mindel.read_prefs()
        self.assertEqual(state, FIRST_RUN, "the first run stores the defaults")
        tasks = {""}  # every task ever stored
        for kill in range(KILLS):
            context = "seed %d, kill %d" % (SEED, kill)
            walk = Walk(rng, state)
            in_flight = rng.random() < 0.6
            # Idle steps, each checked once its `ok` has come.
            for _ in range(rng.randint(0 if in_flight else 1, 5)):
                commands, stored = walk.next_action()
                for command in commands:
                    mindel.send(command)
                walk.take(stored)
                tasks.update(s.get("Val16", "") for s in stored)
                self.assertEqual(mindel.read_prefs(), walk.state,
                                 "%s: after %r the file holds what was stored" % (context,
                                                                                 commands))
                if stored and commands == ["click 1.14"]:
                    self.assertEqual(self.assert_agent_whole(context), walk.state["Val5"] == 1,
                                     "%s: the agent exists exactly while login is on" % context)
            # Then, maybe, a batch written at once, and a kill once a random number of its
            # commands have answered: the next one is then running (often in its write).
            candidates = [walk.state]
            if in_flight:
                commands, stored = [], []  # each command, the states stored by it
                for _ in range(rng.randint(1, 3)):
                    action, states = walk.next_action()
                    commands += action
                    stored += [[] for _ in action[:-1]] + [states]
                    walk.take(states)
                    tasks.update(s.get("Val16", "") for s in states)
                mindel._write("\n".join(commands))
                answered = rng.randint(0, len(commands) - 1)
                for command in commands[:answered]:
                    answer, _ = mindel._wait_answer(repr(command))
                    self.assertEqual(answer, "ok", "%s: %r" % (context, command))
                    states = stored.pop(0)
                    candidates = states[-1:] if states else candidates[-1:]
                for states in stored:
                    candidates += states
            self.kill(mindel)

            found = self.read_whole_prefs(mindel, context)
            self.assertIn(found, candidates,
                          "%s: the file should hold one stored state whole, not %r" % (context,
                                                                                       found))
            self.assert_agent_whole(context)
            state = found

            mindel = self.start()
            show = mindel.show()
            self.assertEqual(show.status["title"], state.get("Val16", ""),
                             "%s: the next start shows the stored task" % context)
            self.assertIn(show.status["title"], tasks, context)
            self.assertEqual(mindel.read_prefs(), state, "%s: a start changes nothing" % context)
            self.assertEqual(os.listdir(os.path.dirname(mindel.prefs_path())), ["Mindel.plist"],
                             "%s: a start removes what a killed write left" % context)
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)

    def kill_at_first_write(self, mindel, folder, command, context):
        """Sends command without waiting and kills the program as soon as it touches a file
        in folder."""
        watch = FolderWatch(folder)
        try:
            mindel._write(command)
            self.assertTrue(watch.wait(60), "%s: %r should write in %s" % (context, command,
                                                                          folder))
            self.kill(mindel)
        finally:
            watch.close()

    def test_killed_in_the_midst_of_a_write_the_files_stay_whole(self):
        preferences = os.path.dirname(Mindel(home=self.home).prefs_path())
        agents = os.path.dirname(self.agent)
        os.makedirs(agents)
        mindel = self.start()
        self.assertEqual(mindel.send_expecting_exit("menu 6"), 0)
        state = mindel.read_prefs()
        for kill in range(WRITE_KILLS):
            context = "write kill %d" % kill
            # The task, as the dialog saves it.
            mindel = self.start()
            task = "Task number %d" % kill
            mindel.send("menu 1")
            mindel.send("type " + task)
            self.kill_at_first_write(mindel, preferences, "press Save", context)
            found = self.read_whole_prefs(mindel, context)
            self.assertIn(found, [state, changed(state, Val16=task)],
                          "%s: the old or the new settings, whole" % context)
            state = found

            # The launch agent, as ticking Start at Login writes it.
            if os.path.exists(self.agent):
                os.remove(self.agent)
            mindel = self.start()
            mindel.send("menu 4")
            if mindel.show().views["1.14"]["state"] == 1:
                mindel.send("click 1.14")
            self.kill_at_first_write(mindel, agents, "click 1.14", context)
            self.assert_agent_whole(context)
            state = self.read_whole_prefs(mindel, context)


if __name__ == "__main__":
    unittest.main()
