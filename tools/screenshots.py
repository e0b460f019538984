#!/usr/bin/env python3
"""Screenshots of the program's window at 96 and 144 DPI, to look at.

Starts the real VostleWatch.exe under Wine on a list with pages that come
out up to date, with new activity and failing with a reason, served from a loopback server on a free port, answers the question about the
changed page with Cancel, and photographs the window once its countdown
runs: at its starting size (500x400 at 96 DPI) and made wider. Each DPI has
a Wine prefix of its own in build/, so the test prefix stays as it is.

    python3 tools/screenshots.py [--bin build/win64/bin] [--out build/screenshots] [--dpi 96 144]

Installs what it needs (tools/setup.sh) and builds the win64 preset first,
as tools/run.sh does; uses the X display, or with DISPLAY empty a private
Xvfb with openbox. No root needed beyond set-up: the server uses a free port.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.dont_write_bytecode = True   # no caches in the source tree
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
from loopback_http import LoopbackHttpServer, lines_body  # noqa: E402
from wine_program import (WINE_RUN, Display, Program, record_file, start_persistent_wine, window_geometry,  # noqa: E402
                          xdo)


def prepare_prefix(dpi):
    prefix = os.path.join(SOURCE_DIR, "build", f"wineprefix-{dpi}dpi")
    os.environ["VW_WINEPREFIX"] = prefix
    subprocess.run([WINE_RUN, "--init"], check=True, stdin=subprocess.DEVNULL)
    subprocess.run([WINE_RUN, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], check=True, stdin=subprocess.DEVNULL, capture_output=True)
    # The server reads the registry at its start: a running one would keep the old value.
    subprocess.run([WINE_RUN, "--kill"], stdin=subprocess.DEVNULL)
    start_persistent_wine()


def frame_rectangle(window):
    """The window with the frame the window manager draws around it."""
    geo = window_geometry(window)
    extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], capture_output=True, text=True,
                             timeout=20).stdout.partition("=")[2]
    left, right, top, bottom = ([int(v) for v in extents.split(",")] + [0, 0, 0, 0])[:4]
    return geo["X"] - left, geo["Y"] - top, geo["Width"] + left + right, geo["Height"] + top + bottom


def shoot(window, path):
    time.sleep(1.5)   # the last repaint after the box went
    x, y, w, h = frame_rectangle(window)
    subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", path], check=True,
                   timeout=60)
    print(f"{path}: {w}x{h} pixels", flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=os.path.join(SOURCE_DIR, "build", "win64", "bin"))
    ap.add_argument("--out", default=os.path.join(SOURCE_DIR, "build", "screenshots"))
    ap.add_argument("--dpi", type=int, nargs="+", default=[96, 144])
    args = ap.parse_args()
    for step in (["bash", "tools/setup.sh"], ["cmake", "--preset", "win64"],
                 ["cmake", "--build", "--preset", "win64", "--target", "VostleWatch"]):
        subprocess.run(step, cwd=SOURCE_DIR, check=True, stdout=subprocess.DEVNULL)
    program = os.path.join(args.bin, "VostleWatch.exe")
    os.makedirs(args.out, exist_ok=True)
    server = LoopbackHttpServer("127.0.0.1", 0)
    for path, n in (("/release-notes", 12), ("/renovation", 40), ("/weekly-photos", 7), ("/faq", 3)):
        server.set_page(path, lines_body(n))
    with Display(), server:
        base = f"http://127.0.0.1:{server.port}"
        records = [(f"{base}/release-notes", "Release notes of the forum software", 12),
                   (f"{base}/renovation", "Kitchen renovation, part 2", 31),
                   (f"{base}/gone", "Old announcements", 5),
                   ("http://127.0.0.1:1/closed", "Closed board", 9),
                   (f"{base}/weekly-photos", "Weekly photos", 7),
                   (f"{base}/faq", "FAQ", 3)]
        for dpi in args.dpi:
            prepare_prefix(dpi)
            folder = os.path.join(args.out, f"run-{dpi}dpi")
            # A run of its own each time: states or replacements an earlier
            # run left would change what the window shows.
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            prog = Program(program, folder, dict(os.environ))
            with open(prog.autosave, "wb") as f:
                f.write(record_file(records))
            prog.start()
            try:
                prog.answer_box(ok=False, timeout=120)   # the renovation thread changed
                prog.wait_line("Countdown: 1497", 60)
                window = prog.main_window()
                shoot(window, os.path.join(args.out, f"window-{dpi}dpi.png"))
                x, y, w, h = frame_rectangle(window)
                xdo("windowsize", window, w * 8 // 5, h * 5 // 4)
                shoot(window, os.path.join(args.out, f"window-{dpi}dpi-wide.png"))
            finally:
                prog.kill()
                # A server left running would serve later programs of this
                # prefix from this run's network and display.
                subprocess.run([WINE_RUN, "--kill"], stdin=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
