#!/usr/bin/env python3
"""What opening a page hands over, on the real VostleWatch.exe under Wine in
a prefix of this test's own, whose http and https handlers are
record_args.exe: it writes down the arguments it was started with, so the
test sees how the command line split.

The stored list holds, among pages that cannot be fetched, a program path,
a file: URL and a UNC path: a double-click on each shows the message and
starts nothing (no handler, no notepad). A scheme-less address reaches the
handler as http://..., from OK to the change question; an https address
with a blank and a double quote in its path reaches it as one
percent-encoded argument, from a double-click.

Needs root (port 80 on loopback), xdotool and a display (with DISPLAY
empty, a private Xvfb). Results go to $VW_TEST_XML as JUnit XML.
"""
import os
import subprocess
import sys
import time

SOURCE_DIR = os.environ.get("VW_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WORK = os.path.abspath(os.environ.get("VW_E2E_WORK", os.getcwd()))
# Everything Wine below runs in this prefix: its web handlers are changed.
os.environ["VW_WINEPREFIX"] = os.path.join(WORK, "prefix")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from loopback_http import lines_body  # noqa: E402
from wine_program import WINE_RUN, check, record_file, wait_for  # noqa: E402
from watch_e2e import BIN_DIR, program_in, run_in_own_prefix  # noqa: E402

SERVER_IP = "127.0.94.1"
RECORDER = os.path.join(BIN_DIR, "record_args.exe")
LOG = os.path.join(WORK, "handed-over.txt")
REFUSED = [("C:\\windows\\system32\\notepad.exe", "Harmless forum"),
           ("file:///C:/windows/system32/notepad.exe", "File link"),
           ("\\\\127.0.94.9\\share\\x.exe", "Share link")]
SCHEMELESS = (f"{SERVER_IP}/q", "Scheme-less")
QUOTED = (f'https://{SERVER_IP}/a b"c', "Quoted")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def register_recorder():
    """The recorder as the prefix's handler of http and https addresses."""
    command = f'"{windows_path(RECORDER)}" "{windows_path(LOG)}" "%1"'
    for scheme in ("http", "https"):
        r = subprocess.run([WINE_RUN, "reg", "add", f"HKLM\\Software\\Classes\\{scheme}\\shell\\open\\command",
                            "/ve", "/d", command, "/f"], stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        check(r.returncode == 0, f"the {scheme} handler could not be registered: {r.stdout!r}")


def handed_over():
    """The arguments of each start of the recorder, in order."""
    try:
        with open(LOG, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return []
    starts = [line.split("\t") for line in lines]
    check(all(s[0] == str(len(s) - 1) for s in starts), f"the recorder's log is garbled: {lines}")
    return [s[1:] for s in starts]


def notepads():
    r = subprocess.run(["pgrep", "-fi", "notepad"], capture_output=True, text=True)
    return r.stdout.split()


def session(server, results):
    server.set_page("/q", lines_body(5, seed="q"))
    stored = [(url, name, 3) for url, name in REFUSED] + [(*SCHEMELESS, 3), (*QUOTED, 3)]
    prog = program_in(WORK, "open", dict(os.environ), record_file(stored))

    def ok_to_the_question_opens_a_schemeless_address_as_http():
        prog.start()
        text = prog.box_text()
        want = f"Someone commented on {SCHEMELESS[1]}. Would you like to visit that page?"
        check(text == want, f"the box says {text!r}, expected {want!r}")
        prog.answer_box(ok=True)
        wait_for(handed_over, 30, "the handler to be started")
        check(handed_over() == [[f"http://{SCHEMELESS[0]}"]], f"the handler got {handed_over()}")
        prog.wait_line("GUI stuff", 60)

    def paths_and_other_schemes_start_nothing():
        for row, (url, name) in enumerate(REFUSED):
            prog.focus(prog.main_window())
            prog.click(prog.list_item(row), repeat=2)
            text = prog.box_text()
            want = f'Could not open {name}: "{url}" is not a web address.'
            check(text == want, f"the box says {text!r}, expected {want!r}")
            prog.answer_box(ok=True)
        time.sleep(2.0)
        check(notepads() == [], f"a program was started: {notepads()}")
        check(handed_over() == [[f"http://{SCHEMELESS[0]}"]], f"the handler got {handed_over()}")

    def a_blank_and_a_quote_reach_the_browser_as_one_encoded_argument():
        prog.focus(prog.main_window())
        prog.click(prog.list_item(len(REFUSED) + 1), repeat=2)
        wait_for(lambda: len(handed_over()) == 2, 30, "the handler to be started again")
        check(handed_over()[1] == [f"https://{SERVER_IP}/a%20b%22c"], f"the handler got {handed_over()[1]}")

    steps = [("open_ok_to_the_question_opens_a_schemeless_address_as_http",
              ok_to_the_question_opens_a_schemeless_address_as_http),
             ("open_program_path_file_url_and_unc_path_start_nothing", paths_and_other_schemes_start_nothing),
             ("open_https_with_blank_and_quote_reaches_browser_as_one_encoded_argument",
              a_blank_and_a_quote_reach_the_browser_as_one_encoded_argument)]
    try:
        results.run_steps(steps)
    finally:
        prog.kill()


def main():
    subprocess.run([WINE_RUN, "--kill"], stdin=subprocess.DEVNULL, timeout=60)   # a run stopped half-way
    if os.path.exists(LOG):
        os.remove(LOG)

    def set_up_and_session(server, results):
        register_recorder()
        session(server, results)
    return run_in_own_prefix("open_e2e", SERVER_IP, set_up_and_session)


if __name__ == "__main__":
    sys.exit(main())
