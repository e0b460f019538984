#!/usr/bin/env python3
"""The fetch engine over a slow, compressing, validating site.

50 forum-like pages of about 150 KB on 10 loopback hosts (127.0.92.1 to .10,
port 80), served gzipped when asked, with ETag and Last-Modified, every
answer after 300 ms. In the same run, against the same pages:

1. bytes on the wire (request and answer, as the servers count them) of one
   update cycle of the fetch engine (`net_bench cycle`: the program's fetch
   queue and CountPageLines) against `curl --compressed` fetching every page
   once (target: ratio at most 1.1);
2. the cycle's time against `xargs -P8 curl --compressed` (target: at most
   1.3), best of the runs;
3. the bytes of a second cycle, which asks conditionally, as a share of the
   first's (target: at most 5%).

    python3 bench/fetch_bench.py [--bin build/linux/bin] [--wine] [--runs 3]

--wine runs net_bench.exe of build/win64/bin through tools/wine-run.sh.
Needs root (port 80) and curl; run it in a network namespace of its own.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
from loopback_http import LoopbackHttpServer  # noqa: E402

HOSTS = [f"127.0.92.{i}" for i in range(1, 11)]
PAGES = 50
PAGE_BYTES = 150 * 1024
DELAY = 0.3

WORDS = ("the of and to a in is that it for was on are with as this be at by have from or not but what all "
         "were when we there can an your which their said if do will each about how up out them then she many "
         "some so these would other into has more her two like him see time could no make than first been its "
         "who now people my made over did down only way find use may water long little very after words called "
         "just where most know thread reply quote posted forum member joined update patch build engine").split()


def forum_page(seed):
    """A thread page: markup around posts of random words, as forums send."""
    rng = random.Random(seed)
    out = ['<!DOCTYPE html>\n<html><head><title>Thread %d</title>\n' % seed,
           '<link rel="stylesheet" href="/css/forum.css"></head><body>\n']
    n = 0
    while sum(map(len, out)) < PAGE_BYTES:
        n += 1
        user = "user%04d" % rng.randrange(3000)
        text = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(20, 160)))
        out.append(f'<div class="post" id="p{seed}-{n}">\n<div class="author"><a href="/u/{user}">{user}</a>'
                   f'<span class="date">2024-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d} '
                   f'{rng.randrange(24):02d}:{rng.randrange(60):02d}</span></div>\n'
                   f'<div class="body"><p>{text}</p></div>\n</div>\n')
    out.append("</body></html>\n")
    return "".join(out).encode("ascii")


def visits(servers):
    return [v for s in servers for v in s.take_visits()]


def bytes_by_cycle(seen):
    """Every cycle asks for each page once: the n-th request of a path
    belongs to cycle n."""
    cycles, count = [], {}
    for path, n in seen:
        k = count[path] = count.get(path, 0) + 1
        cycles += [0] * (k - len(cycles))
        cycles[k - 1] += n
    return cycles


def curl_cycle(urls, parallel):
    t0 = time.monotonic()
    subprocess.run(["xargs", "-P", str(parallel), "-n", "1", "curl", "--compressed", "-s", "-o", "/dev/null"],
                   input="\n".join(urls), text=True, check=True)
    return time.monotonic() - t0


def engine_cycles(bin_dir, wine, url_file, cycles):
    """Seconds of each cycle of `net_bench cycle`, in a fresh process."""
    if wine:
        cmd = [os.path.join(SOURCE_DIR, "tools", "wine-run.sh"), os.path.join(bin_dir, "net_bench.exe"),
               "cycle", "Z:" + url_file, str(cycles)]
    else:
        cmd = [os.path.join(bin_dir, "net_bench"), "cycle", url_file, str(cycles)]
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=600).stdout
    times = []
    for line in out.split("\n"):
        fields = dict(f.split("=") for f in line.split())
        if fields:
            if int(fields.get("ok", -1)) != PAGES:
                raise SystemExit(f"engine cycle failed: {line!r}")
            times.append(float(fields["ms"]) / 1000)
    if len(times) != cycles:
        raise SystemExit(f"engine gave {out!r}")
    return times


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=None)
    ap.add_argument("--wine", action="store_true")
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    bin_dir = args.bin or os.path.join(SOURCE_DIR, "build", "win64" if args.wine else "linux", "bin")

    servers = [LoopbackHttpServer(h, gzip=True, validators=True, delay=DELAY) for h in HOSTS]
    urls = []
    for i in range(PAGES):
        server = servers[i % len(servers)]
        server.set_page(f"/t/{i}", forum_page(i))
        urls.append(f"http://{server.address}/t/{i}")
    raw = sum(len(forum_page(i)) for i in range(PAGES))
    for s in servers:
        s.start()
    try:
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write("".join(u.replace("://", "::") + "\n" for u in urls))
            url_file = f.name
        visits(servers)
        curl_cycle(urls, 1)
        curl_bytes = sum(n for _, n in visits(servers))
        curl_times, firsts, seconds, first_bytes, second_bytes = [], [], [], [], []
        for _ in range(args.runs):
            curl_times.append(curl_cycle(urls, 8))
            visits(servers)
            first, second = engine_cycles(bin_dir, args.wine, url_file, 2)  # nothing remembered at first
            by_cycle = bytes_by_cycle(visits(servers))
            firsts.append(first)
            seconds.append(second)
            first_bytes.append(by_cycle[0])
            second_bytes.append(by_cycle[1])
        where = "wine" if args.wine else "native"
        fb, sb = max(first_bytes), max(second_bytes)
        print(f"{where}: {PAGES} pages of {raw / PAGES / 1024:.0f} KB on {len(HOSTS)} hosts, {DELAY * 1000:.0f} ms "
              f"latency, {raw / 1e6:.2f} MB uncompressed", flush=True)
        print(f"{where} bytes per cycle: engine {fb} B, curl --compressed {curl_bytes} B, "
              f"ratio {fb / curl_bytes:.3f} (target <= 1.1)", flush=True)
        print(f"{where} cycle time: engine {min(firsts):.3f} s, xargs -P8 curl --compressed {min(curl_times):.3f} s, "
              f"ratio {min(firsts) / min(curl_times):.2f} (target <= 1.3)", flush=True)
        print(f"{where} second cycle (conditional): {sb} B, {100 * sb / fb:.2f}% of the first (target <= 5%), "
              f"{min(seconds):.3f} s", flush=True)
    finally:
        for s in servers:
            s.stop()
        os.unlink(url_file)


if __name__ == "__main__":
    main()
