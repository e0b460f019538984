#!/usr/bin/env python3
"""Kills a program that saves the watch list, at random moments, many times.

The program is save_loop (tests/app/SaveLoop.cpp): it saves two lists in
turn, over and over, through the watcher's own saving code. Each round
starts it on a file that holds one whole list, waits for its first save,
kills it (SIGKILL, natively or the Windows process under Wine) after a
random moment and checks that the file still holds one whole list, old or
new. A list is lost when it holds anything else.

    kill_saves.py --program build/linux/bin/save_loop --kills 300
    kill_saves.py --program build/win64/bin/save_loop.exe --wine tools/wine-run.sh --kills 80
    kill_saves.py ... --test     also kill a save that writes in place, which
                                 must lose lists (else the test cannot fail),
                                 and fail unless the real save lost none

Prints one line per mode: kills, saves, lists lost, leftover files.
--test writes JUnit XML to $VW_TEST_XML when set.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


class Saver:
    """One run of save_loop, with the "saved" lines it printed counted."""

    def __init__(self, args, folder, mode):
        self.saves = 0
        self.first = threading.Event()
        command = [args.program, folder, mode, str(args.kb)]
        if args.wine:
            command.insert(0, args.wine)
        self.proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.wine = args.wine
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in iter(self.proc.stdout.readline, b""):
            if line.strip() == b"saved":
                self.saves += 1
                self.first.set()

    def kill(self):
        pid = self.proc.pid
        if self.wine:
            from wine_program import windows_process
            pid = windows_process(self.proc, self.proc.args[1]) or pid
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
        self.proc.wait(30)
        time.sleep(0.01)  # the reader takes the last lines


def run(args, mode, kills, rng):
    folder = os.path.abspath(os.path.join(args.work, mode))
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    subprocess.run(([args.wine] if args.wine else []) + [args.program, folder, "expect", str(args.kb)],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
    lists = [open(os.path.join(folder, name), "rb").read() for name in ("a.expect", "b.expect")]
    target = os.path.join(folder, "autosave.dat")
    saves = lost = leftovers = 0
    for _ in range(kills):
        with open(target, "wb") as f:
            f.write(lists[rng.randrange(2)])
        saver = Saver(args, folder, mode)
        if not saver.first.wait(60):
            saver.kill()
            raise SystemExit(f"{mode}: the saver made no save within 60 s")
        time.sleep(rng.uniform(0, args.window / 1000))
        saver.kill()
        saves += saver.saves
        with open(target, "rb") as f:
            lost += f.read() not in lists
        for name in os.listdir(folder):
            if name.startswith("autosave.dat."):
                leftovers += 1
                os.remove(os.path.join(folder, name))
    print(f"{mode}: {kills} kills, {saves} saves, {lost} lists lost, {leftovers} files left beside the list",
          flush=True)
    return lost


def write_xml(path, cases):
    suite = ET.Element("testsuite", name="save_kills", tests=str(len(cases)),
                       failures=str(sum(1 for _, failure in cases if failure)))
    for name, failure in cases:
        case = ET.SubElement(suite, "testcase", classname="SaveKills", name=name)
        if failure:
            ET.SubElement(case, "failure", message=failure).text = failure
    root = ET.Element("testsuites")
    root.append(suite)
    ET.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--wine", help="the Wine wrapper, for a Windows program")
    parser.add_argument("--kills", type=int, default=300)
    parser.add_argument("--kb", type=int, default=200, help="size of each list")
    parser.add_argument("--window", type=float, default=30, help="kill within this many ms of the first save")
    parser.add_argument("--work", default=os.getcwd())
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--test", action="store_true")
    args = parser.parse_args()
    seed = args.seed or random.randrange(1 << 30)
    print(f"seed {seed}", flush=True)
    rng = random.Random(seed)
    cases = []
    if args.test:
        caught = run(args, "in-place", max(args.kills // 2, 1), rng)
        cases.append(("a_save_in_place_is_caught", None if caught else
                      "the kills never caught a save that writes in place: this test cannot fail"))
    lost = run(args, "replace", args.kills, rng)
    cases.append(("killed_saves_keep_a_whole_list", f"{lost} lists lost (seed {seed})" if lost else None))
    if args.test and os.environ.get("VW_TEST_XML"):
        write_xml(os.environ["VW_TEST_XML"], cases)
    failed = [failure for _, failure in cases if failure]
    for failure in failed:
        print(f"FAIL: {failure}")
    return 1 if failed and args.test else 0


if __name__ == "__main__":
    sys.exit(main())
