"""Running the Windows program under Wine for tests and benchmarks.

Shared by tests/e2e and bench/: an X display (the caller's, or a private Xvfb
with openbox), one run of the program with its standard output collected
line by line with arrival times, its windows found by title and process id,
and real input through xdotool.
"""
import filecmp
import os
import select
import shutil
import signal
import subprocess
import threading
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
WINE_RUN = os.environ.get("VW_WINE_RUN", os.path.join(SOURCE_DIR, "tools", "wine-run.sh"))
WINDOW_TITLE = "Vostle Watch"
BOX_TITLE = "Corvane Application"


# A loaded build machine (two cores, other builds and Wine at once) can make
# any start-up take many times its usual time: waits for things that must
# come are generous, and say what they waited for when they give up.
START_WAIT = 120        # Xvfb, the window manager, the Windows process, a window


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def wait_for(predicate, timeout, what, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"gave up after waiting {timeout} s for {what}")
        time.sleep(interval)


def record_file(records):
    """The exact bytes the program writes for (url, name, count) records."""
    return b"".join(f"{u}\r\n{n}\r\n{c}\r\n".encode("latin-1") for u, n, c in records)


def xdo(*args, check_rc=True):
    r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=20)
    if check_rc and r.returncode != 0:
        raise Failure(f"xdotool {' '.join(map(str, args))} failed: {r.stderr.strip()}")
    return r.stdout


def window_geometry(window):
    """What xwininfo says of an X window: its absolute "X" and "Y" and its
    "Width" and "Height", those it gives."""
    out = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True, timeout=20).stdout
    geometry = {}
    for line in out.splitlines():
        key, _, value = line.strip().partition(":")
        if key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            geometry[key.split()[-1]] = int(value)
    return geometry


def windows_process(wrapper, exe):
    """The pid of the Windows process that wine-run.sh started for `exe`: the
    loader child (the wrapper stays as its parent), or the wrapper itself when
    it execs."""
    name = os.path.basename(exe).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                ppid = int(f.read().rsplit(b")", 1)[1].split()[1])
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0]
        except (OSError, ValueError, IndexError):
            continue
        if ppid == wrapper.pid and argv0.endswith(name):
            return int(entry)
    try:
        with open(f"/proc/{wrapper.pid}/cmdline", "rb") as f:
            if f.read().split(b"\0")[0].endswith(name):
                return wrapper.pid
    except OSError:
        pass
    return None


class Display:
    """The X display: the caller's, or a private Xvfb with openbox."""

    def __init__(self):
        self.procs = []

    def __enter__(self):
        if os.environ.get("DISPLAY"):
            return self
        fd_r, fd_w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(fd_w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                pass_fds=(fd_w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(fd_w)
        # Xvfb writes the number and its line end apart: closing the pipe
        # between the two would end Xvfb by SIGPIPE, so read the whole line.
        got = b""
        deadline = time.monotonic() + START_WAIT
        while not got.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([fd_r], [], [], max(0.0, deadline - time.monotonic()))
            piece = os.read(fd_r, 32) if ready else b""
            if not piece:
                break
            got += piece
        number = got.decode().strip()
        os.close(fd_r)
        if not number:
            xvfb.kill()
            raise Failure(f"Xvfb did not report a display number within {START_WAIT} s")
        self.procs.append(xvfb)
        os.environ["DISPLAY"] = ":" + number
        wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(wm)
        wait_for(lambda: b"window id" in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                       capture_output=True).stdout, START_WAIT,
                 "the window manager (openbox) to take over the display")
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            p.terminate()
            p.wait(timeout=10)


class Program:
    """One run of VostleWatch.exe in its own folder (autosave.dat lives beside it)."""

    def __init__(self, program, folder, env):
        self.folder = folder
        self.env = env
        self.exe = os.path.join(folder, "VostleWatch.exe")
        # A copy left by an earlier run may be of an older build.
        if not os.path.exists(self.exe) or not filecmp.cmp(program, self.exe, shallow=False):
            shutil.copy2(program, self.exe)
        self.proc = None
        self.raw = []          # stdout lines as bytes, with their line ends
        self.times = []        # arrival time of each line
        self.window = None

    @property
    def autosave(self):
        return os.path.join(self.folder, "autosave.dat")

    def read_autosave(self):
        try:
            with open(self.autosave, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def start(self):
        self.raw, self.times, self.window = [], [], None
        self.stderr = open(os.path.join(self.folder, "stderr.txt"), "wb")
        self.proc = subprocess.Popen([WINE_RUN, self.exe], cwd=self.folder, env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.stderr)
        reader = threading.Thread(target=self._read, args=(self.proc.stdout,), daemon=True)
        reader.start()
        self.pid = wait_for(self._windows_process, START_WAIT, f"the Windows process of {self.exe} to start")
        return self

    def _windows_process(self):
        if self.proc.poll() is not None:
            raise Failure(f"program ended at once with status {self.proc.returncode}")
        return windows_process(self.proc, self.exe)

    def cpu_seconds(self):
        """User plus system processor time of the Windows process so far."""
        with open(f"/proc/{self.pid}/stat", "rb") as f:
            fields = f.read().rsplit(b")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def _read(self, pipe):
        for line in iter(pipe.readline, b""):
            self.raw.append(line)
            self.times.append(time.monotonic())

    def lines(self):
        return [r.decode("utf-8", "replace").rstrip("\r\n") for r in list(self.raw)]

    def wait_line(self, text, timeout=30, start=0):
        """Index of the first output line equal to `text` at or after `start`."""
        def find():
            ls = self.lines()
            for i in range(start, len(ls)):
                if ls[i] == text:
                    return i + 1
            if self.proc.poll() is not None:
                raise Failure(f"program ended (status {self.proc.returncode}) before printing {text!r}; "
                              f"output: {ls[-8:]}")
            return None
        return wait_for(find, timeout, f"output line {text!r}") - 1

    def wait_exit(self, timeout=20):
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"program still running {timeout} s after closing its window")
        time.sleep(0.3)  # let the reader take the last lines
        return rc

    def kill(self):
        if self.proc and self.proc.poll() is None:
            # The Windows process itself; its wrapper then ends with it.
            try:
                os.kill(self.pid, signal.SIGKILL)
            except (OSError, TypeError):
                os.kill(self.proc.pid, signal.SIGKILL)
            self.proc.wait(20)
        if self.proc:
            self.stderr.close()

    # --- windows and input --------------------------------------------------

    def find_window(self, title, timeout=START_WAIT):
        def search():
            out = xdo("search", "--all", "--onlyvisible", "--pid", self.pid, "--name", f"^{title}$", check_rc=False)
            ids = out.split()
            if not ids and self.proc.poll() is not None:
                raise Failure(f"program ended (status {self.proc.returncode}) before showing {title!r}")
            return ids[-1] if ids else None
        return wait_for(search, timeout, f"window {title!r}", interval=0.2)

    def main_window(self):
        if not self.window:
            self.window = self.find_window(WINDOW_TITLE)
        return self.window

    def client_origin(self):
        # Wine's X window of a framed top-level window is its client area
        # (the window manager draws the frame). xwininfo gives the absolute
        # position; xdotool's geometry is off by the frame under reparenting.
        geometry = window_geometry(self.main_window())
        if not {"X", "Y"} <= set(geometry):
            raise Failure(f"no position for window {self.window}: {geometry}")
        return geometry["X"], geometry["Y"]

    def click(self, point, repeat=1):
        ox, oy = self.client_origin()
        x, y = ox + point[0], oy + point[1]
        # `mousemove --sync` waits for a motion, which never comes when the
        # pointer is there already.
        here = dict(kv.split(":", 1) for kv in xdo("getmouselocation").split())
        if (int(here["x"]), int(here["y"])) != (x, y):
            xdo("mousemove", "--sync", x, y)
        if repeat > 1:
            xdo("click", "--repeat", repeat, "--delay", 80, 1)
        else:
            xdo("click", 1)

    def smallest_window(self, title):
        """Of the visible windows with this title, the smallest: a message
        box rather than the main window, should Wine ever report both."""
        ids = xdo("search", "--all", "--onlyvisible", "--pid", self.pid, "--name", f"^{title}$",
                  check_rc=False).split()
        def area(w):
            size = window_geometry(w)
            return size.get("Width", 1 << 20) * size.get("Height", 1 << 20)
        if not ids:
            raise Failure(f"window {title!r} went away")
        return min(ids, key=area)

    def focus(self, window):
        """Makes `window` the active one, so that keys go to it."""
        def active():
            xdo("windowactivate", "--sync", window, check_rc=False)
            return xdo("getactivewindow", check_rc=False).strip() == window
        wait_for(active, 15, f"window {window} to become active", interval=0.3)
        time.sleep(0.2)

    def close_window(self):
        """Closes the main window the way a user does, through the window manager."""
        self.focus(self.main_window())
        xdo("key", "alt+F4")

    def answer_box(self, ok, timeout=30, wait=True):
        """Answers the message box with OK (Enter) or Cancel (Escape) and
        returns the time the key went out."""
        self.find_window(BOX_TITLE, timeout)
        box = self.smallest_window(BOX_TITLE)

        def gone():
            # The next question may already be up under the same title: watch this one.
            return box not in xdo("search", "--onlyvisible", "--pid", self.pid, "--name", f"^{BOX_TITLE}$",
                                  check_rc=False).split()
        # A key that reaches a box in the moment it is being activated can
        # be lost under Wine; press again only while the box is still the
        # active window, so a repeat never lands in the main window.
        for attempt in range(4):
            self.focus(box)
            xdo("key", "Return" if ok else "Escape")
            sent = time.monotonic()
            if not wait:
                return sent
            try:
                wait_for(gone, 4, "the message box to close")
                return sent
            except Failure:
                if attempt == 3:
                    raise


class Probe:
    """Asks a window every 50 ms to answer WM_NULL (probe_window.exe) and
    keeps each answer time in milliseconds, with when it was measured."""

    def __init__(self, bin_dir, title, env, seconds=600):
        self.samples = []   # (monotonic time, milliseconds)
        self.exe = os.path.join(bin_dir, "probe_window.exe")
        self.proc = subprocess.Popen([WINE_RUN, self.exe, title, str(seconds)], env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in iter(self.proc.stdout.readline, b""):
            text = line.decode("ascii", "replace").split()
            try:
                self.samples.append((time.monotonic(), float(text[-1])))
            except (ValueError, IndexError):
                pass

    def stop(self):
        if self.proc.poll() is None:
            pid = windows_process(self.proc, self.exe)
            try:
                os.kill(pid or self.proc.pid, signal.SIGKILL)
            except OSError:
                pass
        self.proc.wait(20)

    def between(self, t0, t1):
        return [ms for t, ms in self.samples if t0 <= t <= t1]

    @staticmethod
    def p99(values):
        if not values:
            return float("nan")
        ordered = sorted(values)
        return ordered[min(len(ordered) - 1, int(0.99 * len(ordered)))]


def start_persistent_wine(linger=None):
    """A wine server started by a program whose output we pipe would hold
    the pipes open; start one (and Wine's services) detached first. With
    `linger`, it ends that many seconds after the last program."""
    extra = [str(linger)] if linger else []
    subprocess.run([WINE_RUN, "--persist", *extra], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
