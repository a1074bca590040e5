"""Drives the real Mindel bundle through the terminal desktop for end-to-end tests.

A Mindel object starts Contents/MacOS/Mindel of the bundle named by MINDEL_BUNDLE (default:
build/Mindel.app of the source tree) with the terminal desktop, the virtual clock, a fresh
temporary HOME and a PATH whose first folder holds stand-ins for spd-say, espeak-ng,
launchctl and Open (or the programs a test names instead). Each stand-in records its
arguments as one JSON line in calls.log and tells the harness at once, so a test waits for a
call instead of sleeping. What the real helpers do in the background is waited for with a
FolderWatch.

Every command waits for the program's `ok` or `error:` line; the timeout is only a safety net
that fails the test. Reports (alert:, speak:, window:) are collected on the side.
"""

import ctypes
import json
import os
import plistlib
import queue
import select
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

# Generous, because sanitizer builds start slowly; reaching it fails the test.
TIMEOUT_SECONDS = 60

REPORT_PREFIXES = ("alert: ", "speak: ", "window: ")
STAND_INS = ("spd-say", "espeak-ng", "launchctl", "Open")

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

STAND_IN_SCRIPT = """#!{python}
# Stand-in for {name}: records its arguments and tells the test harness.
import json, os, socket, sys
line = json.dumps([os.path.basename(sys.argv[0])] + sys.argv[1:]) + "\\n"
with open({log!r}, "a", encoding="utf-8") as log:
    log.write(line)
try:
    with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as s:
        s.sendto(line.encode("utf-8"), {sock!r})
except OSError:
    pass
"""


class MindelError(AssertionError):
    """The program did not answer as the protocol promises (timeout, early exit)."""


def bundle_path():
    return os.environ.get("MINDEL_BUNDLE") or os.path.join(SOURCE_DIR, "build", "Mindel.app")


def program_path():
    return os.path.join(bundle_path(), "Contents", "MacOS", "Mindel")


def wrapper_command():
    """The command that MINDEL_WRAPPER puts before the program (e.g. a valgrind line), as a
    list; empty when it is not set. Its program is found on the harness's PATH, since a
    test may give the program an empty one."""
    command = shlex.split(os.environ.get("MINDEL_WRAPPER", ""))
    if command:
        command[0] = shutil.which(command[0]) or command[0]
    return command


# --- Parsing the protocol's lines ---

def parse_fields(text):
    """Splits a report or state line into tokens.

    Answers a list of (name, value) pairs: `title="x"` gives ("title", "x"), a bare JSON
    string gives (None, "x"), a bare word (None, word); JSON values (strings, arrays, null)
    are decoded, other values stay text.
    """
    decoder = json.JSONDecoder()
    fields = []
    i = 0
    while i < len(text):
        if text[i] == " ":
            i += 1
            continue
        name = None
        if text[i] not in "\"[":
            j = i
            while j < len(text) and text[j] not in " =\"[":
                j += 1
            word = text[i:j]
            if j < len(text) and text[j] == "=":
                name = word
                i = j + 1
            else:
                fields.append((None, word))
                i = j
                continue
        if i < len(text) and (text[i] in "\"[" or text.startswith("null", i)):
            value, i = decoder.raw_decode(text, i)
        else:
            j = text.find(" ", i)
            j = len(text) if j < 0 else j
            value, i = text[i:j], j
        fields.append((name, value))
    return fields


def named(fields):
    return {name: value for name, value in fields if name is not None}


def bare(fields):
    return [value for name, value in fields if name is None]


class MenuItem:
    def __init__(self, tag, title, key, mods, enabled):
        self.tag = tag          # item number; None for a separator
        self.title = title      # title before the tab
        self.key = key          # key equivalent ("" when none)
        self.mods = mods        # e.g. "ctrl+alt", "-" when none
        self.enabled = enabled  # True or False

    def __repr__(self):
        if self.tag is None:
            return "MenuItem(-)"
        return "MenuItem(%r, %r, key=%r, mods=%r, %s)" % (
            self.tag, self.title, self.key, self.mods, "enabled" if self.enabled else "disabled")


class Show:
    """The state block of `show`."""

    def __init__(self, lines):
        self.lines = lines
        self.status = None  # {"title", "image", "length"}
        self.menu = []      # MenuItems, separators included
        self.hotkeys = []   # (key code, carbon modifiers)
        self.timers = []    # (window, timer, interval ms)
        self.windows = {}   # number -> {"title", "visible", "key", "level"}
        self.views = {}     # "w.v" -> {"class", "text", "frame", "enabled", "state", "hidden"}
        self.alert = None   # the alert's fields while one is open
        for line in lines:
            kind, _, rest = line.partition(" ")
            fields = parse_fields(rest)
            values, words = named(fields), bare(fields)
            if kind == "status":
                self.status = {"title": values.get("title"), "image": values.get("image"),
                               "length": float(values.get("length", "nan"))}
            elif kind == "menu":
                if words == ["-"]:
                    self.menu.append(MenuItem(None, None, None, None, None))
                else:
                    self.menu.append(MenuItem(int(words[0]), words[1], values.get("key"),
                                              values.get("mods"), words[-1] == "enabled"))
            elif kind == "hotkey":
                self.hotkeys.append((int(words[0]), int(words[1])))
            elif kind == "timer":
                self.timers.append(tuple(int(w) for w in words[:3]))
            elif kind == "window":
                self.windows[int(words[0])] = {
                    "title": words[1], "visible": words[2] == "visible",
                    "key": words[3] == "key", "level": int(values.get("level", 0))}
            elif kind == "view":
                self.views[words[0]] = {
                    "class": words[1], "text": words[2],
                    "frame": tuple(int(n) for n in values["frame"].split(",")),
                    "enabled": "enabled" in words[3:], "hidden": "hidden" in words[3:],
                    "state": int(values["state"]) if "state" in values else None}
            elif kind == "alert":
                self.alert = values

    def item(self, tag):
        """The menu item with that number, or None."""
        for entry in self.menu:
            if entry.tag == tag:
                return entry
        return None

    def tags(self):
        """The menu from top to bottom: item numbers, "-" for separators."""
        return [entry.tag if entry.tag is not None else "-" for entry in self.menu]


# --- Waiting for files ---

class FolderWatch:
    """Tells the moment a file in a folder is created, opened, changed, renamed into it or
    removed, by inotify, so that a test waits for what a detached program does instead of
    sleeping."""

    IN_MODIFY, IN_OPEN, IN_MOVED_FROM, IN_MOVED_TO, IN_CREATE, IN_DELETE = (
        0x2, 0x20, 0x40, 0x80, 0x100, 0x200)

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_CLOEXEC | os.O_NONBLOCK)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        mask = (self.IN_MODIFY | self.IN_OPEN | self.IN_MOVED_FROM | self.IN_MOVED_TO |
                self.IN_CREATE | self.IN_DELETE)
        if self.libc.inotify_add_watch(self.fd, os.fsencode(folder), mask) < 0:
            os.close(self.fd)
            raise OSError(ctypes.get_errno(), "inotify_add_watch")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def wait(self, timeout):
        """True once something happened in the folder, False after timeout seconds."""
        return bool(select.select([self.fd], [], [], timeout)[0])

    def wait_until(self, condition, what, timeout=TIMEOUT_SECONDS):
        """Waits until condition() holds, looking again after each change in the folder;
        fails with what after timeout seconds."""
        deadline = time.monotonic() + timeout
        while not condition():
            left = deadline - time.monotonic()
            if left <= 0 or not self.wait(left):
                raise MindelError("%s did not happen within %d s" % (what, timeout))
            try:
                os.read(self.fd, 65536)  # the events themselves do not matter
            except BlockingIOError:
                pass

    def close(self):
        os.close(self.fd)


# --- The program ---

class Mindel:
    """One run of the program. Use as a context manager, or call stop()."""

    def __init__(self, home=None, screen=None, appearance=None, env=None, stand_ins=STAND_INS,
                 program=None):
        self.stand_ins = stand_ins  # the names of the programs replaced by recording stand-ins
        self.program = program or program_path()
        self.workdir = tempfile.mkdtemp(prefix="mindel-e2e-")
        self.home = home or os.path.join(self.workdir, "home")
        os.makedirs(self.home, exist_ok=True)
        self.screen = screen
        self.appearance = appearance
        self.extra_env = env or {}
        self.reports = []  # every report line, in order
        self.returncode = None
        self.process = None
        self._lines = queue.Queue()
        self._calls = queue.Queue()
        self._make_stand_ins()

    # --- Set-up ---

    def _make_stand_ins(self):
        self.bin_dir = os.path.join(self.workdir, "bin")
        os.makedirs(self.bin_dir)
        self.calls_log = os.path.join(self.workdir, "calls.log")
        self.calls_socket = os.path.join(self.workdir, "calls.sock")
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self._listener.bind(self.calls_socket)
        threading.Thread(target=self._receive_calls, daemon=True).start()
        for name in self.stand_ins:
            path = os.path.join(self.bin_dir, name)
            with open(path, "w", encoding="utf-8") as script:
                script.write(STAND_IN_SCRIPT.format(python=sys.executable, name=name,
                                                    log=self.calls_log, sock=self.calls_socket))
            os.chmod(path, 0o755)

    def _receive_calls(self):
        while True:
            try:
                data = self._listener.recv(65536)
            except OSError:
                return
            self._calls.put(json.loads(data.decode("utf-8")))

    def environment(self):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("MINDEL_", "XDG_")) and key not in ("DISPLAY",
                                                                        "WAYLAND_DISPLAY")}
        env.update({"HOME": self.home, "MINDEL_DESKTOP": "terminal",
                    "MINDEL_CLOCK": "virtual",
                    "PATH": self.bin_dir + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin")})
        if self.screen:
            env["MINDEL_SCREEN"] = self.screen
        if self.appearance:
            env["MINDEL_APPEARANCE"] = self.appearance
        env.update(self.extra_env)
        # A value of None in the extra environment removes that variable (such as HOME).
        return {key: value for key, value in env.items() if value is not None}

    def start(self):
        """Starts the program and waits for the `ok` that ends start-up."""
        program = self.program
        if not os.access(program, os.X_OK):
            raise MindelError("no program at %s (build the bundle first)" % program)
        self.stderr_path = os.path.join(self.workdir, "stderr.log")
        self._stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen(
            wrapper_command() + [program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=self._stderr, env=self.environment(), cwd=self.workdir)
        threading.Thread(target=self._read_lines, daemon=True).start()
        answer, _ = self._wait_answer("start-up")
        if answer != "ok":
            raise MindelError("start-up answered %r instead of ok" % answer)
        return self

    def _read_lines(self):
        for raw in self.process.stdout:
            self._lines.put(raw.decode("utf-8").rstrip("\n"))
        self._lines.put(None)  # end of output

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        """Ends the run (kills the program if it still runs) and removes the folder."""
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.process:
            self.process.stdout.close()
            self.process.stdin.close()
            self._stderr.close()
        self._listener.close()
        shutil.rmtree(self.workdir, ignore_errors=True)

    # --- Talking to the program ---

    def _next_line(self, what):
        try:
            line = self._lines.get(timeout=TIMEOUT_SECONDS)
        except queue.Empty:
            raise MindelError("no answer to %s within %d s%s" % (what, TIMEOUT_SECONDS,
                                                                 self.stderr_tail())) from None
        return line

    def _wait_answer(self, what):
        """Reads until `ok` or `error: ...`; answers it and the other lines before it."""
        output = []
        while True:
            line = self._next_line(what)
            if line is None:
                code = self.process.wait(timeout=TIMEOUT_SECONDS)
                raise MindelError("the program ended (code %s) before answering %s%s" % (
                    code, what, self.stderr_tail()))
            if line == "ok" or line.startswith("error:"):
                return line, output
            if line.startswith(REPORT_PREFIXES):
                self.reports.append(line)
            else:
                output.append(line)

    def send(self, command):
        """Sends one command; answers the lines it printed (reports aside). Fails on error:."""
        answer, output = self.try_send(command)
        if answer != "ok":
            raise MindelError("%r answered %r" % (command, answer))
        return output

    def try_send(self, command):
        """Sends one command; answers ("ok" or the error line, the lines printed before)."""
        self._write(command)
        return self._wait_answer(repr(command))

    def _write(self, command):
        self.process.stdin.write((command + "\n").encode("utf-8"))
        self.process.stdin.flush()

    def show(self):
        return Show(self.send("show"))

    def send_expecting_exit(self, command):
        """Sends a command that ends the program; answers its exit code."""
        self._write(command)
        return self.wait_exit(repr(command))

    def close_input(self):
        """Ends standard input; answers the exit code."""
        self.process.stdin.close()
        return self.wait_exit("the end of input")

    def wait_exit(self, what):
        """Waits for the end of output and of the process; every line meanwhile must be a
        report, never `ok` or `error:`."""
        while True:
            line = self._next_line(what)
            if line is None:
                break
            if line.startswith(REPORT_PREFIXES):
                self.reports.append(line)
            else:
                raise MindelError("%s printed %r instead of ending the program" % (what, line))
        try:
            self.returncode = self.process.wait(timeout=TIMEOUT_SECONDS)
        except subprocess.TimeoutExpired:
            raise MindelError("the program did not end after %s" % what) from None
        return self.returncode

    # --- What the program left behind ---

    def reports_of(self, kind):
        """The reports of one kind ("alert", "speak", "window"), without the prefix."""
        prefix = kind + ": "
        return [line[len(prefix):] for line in self.reports if line.startswith(prefix)]

    def wait_calls(self, count):
        """Waits until `count` stand-in calls have come in; answers all of them."""
        calls = []
        while len(calls) < count:
            try:
                calls.append(self._calls.get(timeout=TIMEOUT_SECONDS))
            except queue.Empty:
                raise MindelError("only %d of %d helper calls came: %r" % (
                    len(calls), count, calls)) from None
        return calls

    def recorded_calls(self):
        """Every stand-in call recorded so far, from calls.log."""
        if not os.path.exists(self.calls_log):
            return []
        with open(self.calls_log, encoding="utf-8") as log:
            return [json.loads(line) for line in log if line.strip()]

    def prefs_path(self):
        return os.path.join(self.home, "Library", "Preferences", "Mindel.plist")

    def read_prefs(self):
        """The stored defaults as a dictionary; None when the file does not exist."""
        path = self.prefs_path()
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return plistlib.load(f)

    def write_prefs(self, values):
        """Writes the defaults file before a start, as an earlier run would have left it."""
        path = self.prefs_path()
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            plistlib.dump(values, f, fmt=plistlib.FMT_XML)

    def stderr_tail(self):
        try:
            self._stderr.flush()
            with open(self.stderr_path, "rb") as f:
                text = f.read()[-4000:].decode("utf-8", "replace")
        except (OSError, AttributeError):
            return ""
        return "\n--- standard error ---\n" + text if text else ""
