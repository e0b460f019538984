#!/usr/bin/env python3
"""Drives the real VostleWatch.exe under Wine as a user would.

Loopback servers serve the watched pages, over plain HTTP and over TLS as
localhost with a throwaway root that only the test's own Wine prefix trusts
(certificate checks stay on). A recording `xdg-open` first
on PATH stands in for the desktop browser (Wine hands URLs to it), and
xdotool produces real mouse and keyboard input on the X display. The checks
are on what a user and the file system see: standard output line by line,
the bytes of "autosave.dat" after each step, what the browser was asked to
open, and the exit status.

Needs DISPLAY with a window manager (tools/test-all.sh provides both; with
DISPLAY empty the script starts Xvfb and openbox itself), xdotool, root for
port 80. Results go to $VW_TEST_XML as JUnit XML, one case per scenario step.
"""
import os
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

SOURCE_DIR = os.environ.get("VW_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.dont_write_bytecode = True   # no caches in the source tree
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
from loopback_http import LoopbackHttpServer, lines_body  # noqa: E402
from test_pki import make_test_pki  # noqa: E402
from wine_program import (BOX_TITLE, WINE_RUN, WINDOW_TITLE, Display, Failure, Probe, Program, check,  # noqa: E402
                          record_file, start_persistent_wine, wait_for, xdo)

BIN_DIR = os.environ.get("VW_BIN_DIR", os.path.join(SOURCE_DIR, "build", "win64", "bin"))
PROGRAM = os.path.join(BIN_DIR, "VostleWatch.exe")

SERVER_IP = "127.0.90.1"
DEAD_IP = "127.0.90.2"   # nothing listens here: connections are refused
SLOW_IP = "127.0.90.3"   # every answer waits 3 s: fetches overlap for seconds
SLOWISH_IP = "127.0.90.4"  # every answer waits 1 s
PROBE_LIMIT_MS = 100     # a window must answer within this (p99)

# Client-area positions of the text fields (points inside them); the
# buttons and the list's rows are found where the window shows them.
URL_FIELD = (154, 16)
NAME_FIELD = (154, 48)
ADD_BUTTON = "Add"
REMOVE_BUTTON = "Remove"
CHECK_NOW_BUTTON = "Check now"


class WatchProgram(Program):
    """The program with the positions of its gadgets."""

    def start(self):
        self._buttons = None
        return super().start()

    def click(self, point, repeat=1):
        """A point of the client area, or the text of a button."""
        if isinstance(point, str):
            # The buttons stay where they are while the window keeps its size.
            if not self._buttons:
                self._buttons = self.view()["buttons"]
            point = self._buttons[point]
        super().click(point, repeat)

    def view(self):
        """What the window shows, read from its controls (read_list.exe):
        the status bar's text, the list's header titles and rows (a point in
        each and its cells), the buttons' centres, the focused control's
        class and position, the list's rectangle."""
        r = subprocess.run([WINE_RUN, os.path.join(BIN_DIR, "read_list.exe"), WINDOW_TITLE],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        view = {"status": None, "header": [], "rows": [], "buttons": {}, "focus": None, "list": None}
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            kind, *f = line.rstrip("\r").split("\t")
            if kind == "status":
                view["status"] = f[0].strip() if f else ""
            elif kind == "header":
                view["header"] = f
            elif kind == "row":
                view["rows"].append({"x": int(f[1]), "y": int(f[2]), "cells": f[3:]})
            elif kind == "button":
                view["buttons"][f[0]] = (int(f[1]), int(f[2]))
            elif kind == "focus":
                view["focus"] = (f[0], int(f[1]), int(f[2]))
            elif kind == "list":
                view["list"] = tuple(int(v) for v in f)
        self._buttons = view["buttons"]
        return view

    def rows(self):
        """The cells of every row of the list."""
        return [row["cells"] for row in self.view()["rows"]]

    def field_texts(self, title=WINDOW_TITLE):
        """What the text fields (and static texts) hold, by their y position
        in the window."""
        r = subprocess.run([WINE_RUN, os.path.join(BIN_DIR, "read_fields.exe"), title],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        texts = {}
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            y, _, text = line.rstrip("\r").partition(" ")
            if y.lstrip("-").isdigit():
                texts[int(y)] = text
        return texts

    def field_text(self, field):
        return self.field_texts().get(field[1] - 12)

    def fill(self, field, text):
        """Replaces a text field's whole text, as a user would, and waits
        until the field holds exactly that text. The program pumps native
        input only when its event queue is empty and handles one event per
        200 ms, so typed keys can wait for seconds; under load Wine may also
        drop keys that race the focus change of the click, so the typing is
        repeated until the field holds the text."""
        for attempt in range(4):
            self.click(field)
            time.sleep(0.6 + attempt)
            xdo("key", "--clearmodifiers", "End", "shift+Home", "BackSpace")
            xdo("type", "--delay", 25, text)
            try:
                wait_for(lambda: self.field_text(field) == text, 15 + 10 * attempt,
                         f"the field to hold {text!r}", interval=0.5)
                break
            except Failure:
                if attempt == 3:
                    raise Failure(f"the field holds {self.field_text(field)!r}, not {text!r}")
        time.sleep(0.5)

    def box_text(self):
        """What the message box says, once it says something: a box can be
        on the display a moment before its text can be read."""
        self.find_window(BOX_TITLE)
        return wait_for(lambda: " ".join(t for t in self.field_texts(BOX_TITLE).values() if t), 10,
                        "the message box's text")

    def add_refused(self, url, name, reason):
        """Adds through the window a page that cannot be fetched: the box
        says why, the fields keep what was typed, the list stays as it was."""
        before = self.read_autosave()
        self.fill(URL_FIELD, url)
        self.fill(NAME_FIELD, name)
        self.click(ADD_BUTTON)
        text = self.box_text()
        want = f"Could not add {name}: {reason}."
        check(text == want, f"the box says {text!r}, expected {want!r}")
        self.answer_box(ok=True)
        time.sleep(1.0)
        fields = (self.field_text(URL_FIELD), self.field_text(NAME_FIELD))
        check(fields == (url, name), f"after the failed Add the fields hold {fields}")
        check(self.read_autosave() == before, "a failed Add changed the list")

    def list_item(self, index):
        row = self.view()["rows"][index]
        return (row["x"], row["y"])


class Browser:
    """A recording `xdg-open` first on PATH."""

    def __init__(self, folder):
        self.bin = os.path.join(folder, "fakebin")
        self.log = os.path.join(folder, "opened.txt")
        os.makedirs(self.bin, exist_ok=True)
        if os.path.exists(self.log):
            os.remove(self.log)
        script = os.path.join(self.bin, "xdg-open")
        with open(script, "w") as f:
            f.write(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{self.log}'\n")
        os.chmod(script, 0o755)

    def opened(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []


def program_in(work, name, env, stored):
    """The program in a folder of its own whose autosave.dat holds `stored` (bytes)."""
    folder = os.path.join(work, name)
    os.makedirs(folder, exist_ok=True)
    prog = WatchProgram(PROGRAM, folder, env)
    with open(prog.autosave, "wb") as f:
        f.write(stored)
    return prog


def gets(server):
    """The requests since the last call as (method and path, Host header)."""
    return [(request.rsplit(" ", 1)[0], host) for request, host in server.take_requests()]


class SlowServer(LoopbackHttpServer):
    """Answers every request after `delay` seconds, many at once."""

    def __init__(self, address, delay):
        super().__init__(address)
        self.delay = delay

    def start(self):
        super().start()
        delay = self.delay

        class Slow(self._server.RequestHandlerClass):
            def handle(self):
                time.sleep(delay)
                super().handle()
        self._server.RequestHandlerClass = Slow
        return self


def check_responsive(probe, t0, t1, what):
    ms = probe.between(t0, t1)
    check(len(ms) >= 10, f"only {len(ms)} probe answers {what}")
    p99 = Probe.p99(ms)
    print(f"         WM_NULL {what}: p99 {p99:.1f} ms, worst {max(ms):.1f} ms over {len(ms)} probes", flush=True)
    check(p99 < PROBE_LIMIT_MS, f"the window answered WM_NULL {what} in {p99:.1f} ms (p99), "
          f"over the {PROBE_LIMIT_MS} ms limit")


class Results:
    def __init__(self):
        self.cases = []   # (name, seconds, failure text or None)

    def run(self, name, fn, *args):
        t0 = time.monotonic()
        try:
            fn(*args)
            failure = None
        except Failure as e:
            failure = str(e)
        except Exception as e:  # a broken driver is a failed case too
            failure = f"{type(e).__name__}: {e}"
        secs = time.monotonic() - t0
        self.cases.append((name, secs, failure))
        print(f"[{'  OK  ' if failure is None else ' FAIL '}] {name} ({secs:.1f} s)" +
              ("" if failure is None else f"\n         {failure}"), flush=True)
        return failure is None

    def run_steps(self, steps):
        """Runs (name, function) steps in order until one fails; the rest
        count as failed, not reached."""
        for i, (name, fn) in enumerate(steps):
            if not self.run(name, fn):
                self.skip_rest([n for n, _ in steps[i + 1:]], f"{name} failed")
                return

    def skip_rest(self, names, why):
        for name in names:
            self.cases.append((name, 0.0, f"not reached: {why}"))
            print(f"[ FAIL ] {name} (not reached: {why})", flush=True)

    def write(self, path):
        suite = ET.Element("testsuite", name="e2e", tests=str(len(self.cases)),
                           failures=str(sum(1 for c in self.cases if c[2])))
        for name, secs, failure in self.cases:
            case = ET.SubElement(suite, "testcase", classname="VostleWatchE2E", name=name, time=f"{secs:.2f}")
            if failure:
                ET.SubElement(case, "failure", message=failure[:200]).text = failure
        root = ET.Element("testsuites")
        root.append(suite)
        ET.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)

    def finish(self):
        """Writes $VW_TEST_XML, prints the count; the exit status."""
        if os.environ.get("VW_TEST_XML"):
            self.write(os.environ["VW_TEST_XML"])
        failed = sum(1 for c in self.cases if c[2])
        print(f"{len(self.cases) - failed} passed, {failed} failed")
        return 1 if failed else 0


def countdown_ok(lines, first):
    """The lines from `first` on are "Countdown: 1500", "Countdown: 1499", ..."""
    for k, line in enumerate(lines[first:]):
        if line != f"Countdown: {1500 - k}":
            return f"line {first + k} is {line!r}, expected 'Countdown: {1500 - k}'"
    return None


# --- scenario 1: a user session ----------------------------------------------

def user_session(work, env, server, browser, results):
    pages = {"/t/a": 3, "/t/b": 5, "/t/c": 7, "/t/d": 4, "/t/e": 6}
    for path, n in pages.items():
        server.set_page(path, lines_body(n, seed=path))
    A = (f"http://{SERVER_IP}/t/a", "Alpha")
    B = (f"http://{SERVER_IP}/t/b", "Beta")
    C = (f"http://{SERVER_IP}/t/c", "Gamma")
    D = (f"http://{SERVER_IP}/t/d", "Delta")
    E = (f"{SERVER_IP}/t/e", "Echo")      # no scheme: fetched as http all the same
    folder = os.path.join(work, "session")
    os.makedirs(folder, exist_ok=True)
    prog = WatchProgram(PROGRAM, folder, env)
    # Alpha and Gamma are stored with stale counts, so the first cycle asks twice.
    with open(prog.autosave, "wb") as f:
        f.write(record_file([(*A, 1), (*B, 5), (*C, 2)]))
    server.take_requests()
    prog.start()
    state = {}

    def first_cycle():
        prog.wait_line("Update", 60)
        prog.answer_box(ok=True)        # Alpha changed: visit it
        prog.answer_box(ok=False)       # Gamma changed: do not
        gui = prog.wait_line("GUI stuff", 30)
        prog.wait_line("Countdown: 1497", 15)
        ls = prog.lines()
        expected = ["Update", "Old count: 1", "New Count: 3", "Old count: 5", "New Count: 5",
                    "Old count: 2", "New Count: 7", "GUI stuff"]
        check(ls[:gui + 1] == expected, f"first cycle printed {ls[:gui + 1]}, expected {expected}")
        bad = countdown_ok(ls, gui + 1)
        check(bad is None, bad)
        check(all(r.endswith(b"\r\n") for r in prog.raw), "an output line does not end with CR LF")
        check(prog.read_autosave() == record_file([(*A, 3), (*B, 5), (*C, 7)]),
              f"autosave.dat after the first cycle holds {prog.read_autosave()!r}")
        check(browser.opened() == [A[0]], f"browser was asked to open {browser.opened()}, expected only {A[0]}")
        # Pages are fetched several at a time, so requests come in any order.
        reqs = sorted(gets(server))
        want = sorted([(f"GET {p}", SERVER_IP) for p in ("/t/a", "/t/b", "/t/c")] * 2)
        check(reqs == want, f"server saw {reqs}, expected {want}")
        state["file"] = prog.read_autosave()

    def screenshot():
        # For people, not a check: the window with its three watched pages.
        time.sleep(2)   # the window repaints where the message boxes were
        if shutil.which("import"):
            shot = os.path.join(work, "three-pages.png")
            subprocess.run(["import", "-window", "root", shot], timeout=30, check=False)
            print(f"         screenshot: {shot}", flush=True)

    def add_with_button():
        prog.fill(URL_FIELD, D[0])
        prog.fill(NAME_FIELD, D[1])
        prog.click(ADD_BUTTON)
        want = record_file([(*A, 3), (*B, 5), (*C, 7), (*D, 4)])
        wait_for(lambda: prog.read_autosave() == want, 40, "Delta in autosave.dat")
        check(gets(server) == [("GET /t/d", SERVER_IP)], "Add did not fetch the page once")
        # The fields are back at "URL" and "name": Add again tries a host
        # named "URL", says it could not, adds nothing, and still saves.
        saved = os.stat(prog.autosave).st_mtime_ns
        prog.click(ADD_BUTTON)
        text = prog.box_text()
        check(text.startswith("Could not add name: "), f"the box after an Add without input says {text!r}")
        prog.answer_box(ok=True)
        wait_for(lambda: os.stat(prog.autosave).st_mtime_ns != saved, 40, "the save of an Add without input")
        check(prog.read_autosave() == want, f"Add without input changed the list: {prog.read_autosave()!r}")
        check(server.take_requests() == [], "Add without input reached the server")

    def add_with_enter():
        prog.fill(URL_FIELD, E[0])
        prog.fill(NAME_FIELD, E[1])
        xdo("key", "Return")
        want = record_file([(*A, 3), (*B, 5), (*C, 7), (*D, 4), (*E, 6)])
        wait_for(lambda: prog.read_autosave() == want, 40, "Echo in autosave.dat")
        check(gets(server) == [("GET /t/e", SERVER_IP)], "Enter did not fetch the page once")

    def add_missing_page():
        prog.add_refused(f"http://{SERVER_IP}/t/missing", "Missing", "the server answered 404 Not Found")
        server.take_requests()

    def remove_cancelled():
        before = prog.read_autosave()
        prog.click(prog.list_item(1))      # Beta
        prog.click(REMOVE_BUTTON)
        prog.answer_box(ok=False)
        time.sleep(1.0)
        check(prog.read_autosave() == before, "a cancelled removal changed autosave.dat")

    def remove_confirmed():
        prog.click(REMOVE_BUTTON)          # Beta is still the selected item
        prog.answer_box(ok=True)
        want = record_file([(*A, 3), (*C, 7), (*D, 4), (*E, 6)])
        wait_for(lambda: prog.read_autosave() == want, 20, "autosave.dat without Beta")

    def open_by_double_click():
        # Delta moved up to row 2 when Beta went.
        prog.click(prog.list_item(2), repeat=2)
        wait_for(lambda: len(browser.opened()) >= 2, 20, "the browser to be asked")
        time.sleep(0.5)
        check(browser.opened() == [A[0], D[0]],
              f"browser was asked to open {browser.opened()}, expected the typed address {D[0]}")

    def close_window():
        before = prog.read_autosave()
        prog.close_window()
        rc = prog.wait_exit(30)
        check(rc == 0, f"exit status {rc} after closing the window")
        ls = prog.lines()
        gui = ls.index("GUI stuff")
        bad = countdown_ok(ls, gui + 1)
        check(bad is None, bad)
        check(prog.read_autosave() == before, "closing the window changed autosave.dat")

    def first_cycle_then_screenshot():
        first_cycle()
        screenshot()

    steps = [("session_first_cycle_asks_and_saves", first_cycle_then_screenshot),
             ("session_add_with_button", add_with_button),
             ("session_add_with_enter_in_field", add_with_enter),
             ("session_add_of_missing_page_says_why_and_keeps_fields", add_missing_page),
             ("session_remove_cancelled", remove_cancelled),
             ("session_remove_confirmed", remove_confirmed),
             ("session_double_click_opens_typed_address", open_by_double_click),
             ("session_close_window_exits_0", close_window)]
    try:
        results.run_steps(steps)
    finally:
        if prog.proc.poll() is None:
            with open(os.path.join(folder, "stdout-tail.txt"), "w") as f:
                f.write("\n".join(prog.lines()[-40:]))
        prog.kill()


# --- scenario 2: the server cannot be reached ----------------------------------

def unreachable(work, env, results):
    stored = record_file([(f"http://{DEAD_IP}/t/a", "Alpha", 3), (f"{DEAD_IP}/t/b", "Beta", 5)])
    prog = program_in(work, "offline", env, stored)
    prog.start()

    def run():
        gui = prog.wait_line("GUI stuff", 60)
        prog.wait_line("Countdown: 1499", 15)
        ls = [("Reason: ..." if line.startswith("Reason: ") else line) for line in prog.lines()]
        failed = ["Failed to connect to Alpha.", "Reason: ...", "Failed to connect to Beta.", "Reason: ..."]
        expected = failed + ["Update"] + failed + ["GUI stuff"]
        check(ls[:gui + 1] == expected, f"printed {ls[:gui + 1]}, expected {expected}")
        check(prog.read_autosave() == stored, f"autosave.dat after the cycle holds {prog.read_autosave()!r}")
        prog.close_window()
        rc = prog.wait_exit(30)
        check(rc == 0, f"exit status {rc}")

    try:
        results.run("offline_list_survives", run)
    finally:
        prog.kill()


# --- scenario 3: one running copy per list ---------------------------------------

def one_copy_per_list(work, env, results):
    """A copy on another list runs beside the first; a second start on the
    first's list brings the first window to the front, restoring it when
    minimised, and ends within 2 s having written nothing."""
    stored = record_file([(f"http://{DEAD_IP}/o/a", "Alpha", 3)])
    first = program_in(work, "owner", env, stored)
    beside = program_in(work, "owner-other", env, stored)
    state = {}

    def files(folder):
        # The harness itself writes stderr.txt for each start.
        return {name: os.stat(os.path.join(folder, name)).st_mtime_ns for name in os.listdir(folder)
                if name != "stderr.txt"}

    def side_by_side():
        first.start()
        state["first"] = first.main_window()
        first.wait_line("GUI stuff", 60)
        beside.start()
        state["beside"] = beside.main_window()
        beside.wait_line("GUI stuff", 60)
        check(first.proc.poll() is None and beside.proc.poll() is None, "the copies on two lists did not both run")

    def second_start(minimised):
        if minimised:
            xdo("windowminimize", "--sync", state["first"])
        beside.focus(state["beside"])
        before = files(first.folder)
        t0 = time.monotonic()
        second = subprocess.run([WINE_RUN, first.exe], cwd=first.folder, env=env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        took = time.monotonic() - t0
        print(f"         second start on the same list ended after {took:.2f} s", flush=True)
        check(second.returncode == 0, f"the second start ended with status {second.returncode}")
        check(took <= 2.0, f"the second start took {took:.2f} s to end")
        check(second.stdout == b"", f"the second start printed {second.stdout!r}")
        check(files(first.folder) == before, f"the second start changed the folder: {before} -> {files(first.folder)}")
        try:
            wait_for(lambda: xdo("getactivewindow", check_rc=False).strip() == state["first"], 10,
                     "the first copy's window to come to the front")
        except Failure:
            active = xdo("getactivewindow", check_rc=False).strip()
            info = subprocess.run(["xprop", "-id", state["first"], "WM_STATE", "_NET_WM_STATE"], capture_output=True,
                                  text=True).stdout
            mapped = subprocess.run(["xwininfo", "-id", state["first"]], capture_output=True, text=True).stdout
            raise Failure(f"the first copy's window did not come to the front: active {active} "
                          f"({'beside' if active == state['beside'] else 'other'}), first {state['first']}: "
                          f"{' '.join(info.split())} {[l.strip() for l in mapped.splitlines() if 'Map State' in l]}")
        check(first.proc.poll() is None, "the first copy ended")

    steps = [("one_copy_per_list_copies_on_two_lists_run_side_by_side", side_by_side),
             ("one_copy_per_list_second_start_brings_the_first_to_the_front", lambda: second_start(False)),
             ("one_copy_per_list_second_start_restores_a_minimised_first", lambda: second_start(True))]
    try:
        results.run_steps(steps)
    finally:
        first.kill()
        beside.kill()


# --- scenario 4: the window goes on while pages are fetched ---------------------

def busy_window(work, env, server, slow, results):
    """16 stored pages behind a server that waits 3 s per answer: the
    start-up load and the cycle each take seconds. The window must answer
    all the time, and an Add and a Remove in the middle of the cycle work."""
    pages = [(f"/s/{i:02d}", 10 + i) for i in range(16)]
    for path, n in pages:
        slow.set_page(path, lines_body(n, seed=path))
    stored = [(f"http://{SLOW_IP}{path}", f"Slow {i:02d}", n) for i, (path, n) in enumerate(pages)]
    server.set_page("/t/new", lines_body(9))
    new = (f"http://{SERVER_IP}/t/new", "Newcomer", 9)
    prog = program_in(work, "busy", env, record_file(stored))
    prog.start()
    prog.main_window()
    t_window = time.monotonic()
    probe = Probe(BIN_DIR, WINDOW_TITLE, env)
    state = {}

    def during_load():
        # Typing works while every page is being fetched.
        prog.fill(URL_FIELD, new[0])
        prog.fill(NAME_FIELD, new[1])
        state["row 14"] = prog.list_item(14)   # and the buttons: the cycle will leave little time
        state["update"] = prog.times[prog.wait_line("Update", 120)]
        check_responsive(probe, t_window + 1.0, state["update"], "during the start-up load")

    def add_and_remove_during_cycle():
        check("GUI stuff" not in prog.lines(), "the cycle ended before the Add and Remove")
        prog.click(state["row 14"])      # Slow 14: its page comes in the cycle's second round
        prog.click(REMOVE_BUTTON)
        t_removed = prog.answer_box(ok=True)
        prog.click(ADD_BUTTON)
        t_added = time.monotonic()
        state["gui"] = prog.times[prog.wait_line("GUI stuff", 120)]
        check(state["gui"] > t_added, "the Add came after the cycle: it did not test a running cycle")
        want = record_file([r for r in stored if r[1] != "Slow 14"] + [new])
        wait_for(lambda: prog.read_autosave() == want, 60, "autosave.dat without Slow 14 and with Newcomer")
        ls = prog.lines()
        cycle = ls[ls.index("Update") + 1:ls.index("GUI stuff")]
        check(len([line for line in cycle if line.startswith("Old count: ")]) in (15, 16),
              f"the cycle printed {cycle}")
        # Slow 14's count (24) is printed only if it was applied before the removal.
        for i, line in enumerate(ls):
            if line == "Old count: 24" and i > ls.index("Update"):
                check(prog.times[i] < t_removed, "a result was applied to Slow 14 after it was removed")
        check(prog.field_text(URL_FIELD) == "URL", "the fields were not reset after the Add")

    def during_cycle():
        check_responsive(probe, state["update"], state["gui"], "during the cycle")

    steps = [("busy_window_answers_during_start_up_load", during_load),
             ("busy_window_add_and_remove_during_cycle", add_and_remove_during_cycle),
             ("busy_window_answers_during_cycle", during_cycle)]
    try:
        results.run_steps(steps)
    finally:
        probe.stop()
        prog.kill()


# --- scenario 5: closing while pages are fetched ---------------------------------

def close_and_time(prog, what):
    """Closes the window with alt+F4; the program must end with status 0
    within the second a window may take."""
    prog.focus(prog.main_window())
    xdo("key", "alt+F4")
    t_close = time.monotonic()
    rc = prog.wait_exit(30)
    took = time.monotonic() - 0.3 - t_close   # wait_exit lingers 0.3 s for the last lines
    print(f"         closed {what}: ended after {took:.2f} s", flush=True)
    check(rc == 0, f"exit status {rc}")
    check(took <= 1.0, f"the program took {took:.2f} s to end after the window was closed")


def close_while_fetching(work, env, server, slow, results):
    pages = [(f"/c/{i:02d}", 3 + i) for i in range(12)]
    for path, n in pages:
        slow.set_page(path, lines_body(n))
    stored = record_file([(f"http://{SLOW_IP}{path}", f"Page {i:02d}", n) for i, (path, n) in enumerate(pages)])
    folder = os.path.join(work, "close")
    os.makedirs(folder, exist_ok=True)
    prog = WatchProgram(PROGRAM, folder, env)

    def close_during(phase):
        with open(prog.autosave, "wb") as f:
            f.write(stored)
        prog.start()
        prog.main_window()
        if phase == "cycle":
            prog.wait_line("Update", 120)
        time.sleep(1.0)   # fetches are under way
        check("GUI stuff" not in prog.lines(), f"the {phase} ended before the close")
        if phase == "load":
            check("Update" not in prog.lines(), "the start-up load ended before the close")
        close_and_time(prog, f"during the {phase}")
        check(prog.read_autosave() == stored, f"autosave.dat after the close holds {prog.read_autosave()!r}")

    def close_after_an_answer():
        # Alpha's change is asked and answered while a slow page is still out.
        server.set_page("/c/alpha", lines_body(3))
        alpha, slow_page = (f"http://{SERVER_IP}/c/alpha", "Alpha"), (f"http://{SLOW_IP}/c/00", "Page 00")
        with open(prog.autosave, "wb") as f:
            f.write(record_file([(*alpha, 1), (*slow_page, 3)]))
        prog.start()
        prog.wait_line("Update", 120)
        prog.answer_box(ok=True)
        check("GUI stuff" not in prog.lines(), "the cycle ended before the close")
        close_and_time(prog, "after an answer")
        want = record_file([(*alpha, 3), (*slow_page, 3)])
        check(prog.read_autosave() == want, f"autosave.dat after the close holds {prog.read_autosave()!r}")

    def close_with_an_add_out():
        # The page answers after 3 s; the window closes 0.8 s after Add.
        late = (f"http://{SLOW_IP}/c/01", "Late")
        with open(prog.autosave, "wb") as f:
            f.write(b"")
        prog.start()
        prog.wait_line("GUI stuff", 60)
        prog.fill(URL_FIELD, late[0])
        prog.fill(NAME_FIELD, late[1])
        prog.click(ADD_BUTTON)
        time.sleep(0.8)
        close_and_time(prog, "with an Add out")
        check(prog.read_autosave() == record_file([(*late, -1)]),
              f"autosave.dat after the close holds {prog.read_autosave()!r}")
        # The next start counts it, and the first cycle asks nothing.
        prog.start()
        gui = prog.wait_line("GUI stuff", 120)
        ls = prog.lines()[:gui + 1]
        check(ls == ["Update", "Old count: 4", "New Count: 4", "GUI stuff"], f"the next start printed {ls}")
        check(prog.read_autosave() == record_file([(*late, 4)]),
              f"autosave.dat after the next start holds {prog.read_autosave()!r}")

    try:
        results.run("close_during_start_up_load_ends_at_once", close_during, "load")
        prog.kill()
        results.run("close_during_cycle_ends_at_once", close_during, "cycle")
        prog.kill()
        results.run("close_after_an_answered_change_keeps_the_new_count", close_after_an_answer)
        prog.kill()
        results.run("close_with_an_add_out_stores_it_for_the_next_start", close_with_an_add_out)
    finally:
        prog.kill()


# --- scenario 6: order of lines and questions -------------------------------------

def mixed_order(work, env, server, slow, slowish, results):
    """Pages that answer at very different times: lines and questions still
    come in list order."""
    slow.set_page("/o/a", lines_body(4))
    slowish.set_page("/o/e", lines_body(6))
    server.set_page("/o/c", lines_body(5))
    records = [(f"http://{SLOW_IP}/o/a", "Alpha", 1), (f"http://{SERVER_IP}/o/missing", "Missing", 8),
               (f"http://{SERVER_IP}/o/c", "Gamma", 1), (f"http://{DEAD_IP}/o/d", "Dead", 9),
               (f"http://{SLOWISH_IP}/o/e", "Echo", 6)]
    prog = program_in(work, "order", env, record_file(records))
    prog.start()

    def shown(lines):
        return [("Reason: ..." if l.startswith("Reason: ") and "404" not in l else l) for l in lines]

    def run():
        update = prog.wait_line("Update", 120)
        failed = ["Failed to connect to Missing.", "Reason: the server answered 404 Not Found.",
                  "Failed to connect to Dead.", "Reason: ..."]
        check(shown(prog.lines()[:update]) == failed, f"the start-up load printed {prog.lines()[:update]}")
        alpha = ["Old count: 1", "New Count: 4"]
        gamma = failed[:2] + ["Old count: 1", "New Count: 5"]
        for asked_after in (alpha, alpha + gamma):
            prog.find_window(BOX_TITLE, 60)
            time.sleep(0.5)
            so_far = shown(prog.lines()[update + 1:])
            check(so_far == asked_after, f"when the question came the cycle had printed {so_far}")
            prog.answer_box(ok=False)
        gui = prog.wait_line("GUI stuff", 60)
        want = alpha + gamma + failed[2:] + ["Old count: 6", "New Count: 6"]
        check(shown(prog.lines()[update + 1:gui]) == want, f"the cycle printed {prog.lines()[update + 1:gui]}")
        saved = record_file([(records[0][0], "Alpha", 4), records[1], (records[2][0], "Gamma", 5), records[3],
                             records[4]])
        wait_for(lambda: prog.read_autosave() == saved, 20, "the new counts in autosave.dat")

    try:
        results.run("mixed_pages_lines_and_questions_in_list_order", run)
    finally:
        prog.kill()


# --- scenario 7: https pages ----------------------------------------------------

def https_pages(work, env, browser, results):
    """A page served over TLS as localhost is added through the window, and
    its change is found by the first cycle of the next start; a page whose
    certificate has expired is refused with the reason, the fields keeping
    what was typed."""
    pki = make_test_pki(os.path.join(work, "pki"))
    good = LoopbackHttpServer("127.0.0.1", 0, tls=pki["good"]).start()
    expired = LoopbackHttpServer("127.0.0.1", 0, tls=pki["expired"]).start()
    good.set_page("/h/a", lines_body(6, seed="h"))
    secure = (f"https://localhost:{good.port}/h/a", "Secure")
    prog = program_in(work, "https", env, b"")

    def trust_root():
        # Into the ROOT store of the prefix the program runs in, never the host's.
        r = subprocess.run([WINE_RUN, os.path.join(BIN_DIR, "trust_test_root.exe"), "Z:" + pki["ca"]], env=env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=180)
        check(r.returncode == 0, f"trust_test_root.exe ended with {r.returncode}: "
              f"{r.stderr.decode('utf-8', 'replace').strip()}")

    def add_secure():
        trust_root()
        prog.start()
        prog.wait_line("GUI stuff", 60)
        prog.fill(URL_FIELD, secure[0])
        prog.fill(NAME_FIELD, secure[1])
        prog.click(ADD_BUTTON)
        want = record_file([(*secure, 6)])
        wait_for(lambda: prog.read_autosave() == want, 60, "Secure with its 6 lines in autosave.dat")
        check(gets(good) == [("GET /h/a", f"localhost:{good.port}")], "Add did not fetch the https page once")

    def add_expired():
        prog.add_refused(f"https://localhost:{expired.port}/h/old", "Stale",
                         "the certificate of localhost has expired or is not valid yet")
        # Schannel checks the certificate after the handshake, so the server
        # may see a connection that closes without a word: not a request.
        seen = [r for r in expired.take_requests() if r != ("", "")]
        check(seen == [], f"requests went out over a connection with an expired certificate: {seen}")

    def change_found_after_restart():
        # The next cycle is five minutes away; the first one of a new start is not.
        prog.close_window()
        rc = prog.wait_exit(30)
        check(rc == 0, f"exit status {rc} after closing the window")
        good.set_page("/h/a", lines_body(9, seed="h"))
        asked_before = len(browser.opened())
        prog.start()
        update = prog.wait_line("Update", 120)
        check(prog.lines()[:update] == [], f"the start-up load printed {prog.lines()[:update]}")
        text = prog.box_text()
        want = "Someone commented on Secure. Would you like to visit that page?"
        check(text == want, f"the box says {text!r}, expected {want!r}")
        prog.answer_box(ok=True)
        gui = prog.wait_line("GUI stuff", 60)
        expected = ["Update", "Old count: 6", "New Count: 9", "GUI stuff"]
        check(prog.lines()[:gui + 1] == expected, f"the start printed {prog.lines()[:gui + 1]}, expected {expected}")
        want_file = record_file([(*secure, 9)])
        wait_for(lambda: prog.read_autosave() == want_file, 20, "the new count of Secure in autosave.dat")
        wait_for(lambda: len(browser.opened()) > asked_before, 20, "the browser to be asked")
        time.sleep(0.5)
        check(browser.opened()[asked_before:] == [secure[0]],
              f"browser was asked to open {browser.opened()[asked_before:]}, expected {secure[0]}")
        check(sorted(gets(good)) == [("GET /h/a", f"localhost:{good.port}")] * 2,
              "the start-up load and the cycle did not each fetch the page once")

    steps = [("https_add_through_window_counts_page", add_secure),
             ("https_add_with_expired_certificate_says_why_and_keeps_fields", add_expired),
             ("https_change_found_by_first_cycle_after_restart", change_found_after_restart)]
    try:
        results.run_steps(steps)
    finally:
        prog.kill()
        good.stop()
        expired.stop()


def run_e2e(scenarios):
    """Runs each scenario(work, env, browser, results) on the display, with
    the recording browser first on PATH; writes $VW_TEST_XML and prints the
    summary line. The exit status for the test runner."""
    if not os.path.exists(PROGRAM):
        print(f"no program at {PROGRAM}", file=sys.stderr)
        return 1
    work = os.path.abspath(os.environ.get("VW_E2E_WORK", os.getcwd()))
    results = Results()
    with Display():
        start_persistent_wine()
        browser = Browser(work)
        env = dict(os.environ, PATH=browser.bin + os.pathsep + os.environ.get("PATH", ""))
        for scenario in scenarios:
            scenario(work, env, browser, results)
    return results.finish()


def run_in_own_prefix(name, server_ip, session):
    """Runs session(server, results) on the display in the prefix that
    VW_WINEPREFIX names, a prefix of the test's own (made when missing),
    with a loopback server on `server_ip`; a failure outside the steps
    counts as the failed case "<name>_set_up". Writes $VW_TEST_XML and
    prints the summary line; the exit status for the test runner."""
    results = Results()
    with Display():
        server = LoopbackHttpServer(server_ip).start()
        try:
            r = subprocess.run([WINE_RUN, "--init"], stdin=subprocess.DEVNULL, timeout=600)
            check(r.returncode == 0, "the test's Wine prefix could not be made")
            # Nobody stops this prefix's server should the test itself be
            # stopped: it ends by itself.
            start_persistent_wine(linger=30)
            session(server, results)
        except Failure as e:
            results.cases.append((f"{name}_set_up", 0.0, str(e)))
            print(f"[ FAIL ] set-up: {e}", flush=True)
        finally:
            server.stop()
            subprocess.run([WINE_RUN, "--kill"], stdin=subprocess.DEVNULL, timeout=60)
    return results.finish()


def all_scenarios(work, env, browser, results):
    server = LoopbackHttpServer(SERVER_IP).start()
    slow = SlowServer(SLOW_IP, 3.0).start()
    slowish = SlowServer(SLOWISH_IP, 1.0).start()
    try:
        user_session(work, env, server, browser, results)
        unreachable(work, env, results)
        one_copy_per_list(work, env, results)
        busy_window(work, env, server, slow, results)
        close_while_fetching(work, env, server, slow, results)
        mixed_order(work, env, server, slow, slowish, results)
        https_pages(work, env, browser, results)
    finally:
        for s in (server, slow, slowish):
            s.stop()


if __name__ == "__main__":
    sys.exit(run_e2e([all_scenarios]))
