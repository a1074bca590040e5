#!/usr/bin/python3
"""The graphical desktop's figures, for bench/run: start to the item registered with the
panel's watcher, the proportional set size while only the item is shown, wake-ups while idle,
the time from a task change to the label signal, and the task dialog's: menu click to the
dialog on screen (first and later), memory after it, and wake-ups while it is open. Runs the bundle named by MINDEL_BUNDLE in
a private Xvfb and session bus (tests/e2e/graphical.py) and prints the rows as JSON.

Usage (bench/run does this): MINDEL_BUNDLE=build-bench/Mindel.app bench/graphical.py [--quick]
"""

import json
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from graphical import Session, Watcher  # noqa: E402

PREFS = {"Val1": "\u2303\u2325T", "Val9": "\u2303\u2325/", "Val16": "Measure the panel",
         "Val5": 0, "Val7": 1, "Val18": 1}


def pss_kib(pid, field="Pss"):
    with open("/proc/%d/smaps_rollup" % pid, encoding="ascii") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s in smaps_rollup" % field)


def cpu_and_switches(pid):
    """(CPU clock ticks, context switches) over every thread of pid."""
    ticks = switches = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/stat" % (pid, tid), encoding="ascii") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        ticks += int(fields[11]) + int(fields[12])
        with open("/proc/%d/task/%s/status" % (pid, tid), encoding="ascii") as f:
            for line in f:
                if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                    switches += int(line.split()[1])
    return ticks, switches


def measure(starts, idle_seconds):
    registered, label = [], []
    # In memory, so that the fsync of each settings write (tens of milliseconds on this disk)
    # is not taken for the program's own work.
    memory = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with Session(folder=memory) as session:
        session.write_prefs(PREFS)
        watcher = Watcher(session)
        for start in range(starts):
            begun = time.perf_counter()
            mindel = session.start_mindel()
            item = watcher.wait_for_item(count=start + 1)
            registered.append((time.perf_counter() - begun) * 1000)
            # A task change from the panel's menu to the label's signal.
            since = len(item.signals)
            number, _ = item.entry("Clear Task")
            begun = time.perf_counter()
            item.menu("Event", item_event(number))
            item.wait_signal("XAyatanaNewLabel", since=since)
            label.append((time.perf_counter() - begun) * 1000)
            if start + 1 < starts:
                mindel.stop()
                session.write_prefs(PREFS)
        # The last run has only its item shown: its memory and its idling.
        session.write_prefs(PREFS)
        mindel.stop()
        mindel = session.start_mindel()
        watcher.wait_for_item(count=starts + 1)
        session.settle()
        pid = mindel.process.pid
        pss = pss_kib(pid)
        anonymous = pss_kib(pid, "Pss_Anon")
        before = cpu_and_switches(pid)
        time.sleep(idle_seconds)  # the measurement itself: the program is left alone
        after = cpu_and_switches(pid)
        mindel.stop()
    tick_ms = 1000.0 / os.sysconf("SC_CLK_TCK")
    return [
        row("graphical: start to the item registered (ms, median of %d)" % starts,
            "%.1f" % statistics.median(registered), "< 15 ms",
            statistics.median(registered) < 15),
        row("graphical: proportional set size, item only (KiB)", str(pss), "< 4096 KiB",
            pss < 4096),
        row("  of which its own memory: heap and stacks (KiB; the rest is libraries, counted in "
            "full where no other process of the session maps them)", str(anonymous), "-", True),
        row("graphical: idle %d s with a 1-minute reminder: wake-ups" % idle_seconds,
            str(after[1] - before[1]), "0 (60 s timer)", after[1] == before[1]),
        row("graphical: idle %d s: CPU time (ms)" % idle_seconds,
            "%.0f" % ((after[0] - before[0]) * tick_ms), "0 ms", after[0] == before[0]),
        row("graphical: menu click to the label signal, settings in memory (ms, median of %d)"
            % starts,
            "%.2f" % statistics.median(label), "< 2 ms", statistics.median(label) < 2),
    ]


def dialog_figures(dialogs, idle_seconds):
    """Menu click to the task dialog on screen, the first time (GTK loaded then) and later;
    the proportional set size after the dialogs; wake-ups while one is open and untouched."""
    build = os.environ.get("MINDEL_BUILD_DIR") or os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build")
    tool = os.path.join(build, "tests", "x_test_tool")
    if not os.access(tool, os.X_OK):
        return []  # a build without the tests' tools
    times = []
    memory = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with Session(folder=memory) as session:
        session.write_prefs(PREFS)
        watcher = Watcher(session)
        mindel = session.start_mindel()
        item = watcher.wait_for_item()
        pid = mindel.process.pid
        for _ in range(dialogs):
            waiting = subprocess.Popen([tool, "wait-mapped", str(pid), "60"],
                                       env=session.environment(), stdout=subprocess.PIPE)
            waiting.stdout.readline()  # it watches the screen now
            since = len(item.signals)
            begun = time.perf_counter()
            item.menu("Event", item_event(item.entry("Edit Task")[0]))
            if waiting.wait(60) != 0:
                raise RuntimeError("the task dialog did not show")
            times.append((time.perf_counter() - begun) * 1000)
            item.wait_signal("ItemsPropertiesUpdated", since=since)  # the menu is locked
            since = len(item.signals)
            if len(times) < dialogs:
                session.press("Escape")
                item.wait_signal("ItemsPropertiesUpdated", since=since)  # and free again
        # The last dialog stays open: its idling.
        session.settle()
        before = cpu_and_switches(pid)
        time.sleep(idle_seconds)  # the measurement itself: the program is left alone
        after = cpu_and_switches(pid)
        session.press("Escape")
        item.wait_signal("ItemsPropertiesUpdated", since=since)
        session.settle()
        pss = pss_kib(pid)
        mindel.stop()
    later = statistics.median(times[1:]) if len(times) > 1 else times[0]
    return [
        row("graphical: menu click to the task dialog on screen, first (ms, GTK loaded)",
            "%.0f" % times[0], "< 120 ms", times[0] < 120),
        row("graphical: menu click to the task dialog on screen, later (ms, median of %d)"
            % (len(times) - 1), "%.1f" % later, "< 25 ms", later < 25),
        row("graphical: proportional set size after the dialogs (KiB)", str(pss), "< 20480 KiB",
            pss < 20480),
        row("graphical: %d s with the dialog open and untouched: wake-ups (cursor blink: GTK's "
            "stops after 10 s)" % idle_seconds, str(after[1] - before[1]), "-", True),
    ]


def item_event(number):
    from gi.repository import GLib
    return GLib.Variant("(isvu)", (number, "clicked", GLib.Variant("s", ""), 0))


def row(figure, ours, target, met):
    return {"figure": figure, "ours": ours, "theirs": "-", "ratio": "-", "target": target,
            "met": "yes" if met else "NO"}


if __name__ == "__main__":
    quick = "--quick" in sys.argv
    rows = measure(starts=5 if quick else 20, idle_seconds=2 if quick else 10)
    rows += dialog_figures(dialogs=4 if quick else 11, idle_seconds=2 if quick else 15)
    print(json.dumps(rows))
