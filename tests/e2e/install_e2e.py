#!/usr/bin/env python3
"""The Windows packages as a user and an administrator meet them, under Wine
in a prefix of this test's own (made afresh each run, never the shared test
prefix or ~/.wine).

The packages are made from this build by CPack, as tools/package.sh makes
them: the installer, a newer-numbered installer of the same files for the
upgrade, and the portable zip. Then: a silent install (files, Start-menu
shortcut, uninstall entry, Run key), the installed program taking over a
list left beside it and keeping what is added through its window in the
user's application-data folder, the Start-menu shortcut starting it, an
upgrade while it runs, silent uninstalls with and without the list, and the
portable zip keeping its list beside the executable, two copies side by side.

Needs root (port 80 on loopback), xdotool and a display (with DISPLAY
empty, a private Xvfb). Results go to $VW_TEST_XML as JUnit XML.
"""
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

SOURCE_DIR = os.environ.get("VW_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DIR = os.environ.get("VW_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "win64"))
WORK = os.path.abspath(os.environ.get("VW_E2E_WORK", os.getcwd()))
# Everything Wine below runs in this prefix, the persistent server included.
os.environ["VW_WINEPREFIX"] = os.path.join(WORK, "prefix")
# Wine links the prefix's Desktop and documents to the home folder's: keep
# the shortcuts the installer makes there inside the test's folder.
os.environ["HOME"] = os.path.join(WORK, "home")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from loopback_http import lines_body  # noqa: E402
from wine_program import (BOX_TITLE, WINE_RUN, WINDOW_TITLE, Failure, check, record_file, wait_for,  # noqa: E402
                          xdo)
from watch_e2e import ADD_BUTTON, NAME_FIELD, URL_FIELD, WatchProgram, run_in_own_prefix  # noqa: E402

SERVER_IP = "127.0.91.1"
PRODUCT = "Vostle Watch"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\VostleWatch"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
PREFIX = os.environ["VW_WINEPREFIX"]


def project_version():
    with open(os.path.join(SOURCE_DIR, "src", "runtime", "Version.h")) as f:
        for line in f:
            if "kProgramVersion[]" in line:
                return line.split('"')[1]
    raise Failure("no version in Version.h")


def wine(*args, timeout=180):
    r = subprocess.run([WINE_RUN, *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    return r.returncode, r.stdout.decode("utf-8", "replace")


def unix_path(windows_path):
    """C:\\x\\y as a path in the prefix."""
    check(windows_path[1:3] == ":\\", f"not a drive path: {windows_path!r}")
    drive = os.path.join(PREFIX, "dosdevices", windows_path[0].lower() + ":")
    return os.path.join(os.path.realpath(drive), *windows_path[3:].split("\\"))


def reg_value(key, name):
    """The value of a registry entry as `reg query` prints it, or None."""
    rc, out = wine("reg", "query", key, "/v", name)
    if rc != 0:
        return None
    for line in out.splitlines():
        m = re.match(r"\s*(.+?)\s+REG_\w+\s*(.*)$", line.rstrip("\r"))
        if m and m.group(1) == name:
            return m.group(2)
    return None


def make_packages(version):
    """The installer and zip of this build, and an installer numbered higher."""
    out = os.path.join(WORK, "packages")
    shutil.rmtree(out, ignore_errors=True)
    config = os.path.join(BUILD_DIR, "CPackConfig.cmake")
    newer = version + ".1"
    for extra in ([], ["-G", "NSIS", "-D", f"CPACK_PACKAGE_VERSION={newer}"]):
        r = subprocess.run(["cpack", "--config", config, "-B", out, *extra], capture_output=True, text=True,
                           timeout=300)
        check(r.returncode == 0, f"cpack {' '.join(extra)} failed: {r.stdout[-2000:]}{r.stderr[-2000:]}")
    names = {"setup": f"VostleWatch-{version}-win64-setup.exe", "newer": f"VostleWatch-{newer}-win64-setup.exe",
             "zip": f"VostleWatch-{version}-win64-portable.zip"}
    paths = {k: os.path.join(out, n) for k, n in names.items()}
    for path in paths.values():
        check(os.path.isfile(path), f"cpack made no {os.path.basename(path)}")
    return paths, newer


class Installation:
    """Where the installer puts things, in this prefix."""

    def __init__(self):
        rc, out = wine("cmd", "/c", "echo %LOCALAPPDATA%^|%APPDATA%^|%USERPROFILE%")
        check(rc == 0, "cmd could not say where the user's folders are")
        local, roaming, profile = out.strip().split("|")
        self.desktop_shortcut = unix_path(profile + "\\Desktop\\" + PRODUCT + ".lnk")
        self.folder = unix_path(local + "\\Programs\\" + PRODUCT)
        self.windows_exe = local + "\\Programs\\" + PRODUCT + "\\VostleWatch.exe"
        self.data = unix_path(roaming + "\\" + PRODUCT)
        self.shortcut = unix_path(roaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\" + PRODUCT + ".lnk")
        self.list = os.path.join(self.data, "autosave.dat")

    def path(self, name):
        return os.path.join(self.folder, name)

    def read_list(self):
        try:
            with open(self.list, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None


def run_installer(path, *options):
    rc, out = wine(path, "/S", *options, timeout=300)
    check(rc == 0, f"{os.path.basename(path)} /S {' '.join(options)} ended with {rc}: {out[-500:]}")


def uninstall(inst, *options):
    """The uninstaller runs on from a copy of itself: wait for its work."""
    run_installer(inst.path("Uninstall.exe"), *options)
    wait_for(lambda: not os.path.exists(inst.path("Uninstall.exe")), 60, "the uninstaller to finish")
    wait_for(lambda: reg_value(UNINSTALL_KEY, "DisplayName") is None, 30, "the uninstall entry to go")


def windows_processes(name="VostleWatch.exe"):
    """Process ids of the Windows programs of that name running in this
    test's prefix, however they were started."""
    pids = []
    mine = b"WINEPREFIX=" + PREFIX.encode()
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if argv0.replace("\\", "/").rsplit("/", 1)[-1].lower() == name.lower() and mine in environ:
            pids.append(int(entry))
    return pids


class InstallScenario:
    """Install, use, upgrade and uninstall, in that order: each step starts
    from what the one before left."""

    def __init__(self, inst, packages, newer, server):
        self.inst, self.packages, self.newer = inst, packages, newer
        self.version = project_version()
        self.old_list = record_file([(f"http://{SERVER_IP}/i/a", "Alpha", 3)])
        self.added = (f"http://{SERVER_IP}/i/b", "Beta", 5)
        server.set_page("/i/a", lines_body(3))
        server.set_page("/i/b", lines_body(5))
        self.started = []   # the installed program, once it is installed

    def install(self):
        run_installer(self.packages["setup"], "/AUTOSTART", "/DESKTOP")
        for name in ("VostleWatch.exe", "Uninstall.exe", "VostleWatch.installed", "ReadMe.txt"):
            check(os.path.isfile(self.inst.path(name)), f"{name} is not in {self.inst.folder}")
        check(os.path.isfile(self.inst.shortcut), "no Start-menu shortcut")
        check(os.path.isfile(self.inst.desktop_shortcut), "no desktop shortcut")
        check(not os.path.exists(self.inst.path("autosave.dat")) and not os.path.exists(self.inst.data),
              "the installer made a list")
        entry = {v: reg_value(UNINSTALL_KEY, v) for v in
                 ("DisplayName", "DisplayVersion", "UninstallString", "InstallLocation", "EstimatedSize")}
        check(entry["DisplayName"] == PRODUCT and entry["DisplayVersion"] == self.version,
              f"the uninstall entry says {entry}")
        check(entry["UninstallString"] and "Uninstall.exe" in entry["UninstallString"], f"uninstaller: {entry}")
        check(entry["EstimatedSize"] and int(entry["EstimatedSize"], 16) > 100, f"size: {entry}")
        run = reg_value(RUN_KEY, PRODUCT)
        check(run == f'"{self.inst.windows_exe}"', f"Run key: {run!r}")

    def take_over_and_add(self):
        # A list a portable copy kept in this folder before.
        with open(self.inst.path("autosave.dat"), "wb") as f:
            f.write(self.old_list)
        prog = WatchProgram(self.inst.path("VostleWatch.exe"), self.inst.folder, dict(os.environ))
        self.started.append(prog)
        prog.start()
        text = prog.box_text()
        check(text.startswith("Your watch list was copied from ") and "AppData\\Roaming\\Vostle Watch" in text,
              f"the first start says {text!r}")
        prog.answer_box(ok=True)
        check(self.inst.read_list() == self.old_list, f"the data folder's list holds {self.inst.read_list()!r}")
        prog.wait_line("GUI stuff", 60)
        prog.fill(URL_FIELD, self.added[0])
        prog.fill(NAME_FIELD, self.added[1])
        prog.click(ADD_BUTTON)
        want = self.old_list + record_file([self.added])
        wait_for(lambda: self.inst.read_list() == want, 40, "Beta in the data folder's list")
        with open(self.inst.path("autosave.dat"), "rb") as f:
            check(f.read() == self.old_list, "the list left beside the program was changed")

    def upgrade_while_running(self):
        before = self.inst.read_list()
        run_installer(self.packages["newer"])
        rc = self.started[0].wait_exit(30)
        check(rc == 0, f"the running copy ended with {rc} when the upgrade closed it")
        check(reg_value(UNINSTALL_KEY, "DisplayVersion") == self.newer, "the uninstall entry is not the newer one")
        check(self.inst.read_list() == before, "the upgrade changed the list")
        check(os.path.isfile(self.inst.path("VostleWatch.installed")), "the upgrade lost the installed mark")
        check(reg_value(RUN_KEY, PRODUCT) is not None and os.path.isfile(self.inst.desktop_shortcut),
              "the upgrade dropped an option chosen before")

    def start_from_menu(self):
        return subprocess.Popen([WINE_RUN, "start", "/unix", self.inst.shortcut], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def shortcut_starts_program(self):
        self.menu_list = self.inst.read_list()
        self.starter = self.start_from_menu()
        pid = wait_for(windows_processes, 120, "the program started from the Start menu")[0]
        self.menu_window = wait_for(lambda: xdo("search", "--onlyvisible", "--pid", pid, "--name",
                                                f"^{WINDOW_TITLE}$", check_rc=False).split(), 120, "its window")[0]
        self.started_pids = [pid]

    def second_start_brings_first_to_front(self):
        window = self.menu_window
        time.sleep(2)   # the first copy's start-up writes are done
        listing = sorted(os.listdir(self.inst.data))
        stamps = {n: os.stat(os.path.join(self.inst.data, n)).st_mtime_ns for n in listing}
        xdo("windowminimize", "--sync", window)
        t0 = time.monotonic()
        second = self.start_from_menu()
        # The second copy shows up, then goes; the first stays.
        wait_for(lambda: len(windows_processes()) > 1 or time.monotonic() - t0 > 1.5, 10, "the second start")
        wait_for(lambda: windows_processes() == self.started_pids, 10, "the second start to end")
        took = time.monotonic() - t0
        print(f"         second start ended after {took:.2f} s", flush=True)
        second.wait(30)
        check(took <= 2.0, f"the second start took {took:.2f} s to end")
        wait_for(lambda: xdo("getactivewindow", check_rc=False).strip() == window, 5,
                 "the first window to come to the front")
        check(sorted(os.listdir(self.inst.data)) == listing and all(
            os.stat(os.path.join(self.inst.data, n)).st_mtime_ns == t for n, t in stamps.items()),
            "the second start wrote into the list's folder")
        xdo("windowactivate", "--sync", window, check_rc=False)
        xdo("key", "alt+F4")
        wait_for(lambda: not windows_processes(), 30, "the program to end")
        self.starter.wait(30)
        check(self.inst.read_list() == self.menu_list, "starting from the Start menu changed the list")
        check(BOX_TITLE not in xdo("search", "--name", BOX_TITLE, check_rc=False), "a message box was left")

    def uninstall_keeps_list(self):
        before = self.inst.read_list()
        uninstall(self.inst)
        for name in ("VostleWatch.exe", "VostleWatch.installed", "ReadMe.txt"):
            check(not os.path.exists(self.inst.path(name)), f"{name} is still there")
        check(not os.path.exists(self.inst.shortcut), "the Start-menu shortcut is still there")
        check(not os.path.exists(self.inst.desktop_shortcut), "the desktop shortcut is still there")
        check(reg_value(RUN_KEY, PRODUCT) is None, "the Run key is still there")
        check(self.inst.read_list() == before, "uninstalling changed the list")
        # What stays is the list left there before, and the test's own log.
        left = sorted(set(os.listdir(self.inst.folder)) - {"stderr.txt"})
        check(left == ["autosave.dat"], f"left in the folder: {left}")

    def uninstall_with_list(self):
        run_installer(self.packages["setup"])
        check(reg_value(RUN_KEY, PRODUCT) is None and not os.path.exists(self.inst.desktop_shortcut),
              "a fresh install took an option unasked")
        uninstall(self.inst, "/REMOVELIST")
        check(not os.path.exists(self.inst.data), "the list was kept although its removal was asked for")

    def fresh_install_makes_its_data_folder(self):
        # No list anywhere to take over (the original the take-over left is
        # gone too): the first start makes the data folder itself, saves its
        # empty list there and keeps an Add there.
        os.remove(self.inst.path("autosave.dat"))
        run_installer(self.packages["setup"])
        prog = WatchProgram(self.inst.path("VostleWatch.exe"), self.inst.folder, dict(os.environ))
        self.started.append(prog)
        prog.start()
        prog.wait_line("GUI stuff", 60)
        wait_for(lambda: self.inst.read_list() == b"", 30, "an empty list in the new data folder")
        check(BOX_TITLE not in xdo("search", "--name", BOX_TITLE, check_rc=False), "the first start showed a message")
        prog.fill(URL_FIELD, self.added[0])
        prog.fill(NAME_FIELD, self.added[1])
        prog.click(ADD_BUTTON)
        wait_for(lambda: self.inst.read_list() == record_file([self.added]), 40, "the Add in the new data folder")
        prog.close_window()
        check(prog.wait_exit(30) == 0, "the program did not end cleanly")
        uninstall(self.inst, "/REMOVELIST")

    def run(self, results):
        steps = [("install_silent_puts_files_shortcut_entry_and_run_key", self.install),
                 ("installed_copy_takes_over_left_list_and_keeps_adds_in_app_data", self.take_over_and_add),
                 ("upgrade_closes_running_copy_and_keeps_list_and_choices", self.upgrade_while_running),
                 ("start_menu_shortcut_starts_installed_program", self.shortcut_starts_program),
                 ("second_start_from_menu_ends_fast_with_first_window_in_front",
                  self.second_start_brings_first_to_front),
                 ("uninstall_silent_removes_program_and_keeps_list", self.uninstall_keeps_list),
                 ("uninstall_with_removelist_removes_list", self.uninstall_with_list),
                 ("fresh_install_makes_its_data_folder_and_keeps_adds_there",
                  self.fresh_install_makes_its_data_folder)]
        try:
            results.run_steps(steps)
        finally:
            for prog in self.started:
                prog.kill()


def portable(inst, zip_path, results):
    version = project_version()
    top = f"VostleWatch-{version}-win64-portable"
    copies = []

    def run():
        installed_list = inst.read_list()
        with zipfile.ZipFile(zip_path) as z:
            names = sorted(z.namelist())
            check(names == [f"{top}/ReadMe.txt", f"{top}/VostleWatch.exe"], f"the zip holds {names}")
            for n in (1, 2):
                z.extractall(os.path.join(WORK, f"portable{n}"))
        for n in (1, 2):
            folder = os.path.join(WORK, f"portable{n}", top)
            prog = WatchProgram(os.path.join(folder, "VostleWatch.exe"), folder, dict(os.environ))
            copies.append(prog)
            prog.start()
            prog.main_window()
            # A list that is missing is made empty at once, beside the program.
            wait_for(lambda: prog.read_autosave() == b"", 60, f"an empty list beside portable copy {n}")
        check(all(p.proc.poll() is None for p in copies), "two portable copies in two folders do not run together")
        check(inst.read_list() == installed_list, "a portable copy wrote into the application-data folder")
        for prog in copies:
            prog.close_window()
            check(prog.wait_exit(30) == 0, "a portable copy did not end cleanly")

    try:
        results.run("portable_zip_keeps_list_beside_exe_two_copies_side_by_side", run)
    finally:
        for prog in copies:
            prog.kill()


def main():
    subprocess.run([WINE_RUN, "--kill"], stdin=subprocess.DEVNULL, timeout=60)   # a run stopped half-way
    shutil.rmtree(PREFIX, ignore_errors=True)
    shutil.rmtree(os.environ["HOME"], ignore_errors=True)
    os.makedirs(os.environ["HOME"])

    def session(server, results):
        packages, newer = make_packages(project_version())
        inst = Installation()
        InstallScenario(inst, packages, newer, server).run(results)
        portable(inst, packages["zip"], results)
    return run_in_own_prefix("install_e2e", SERVER_IP, session)


if __name__ == "__main__":
    sys.exit(main())
