#!/usr/bin/env python3
"""Runs a whole Mindel session under valgrind memcheck and fails on any report.

The session drives the built bundle on the terminal desktop with the virtual clock: a first
run enters, edits and clears the task, changes every gadget of the preferences window, lets
an alert reminder fire, opens the about box twice and quits through the menu; a second run
starts from the settings the first one stored, presses both hot keys, speaks a reminder and
quits. Memcheck looks for invalid reads and writes, uses of uninitialised values and leaks
(definite, indirect and possible); tests/e2e/valgrind.supp lists the objects the program keeps
for its whole life. Any report, or a session step that does not answer as expected, makes the
script exit with 1.

The script builds nothing. Build a Debug bundle without sanitizers first (valgrind cannot run
AddressSanitizer programs):

    cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=Debug -DMINDEL_SANITIZE=OFF -DMINDEL_TESTS=OFF
    cmake --build build-valgrind -j2 --target mindel
    python3 tests/e2e/valgrind_session.py

MINDEL_BUNDLE names another bundle; without it build-valgrind/Mindel.app is used, else
build/Mindel.app.
"""

import os
import shlex
import shutil
import sys
import tempfile

from mindel import SOURCE_DIR, Mindel, MindelError, named, parse_fields

SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "valgrind.supp")

# Memcheck's exit code when it reported anything; the program itself only ever exits with 0.
ERROR_EXIT_CODE = 97

CTRL_ALT = 4096 + 2048  # Carbon control + option
KEY_Y, KEY_K = 16, 40


class SessionError(AssertionError):
    """A step of the session did not do what it should; the run proves nothing then."""


def check(condition, message):
    if not condition:
        raise SessionError(message)


# --- Finding the program ---

def choose_bundle():
    """The bundle to run: MINDEL_BUNDLE, else build-valgrind/, else build/. Exits with a
    message when there is none or when it was built with AddressSanitizer."""
    bundle = os.environ.get("MINDEL_BUNDLE")
    if not bundle:
        for folder in ("build-valgrind", "build"):
            bundle = os.path.join(SOURCE_DIR, folder, "Mindel.app")
            if os.path.isdir(bundle):
                break
    program = os.path.join(bundle, "Contents", "MacOS", "Mindel")
    if not os.access(program, os.X_OK):
        sys.exit("no program at %s: build the bundle first (see the top of %s)"
                 % (program, os.path.basename(__file__)))
    with open(program, "rb") as binary:
        if b"__asan_init" in binary.read():
            sys.exit("%s was built with AddressSanitizer, which valgrind cannot run: use a "
                     "build with -DMINDEL_SANITIZE=OFF" % program)
    return os.path.abspath(bundle)


def valgrind_command(log_path):
    return [
        "valgrind", "--tool=memcheck", "--leak-check=full",
        "--show-leak-kinds=definite,indirect,possible",
        "--errors-for-leak-kinds=definite,indirect,possible",
        # Sized blocks are known only by the address past their 8-byte size header.
        "--leak-check-heuristics=length64",
        "--track-origins=yes", "--num-callers=40",
        # The speech command and the helpers start through forked children that exit or
        # exec at once; only the program itself is checked.
        "--child-silent-after-fork=yes",
        "--suppressions=" + SUPPRESSIONS,
        "--error-exitcode=%d" % ERROR_EXIT_CODE,
        "--log-file=" + log_path,
    ]


# --- The session ---

def alert_fields(mindel):
    alerts = mindel.reports_of("alert")
    check(alerts, "an alert should have opened")
    return named(parse_fields(alerts[-1]))


def enter_task(mindel, text, command="menu 1"):
    before = len(mindel.reports_of("alert"))
    mindel.send(command)
    check(len(mindel.reports_of("alert")) == before + 1, "%r should open the task dialog"
          % command)
    mindel.send("type " + text)
    mindel.send("press Save")
    title = mindel.show().status["title"]
    check(title == text, "the title should be %r, not %r" % (text, title))


def first_run(mindel):
    """Task, preferences, an alert reminder, the about box, and Quit."""
    enter_task(mindel, "Buy milk")
    enter_task(mindel, "Call the bank")
    mindel.send("menu 2")
    check(mindel.show().status["title"] == "", "Clear Task should empty the title")
    # Cancelled, and then longer than the limit (cut with an ellipsis).
    mindel.send("menu 1")
    mindel.send("type Never mind")
    mindel.send("press Cancel")
    mindel.send("menu 1")
    mindel.send("type " + "Water the plants, " * 5)
    mindel.send("press Save")
    check(mindel.show().status["title"].endswith("..."), "a long task should be cut")
    enter_task(mindel, "Stretch")

    mindel.send("menu 4")
    check(1 in mindel.show().windows, "Preferences... should open window 1")
    # A refused shortcut gives the Error message; good ones move both hot keys.
    mindel.send("focus 1.2")
    mindel.send("key t")
    mindel.send("click 1.3")
    check(alert_fields(mindel)["message"] == "Error", "a bare T should be refused")
    mindel.send("press OK")
    mindel.send("focus 1.2")
    mindel.send("key ctrl+alt+y")
    mindel.send("click 1.3")
    mindel.send("focus 1.5")
    mindel.send("key ctrl+alt+k")
    mindel.send("click 1.6")
    check(sorted(mindel.show().hotkeys) == [(KEY_Y, CTRL_ALT), (KEY_K, CTRL_ALT)],
          "the hot keys should be Y and K")
    for index in (2, 0, 1):
        mindel.send("select 1.8 %d" % index)
    mindel.send("step 1.12 up")
    mindel.send("step 1.12 down")
    mindel.send("step 1.12 down")
    mindel.send("focus 1.11")
    mindel.send("type 3")
    mindel.send("click 1.13")  # the help button only carries a tool tip
    mindel.send("click 1.14")
    check(mindel.wait_calls(1)[0][:2] == ["launchctl", "load"], "ticking should load the agent")
    mindel.send("click 1.14")
    check(mindel.wait_calls(1)[0][:2] == ["launchctl", "unload"],
          "unticking should unload the agent")
    mindel.send("click 1.14")
    mindel.wait_calls(1)
    mindel.send("close 1")
    show = mindel.show()
    check(1 not in show.windows, "the preferences window should be closed")
    check((0, 1, 3 * 60000) in show.timers, "the reminder timer should run every 3 minutes")

    before = len(mindel.reports_of("alert"))
    mindel.send("advance 3m")
    check(len(mindel.reports_of("alert")) == before + 1, "a reminder should fire after 3 min")
    check(alert_fields(mindel)["message"] == 'Task reminder for "Stretch"\n',
          "the reminder should name the task")
    mindel.send("press Ok")

    mindel.send("menu 5")
    mindel.send("press See My Other Apps")
    check(mindel.wait_calls(1)[0][0] == "Open", "the about box should open the page")
    mindel.send("menu 5")
    mindel.send("press Ok")
    code = mindel.send_expecting_exit("menu 6")
    return code


def second_run(mindel):
    """Starts from stored settings: hot keys, a spoken reminder, preferences, and Quit."""
    check(mindel.show().status["title"] == "Stretch", "the stored task should be shown")
    enter_task(mindel, "Read the mail", command="hotkey ctrl+alt+y")
    mindel.send("hotkey ctrl+alt+k")
    check(mindel.show().status["title"] == "", "the clear key should empty the title")
    enter_task(mindel, "Drink water", command="hotkey ctrl+alt+y")

    mindel.send("menu 4")
    mindel.send("select 1.8 2")
    mindel.send("click 1.14")  # ticked at the end of the first run: unticking unloads
    mindel.wait_calls(1)
    mindel.send("close 1")
    for _ in range(2):
        mindel.send("advance 3m")
        check(mindel.wait_calls(1)[0][0] == "spd-say", "a spoken reminder should run spd-say")
    return mindel.send_expecting_exit("menu 6")


# --- Running and reporting ---

def run(session, home, log_path):
    """One run of the program under memcheck; answers its exit code."""
    os.environ["MINDEL_WRAPPER"] = shlex.join(valgrind_command(log_path))
    mindel = Mindel(home=home)
    try:
        mindel.start()
        return session(mindel)
    finally:
        mindel.stop()


def report(name, log_path):
    """Prints the log's findings; answers whether it is clean."""
    if not os.path.exists(log_path):
        print("%s: memcheck wrote no log (did the harness put MINDEL_WRAPPER first?)" % name)
        return False
    with open(log_path, encoding="utf-8", errors="replace") as log:
        text = log.read()
    lines = [line.split(" ", 1)[1] if line.startswith("==") and " " in line else line
             for line in text.splitlines()]
    summary = [line for line in lines if line.startswith("ERROR SUMMARY")
               or line.strip().startswith(("definitely lost", "indirectly lost",
                                           "possibly lost", "suppressed:"))]
    clean = any(line.startswith("ERROR SUMMARY: 0 errors") for line in lines)
    print("%s: %s" % (name, "clean" if clean else "REPORTS"))
    for line in summary:
        print("  " + line.strip())
    if not clean:
        print(text)
    return clean


def main():
    if not shutil.which("valgrind"):
        sys.exit("valgrind is not installed (Debian package valgrind)")
    bundle = choose_bundle()
    os.environ["MINDEL_BUNDLE"] = bundle
    print("valgrind session over %s" % bundle)
    clean = True
    with tempfile.TemporaryDirectory(prefix="mindel-valgrind-") as folder:
        home = os.path.join(folder, "home")
        os.makedirs(home)
        for name, session in (("first run", first_run), ("second run", second_run)):
            log_path = os.path.join(folder, name.replace(" ", "-") + ".log")
            try:
                code = run(session, home, log_path)
            except (MindelError, SessionError) as error:
                print("%s: the session failed: %s" % (name, error))
                report(name, log_path)
                return 1
            clean = report(name, log_path) and clean
            if code not in (0, ERROR_EXIT_CODE):
                print("%s: the program exited with %s instead of 0" % (name, code))
                clean = False
    return 0 if clean else 1


if __name__ == "__main__":
    sys.exit(main())
