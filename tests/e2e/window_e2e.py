#!/usr/bin/env python3
"""Drives the real VostleWatch.exe under Wine and checks what its window
shows, read from the controls themselves (read_list.exe: the list view's
cells, the status bar's text, the buttons, the focus): each page's state
through checks, a failure with its reason and its recovery, a mark of new
activity that survives a restart until the page is opened, Check now and
F5, Delete and Enter in the list, Tab, and the window growing.

Needs what tests/e2e/watch_e2e.py needs (DISPLAY or Xvfb, xdotool, root for
port 80). Results go to $VW_TEST_XML as JUnit XML, one case per step.
"""
import os
import re
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from watch_e2e import (CHECK_NOW_BUTTON, URL_FIELD, SlowServer, check, gets, program_in, run_e2e,  # noqa: E402
                       wait_for, xdo)
from loopback_http import LoopbackHttpServer, lines_body  # noqa: E402
from wine_program import record_file  # noqa: E402

SERVER_IP = "127.0.93.1"
SLOW_IP = "127.0.93.3"   # every answer after 8 s: a check lasts long enough to watch
DOT = "\u00b7"
CLOCK = r"\d\d:\d\d"


def cell_states(prog):
    return {cells[0]: cells[2] for cells in prog.rows()}


def countdown_seconds(status):
    m = re.match(r"Next check in (\d+):(\d\d) ", status or "")
    return int(m.group(1)) * 60 + int(m.group(2)) if m else None


def window_session(work, env, server, slow, browser, results):
    server.set_page("/w/a", lines_body(3, seed="a"))
    server.set_page("/w/c", lines_body(7, seed="c"))
    slow.set_page("/w/s", lines_body(4, seed="s"))
    A = (f"http://{SERVER_IP}/w/a", "Alpha")
    G = (f"http://{SERVER_IP}/w/gone", "Gone")      # 404 until it comes back
    C = (f"http://{SERVER_IP}/w/c", "Gamma")        # changed: answered Cancel
    S = (f"http://{SLOW_IP}/w/s", "Slow")
    prog = program_in(work, "window", env, record_file([(*A, 3), (*G, 5), (*C, 2), (*S, 4)]))
    failing = f"failing since ({CLOCK}): the server answered 404 Not Found"

    def first_cycle_shows_each_state():
        prog.start()
        prog.answer_box(ok=False, timeout=120)
        gui = prog.wait_line("GUI stuff", 60)
        ls = prog.lines()
        check(ls.index("Update") < ls.index("Failed to connect to Gone.", ls.index("Update")) < gui,
              f"the console lines changed: {ls[:gui + 1]}")
        view = prog.view()
        check(view["header"] == ["Name", "Last check", "State"], f"the header reads {view['header']}")
        rows = [r["cells"] for r in view["rows"]]
        check([r[0] for r in rows] == ["Alpha", "Gone", "Gamma", "Slow"], f"rows {rows}")
        check(all(re.fullmatch(CLOCK, r[1]) for r in rows), f"last checks {[r[1] for r in rows]}")
        states = [r[2] for r in rows]
        check(states[0] == states[3] == "up to date" and states[2] == "new activity"
              and re.fullmatch(failing, states[1]), f"states {states}")
        want = f"2 up to date {DOT} 1 new {DOT} 1 failing"
        check(countdown_seconds(view["status"]) is not None and view["status"].endswith(want),
              f"the status bar reads {view['status']!r}")

    def status_bar_counts_down():
        first = countdown_seconds(prog.view()["status"])
        time.sleep(3)
        second = countdown_seconds(prog.view()["status"])
        check(first is not None and second is not None and 1 <= first - second <= 5,
              f"the countdown went from {first} to {second} s in 3 s")

    def check_now_fetches_at_once_once():
        server.set_page("/w/gone", lines_body(5, seed="g"))
        gets(server), gets(slow)
        updates = prog.lines().count("Update")
        t0 = time.monotonic()
        prog.click(CHECK_NOW_BUTTON)
        wait_for(lambda: len(server.requests) >= 3, 10, "the fast pages to be asked for")
        took = time.monotonic() - t0
        prog.focus(prog.main_window())
        xdo("key", "F5")
        prog.click(CHECK_NOW_BUTTON)
        # Both presses came while the check ran: the slow page is still out.
        status = prog.view()["status"] or ""
        check(re.match(r"Checking [0-4] of 4\u2026", status), f"after the presses the status bar reads {status!r}")
        wait_for(lambda: prog.lines().count("GUI stuff") == updates + 1, 30, "the check to end")
        time.sleep(1.0)
        check(prog.lines().count("Update") == updates + 1, "a press during the check started another")
        asked = sorted(gets(server) + gets(slow))
        want = sorted((f"GET {p}", ip) for p, ip in [("/w/a", SERVER_IP), ("/w/gone", SERVER_IP),
                                                     ("/w/c", SERVER_IP), ("/w/s", SLOW_IP)])
        check(asked == want, f"the servers saw {asked}, expected each page once")
        print(f"         Check now: the first requests within {took:.2f} s of the click", flush=True)
        states = cell_states(prog)
        check(states["Gone"] == "up to date" and states["Gamma"] == "new activity", f"states {states}")

    def mark_survives_restart_until_opened():
        prog.close_window()
        check(prog.wait_exit(30) == 0, "exit status after closing")
        check(prog.read_autosave() == record_file([(*A, 3), (*G, 5), (*C, 7), (*S, 4)]),
              f"autosave.dat holds {prog.read_autosave()!r}")
        prog.start()
        prog.wait_line("GUI stuff", 60)
        check(cell_states(prog)["Gamma"] == "new activity", "the mark did not survive the restart")
        prog.click(prog.list_item(2), repeat=2)
        wait_for(lambda: C[0] in browser.opened(), 20, "the browser to be asked for Gamma")
        wait_for(lambda: cell_states(prog)["Gamma"] == "up to date", 10, "Gamma's mark to go")

    def enter_opens_and_delete_removes():
        server.set_page("/w/a", lines_body(6, seed="a"))
        prog.focus(prog.main_window())
        xdo("key", "F5")
        text = prog.box_text()
        check(text == "Someone commented on Alpha. Would you like to visit that page?", f"the box says {text!r}")
        prog.answer_box(ok=False)
        wait_for(lambda: cell_states(prog)["Alpha"] == "new activity", 30, "Alpha to be marked")
        prog.click(prog.list_item(0))
        time.sleep(0.5)
        xdo("key", "Return")
        wait_for(lambda: A[0] in browser.opened(), 20, "Enter to open Alpha")
        wait_for(lambda: cell_states(prog)["Alpha"] == "up to date", 10, "Alpha's mark to go")
        prog.click(prog.list_item(1))
        time.sleep(0.5)
        xdo("key", "Delete")
        text = prog.box_text()
        check(text == "Are you sure you want to remove the link to Gone?", f"the box says {text!r}")
        prog.answer_box(ok=True)
        wait_for(lambda: [r[0] for r in prog.rows()] == ["Alpha", "Gamma", "Slow"], 10, "Gone to leave the list")

    def tab_reaches_every_control():
        prog.click(URL_FIELD)
        time.sleep(0.5)
        seen = []
        for _ in range(7):
            seen.append(prog.view()["focus"])
            xdo("key", "Tab")
            time.sleep(0.4)
        kinds = sorted(f[0].lower() for f in set(seen[:6]))
        check(kinds == ["button"] * 3 + ["edit"] * 2 + ["syslistview32"] and seen[6] == seen[0],
              f"Tab went through {seen}")

    def window_grows_never_shrinks():
        before = prog.view()["list"]
        window = prog.main_window()
        xdo("windowsize", "--sync", window, 700, 500)
        wait_for(lambda: prog.view()["list"][2] >= before[2] + 150, 10, "the list to grow with the window")
        xdo("windowsize", window, 300, 200)
        time.sleep(1.5)
        after = prog.view()["list"]
        check(after[2] >= before[2] and after[3] >= before[3], f"the list shrank from {before} to {after}")

    steps = [("window_first_cycle_shows_each_state", first_cycle_shows_each_state),
             ("window_status_bar_counts_down", status_bar_counts_down),
             ("window_check_now_fetches_each_page_once_at_once", check_now_fetches_at_once_once),
             ("window_mark_survives_restart_until_opened", mark_survives_restart_until_opened),
             ("window_enter_opens_and_delete_removes", enter_opens_and_delete_removes),
             ("window_tab_reaches_every_control", tab_reaches_every_control),
             ("window_grows_and_never_shrinks_below_500x400", window_grows_never_shrinks)]
    try:
        results.run_steps(steps)
    finally:
        prog.kill()


def servers_and_session(work, env, browser, results):
    with LoopbackHttpServer(SERVER_IP) as server, SlowServer(SLOW_IP, 8.0) as slow:
        window_session(work, env, server, slow, browser, results)


if __name__ == "__main__":
    sys.exit(run_e2e([servers_and_session]))
