#!/usr/bin/env python3
"""Application benchmark of the thread watcher under Wine.

1. One update cycle over 50 pages of about 200 KB each on a loopback server,
   timed from the program's "Update" line to its "GUI stuff" line (the first
   cycle, after loading), against fetching the same pages one after the
   other with `curl | wc -l`, in the same run. Target: ratio at most 1.5.
2. One update cycle over 50 pages behind a server that waits 300 ms before
   each answer, against `xargs -P2` running `curl -s` on the same pages,
   two at a time as the program asks one host (target: ratio at most 1.3),
   and against curl one page after the other (target: at most 0.6), with
   the p99 time the window took to answer a WM_NULL probe every 50 ms
   meanwhile. Eight hosts at once are timed by fetch_bench.py.
3. Start-up with 0, 100 and 500 stored pages whose server refuses
   connections (best of the runs), each with its saved state (marked,
   failing) beside the list:
   the first probe answer waits for the gadgets, the list and the states;
   its growth over the empty start is the listing, which must grow linearly
   and stay under 0.5 s for 500.
4. One row's update in the real window (row_bench.exe: a page's new state
   into its cells, and the repaint) with 50, 500, 5000 and 20000 pages listed,
   against the same with 50 in the same run: it must not grow with the list
   (ratio about 1); beside it, what rebuilding the list of 500 would cost.
5. Processor time of the program while it idles in its countdown, the
   status bar counting down once a second, read from /proc over 60 seconds.
   Target: under 0.5% of one core.

    python3 bench/watch_bench.py [--bin build/win64/bin] [--idle 60]

Needs root (port 80 on 127.0.91.1 to .3), Wine, xdotool and an X display
(with DISPLAY empty it starts Xvfb and openbox).
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.dont_write_bytecode = True   # no caches in the source tree
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
from loopback_http import LoopbackHttpServer, lines_body  # noqa: E402
from wine_program import WINE_RUN, Display, Probe, Program, record_file, start_persistent_wine  # noqa: E402

SERVER_IP = "127.0.91.1"
SLOW_IP = "127.0.91.2"    # every answer after 300 ms
DEAD_IP = "127.0.91.3"    # nothing listens: refused
SLOW_DELAY = 0.3
PAGES = 50
LINES_PER_PAGE = 2500     # 80-byte lines: 200 KB a page


def curl_reference(urls):
    """Seconds to fetch every page once, one after the other, counting lines."""
    script = "for u in \"$@\"; do curl -s \"$u\" | wc -l; done"
    t0 = time.monotonic()
    out = subprocess.run(["bash", "-c", script, "bench", *urls], capture_output=True, text=True, check=True).stdout
    elapsed = time.monotonic() - t0
    counts = [int(x) for x in out.split()]
    if counts != [LINES_PER_PAGE] * len(urls):
        raise SystemExit(f"curl counted {counts[:5]}..., expected {LINES_PER_PAGE} each")
    return elapsed


def curl_parallel(urls, parallel):
    """Seconds for `xargs -P` to fetch every page with `curl -s`."""
    t0 = time.monotonic()
    subprocess.run(["xargs", "-P", str(parallel), "-n", "1", "curl", "-s", "-o", "/dev/null"],
                   input="\n".join(urls), text=True, check=True)
    return time.monotonic() - t0


def slow_server():
    server = LoopbackHttpServer(SLOW_IP)
    server.start()
    base = server._server.RequestHandlerClass

    class Slow(base):
        def handle(self):
            time.sleep(SLOW_DELAY)
            super().handle()
    server._server.RequestHandlerClass = Slow
    return server


def one_cycle(prog, records, probe=None):
    """Starts the program on `records` and times its first cycle; the probe
    figure is the p99 WM_NULL answer time during it."""
    with open(prog.autosave, "wb") as f:
        f.write(record_file(records))   # stored counts are right: no questions
    prog.start()
    t_update = prog.times[prog.wait_line("Update", 300)]
    t_gui = prog.times[prog.wait_line("GUI stuff", 300)]
    counts = [l for l in prog.lines() if l.startswith("New Count: ")]
    want = [f"New Count: {r[2]}" for r in records]
    if counts != want:
        raise SystemExit(f"program counted {counts[:3]}..., expected {want[:3]}...")
    p99 = Probe.p99(probe.between(t_update, t_gui)) if probe else None
    return t_gui - t_update, p99


def state_file(records):
    """A saved state for each record: new activity, failing for an hour."""
    now = int(time.time())
    lines = ["Vostle Watch page states 1"]
    for url, name, _ in records:
        lines += [url, name, f"1 {now} {now - 3600}", "could not connect"]
    return "".join(f"{line}\r\n" for line in lines).encode("utf-8")


def wineserver_cpu():
    """Processor seconds of the wine server, which works for every message call."""
    total = 0.0
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                data = f.read()
        except OSError:
            continue
        if b"(wineserver" in data:
            fields = data.rsplit(b")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=os.path.join(SOURCE_DIR, "build", "win64", "bin"))
    ap.add_argument("--idle", type=float, default=60.0, help="seconds of countdown to measure")
    ap.add_argument("--runs", type=int, default=3, help="cycles (program starts) to time; the best counts")
    args = ap.parse_args()
    program = os.path.join(args.bin, "VostleWatch.exe")
    if not os.path.exists(program):
        raise SystemExit(f"no program at {program}; build the win64 preset first")

    server = LoopbackHttpServer(SERVER_IP)
    records = []
    for i in range(PAGES):
        path = f"/bench/{i:02d}"
        server.set_page(path, lines_body(LINES_PER_PAGE, width=79, seed=f"{i} "))
        records.append((f"http://{SERVER_IP}{path}", f"Page {i:02d}", LINES_PER_PAGE))
    page_kb = len(lines_body(LINES_PER_PAGE, width=79)) / 1024
    urls = [r[0] for r in records]

    with Display(), tempfile.TemporaryDirectory(prefix="vw-bench-") as folder, server:
        start_persistent_wine()
        env = dict(os.environ)
        prog = Program(program, folder, env)
        cycles, curls = [], []
        for run in range(args.runs):
            with open(prog.autosave, "wb") as f:
                f.write(record_file(records))   # stored counts are right: no questions
            curls.append(curl_reference(urls))
            prog.start()
            t_update = prog.times[prog.wait_line("Update", 300)]
            t_gui = prog.times[prog.wait_line("GUI stuff", 300)]
            cycles.append(t_gui - t_update)
            counts = [l for l in prog.lines() if l.startswith("New Count: ")]
            if counts != [f"New Count: {LINES_PER_PAGE}"] * PAGES:
                raise SystemExit(f"program counted {counts[:3]}..., expected {LINES_PER_PAGE} each")
            if run < args.runs - 1:
                prog.kill()
        cycle, curl = min(cycles), min(curls)
        print(f"update cycle, {PAGES} pages of {page_kb:.0f} KB: program {cycle:.3f} s, "
              f"curl one after the other {curl:.3f} s, ratio {cycle / curl:.2f} (target <= 1.5)", flush=True)
        prog.kill()

        # A slow server: fetches must overlap.
        slow = slow_server()
        slow_records = []
        for i in range(PAGES):
            path = f"/slow/{i:02d}"
            slow.set_page(path, lines_body(200 + i, width=79))
            slow_records.append((f"http://{SLOW_IP}{path}", f"Slow {i:02d}", 200 + i))
        slow_urls = [r[0] for r in slow_records]
        probe = Probe(args.bin, "Vostle Watch", env)
        results = []
        for run in range(args.runs):
            p2 = curl_parallel(slow_urls, 2)
            seq = curl_parallel(slow_urls, 1)
            secs, p99 = one_cycle(prog, slow_records, probe)
            prog.kill()
            results.append((secs, p2, seq, p99))
        secs, p2, seq, p99 = min(results)
        print(f"update cycle, {PAGES} pages behind a {SLOW_DELAY * 1000:.0f} ms server: program {secs:.3f} s, "
              f"xargs -P2 curl {p2:.3f} s (ratio {secs / p2:.2f}, target <= 1.3), curl one after the other "
              f"{seq:.3f} s (ratio {secs / seq:.2f}, target <= 0.6); WM_NULL p99 during the cycle "
              f"{p99:.1f} ms (target < 100)", flush=True)
        slow.stop()

        # Start-up: listing stored pages, before any fetch is back. The
        # window's first answer waits for the gadgets and the list; the
        # list's share is the difference to an empty one.
        busy = {}
        for n in (0, 100, 500):
            dead = [(f"http://{DEAD_IP}/d/{i}", f"Dead {i:03d}", i) for i in range(n)]
            with open(prog.autosave, "wb") as f:
                f.write(record_file(dead))
            with open(os.path.join(folder, "pagestate.dat"), "wb") as f:
                f.write(state_file(dead))
            # One start's first answer is a single sample: the best of the runs counts.
            busy[n] = float("inf")
            for run in range(args.runs):
                mark = len(probe.samples)
                prog.start()
                prog.wait_line("Update", 300)
                time.sleep(0.5)
                if len(probe.samples) > mark:
                    busy[n] = min(busy[n], probe.samples[mark][1])
                prog.kill()
        print(f"start-up: first window answer after {busy[0]:.0f} ms with no stored pages, {busy[100]:.0f} ms "
              f"with 100, {busy[500]:.0f} ms with 500: listing 100 takes {busy[100] - busy[0]:.0f} ms, 500 take "
              f"{busy[500] - busy[0]:.0f} ms (target < 500 ms, linear)", flush=True)
        probe.stop()

        rows = subprocess.run([WINE_RUN, os.path.join(args.bin, "row_bench.exe")], capture_output=True, text=True,
                              timeout=900, stdin=subprocess.DEVNULL)
        for line in rows.stdout.splitlines():
            print(line.strip(), flush=True)

        with open(prog.autosave, "wb") as f:
            f.write(record_file(records))
        prog.start()
        prog.wait_line("GUI stuff", 300)

        # The countdown has started: measure the idle processor time.
        prog.wait_line("Countdown: 1495", 30)
        cpu0, srv0, t0 = prog.cpu_seconds(), wineserver_cpu(), time.monotonic()
        time.sleep(args.idle)
        cpu1, srv1, t1 = prog.cpu_seconds(), wineserver_cpu(), time.monotonic()
        prog.kill()
        wall = t1 - t0
        print(f"idle countdown over {wall:.0f} s: program {cpu1 - cpu0:.2f} s of processor time, "
              f"{100 * (cpu1 - cpu0) / wall:.2f}% of one core (target < 0.5%) with the status bar counting down; "
              f"wine server meanwhile {100 * (srv1 - srv0) / wall:.2f}%", flush=True)


if __name__ == "__main__":
    main()
