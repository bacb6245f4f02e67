"""Running the Windows setup program under Wine on an X server, reading its
windows through window_probe and driving it with X input events.

Shared by the end-to-end tests (wizard_e2e.py) and the screenshot script
(scripts/screenshots-win). Every wait has a time limit and a failing wait
says what it waited for and what was on the screen.
"""
import glob
import json
import os
import shutil
import subprocess
import time

WAIT_LIMIT = 30.0  # seconds
EXIT_LIMIT = 60.0

# Control ids of the wizard sheet and its pages.
BACK, NEXT, FINISH, CANCEL, HELP = 0x3023, 0x3024, 0x3025, 2, 9
PAGE_MARKERS = {  # a control only that page has
    "welcome": 1005,
    "destination": 1009,
    "progress": 1003,
    "cancelled": 1008,
    "failed": 1007,
    "installed": 1006,
}
IDYES, IDNO, IDOK = 6, 7, 1
TEXT_ID = 0xFFFF  # the message box's text


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(command, env=None, timeout=60, check_status=True):
    result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout)
    if check_status and result.returncode != 0:
        raise Failure("%s failed (%d): %s" % (" ".join(command), result.returncode,
                                                result.stderr.strip()[-2000:]))
    return result


def xdotool(*arguments):
    return run(["xdotool", *arguments], timeout=20).stdout


def windows_path(path):
    """The Wine path of a host path (drive Z: is the host's root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Window:
    """One top-level window of a snapshot and its controls."""

    def __init__(self, record):
        self.record = record
        self.controls = record["controls"]

    def __getitem__(self, key):
        return self.record[key]

    @property
    def title(self):
        return self.record["text"]

    def control(self, control_id, visible_only=False, parent=None):
        for c in self.controls:
            if c["id"] == control_id and (not visible_only or c["visible"]):
                if parent is None or c["parent"] == parent:
                    return c
        return None

    def require(self, control_id, what):
        c = self.control(control_id, visible_only=True)
        check(c is not None, "no visible %s (control %d) in %s" % (what, control_id, self.describe()))
        return c

    def texts(self):
        return [c["text"] for c in self.controls if c["visible"] and c["text"]]

    def describe(self):
        return "%r %s" % (self.title, self.texts())

    # --- what kind of window this is ---------------------------------------
    def is_sheet(self):
        return self.control(NEXT) is not None and self.control(BACK) is not None

    def is_message_box(self):
        return (not self.is_sheet() and self.control(TEXT_ID) is not None and
                any(self.control(i) for i in (IDOK, IDYES, IDNO)) and
                self.control(1119) is None and self.control(4206) is None)

    def is_folder_chooser(self):
        return self.control(4206) is not None

    def page(self):
        """Name of the sheet's visible page."""
        for name, marker in PAGE_MARKERS.items():
            c = self.control(marker)
            if c is not None and c["visible"]:
                return name
        return None

    def box_buttons(self):
        return sorted(c["id"] for c in self.controls
                      if c["class"].lower() == "button" and c["visible"])

    def box_has_icon(self):
        return any(c["visible"] and c.get("icon") for c in self.controls)


class WineDriver:
    """One prefix, one program folder, one run of the program at a time."""

    def __init__(self, prefix, work, probe, lang="en_US.UTF-8"):
        self.prefix = os.path.abspath(prefix)
        self.work = os.path.abspath(work)
        self.probe_program = probe
        self.lang = lang
        self.process = None
        self.probe = None
        self.log = None

    # --- the Wine environment ---------------------------------------------
    def env(self):
        env = dict(os.environ)
        for name in ("LC_ALL", "LANGUAGE", "LC_MESSAGES"):
            env.pop(name, None)
        env.update(WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=", LANG=self.lang)
        return env

    def user_dir(self):
        users = [d for d in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*"))
                 if os.path.basename(d) != "Public" and os.path.isdir(d)]
        check(len(users) == 1, "cannot tell the Wine user among %s" % users)
        return users[0]

    def roaming(self):
        return os.path.join(self.user_dir(), "AppData", "Roaming")

    def temp_dir(self):
        # Wine's TEMP: C:\users\<user>\Temp.
        path = os.path.join(self.user_dir(), "Temp")
        check(os.path.isdir(path), "no temporary folder %s in the prefix" % path)
        return path

    def start_services(self):
        """A persistent server and the background services, started apart
        from the program so that they do not hold its pipes."""
        check("DISPLAY" in os.environ, "no DISPLAY: these tests need an X server")
        env = self.env()
        # Status 2: a server for the prefix runs already, which is as good.
        # The server outlives the call and would hold captured pipes open.
        subprocess.run(["wineserver", "-p"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(["wine", "wineboot"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.probe = subprocess.Popen(["wine", self.probe_program, "serve"], env=env,
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL)

    def stop_services(self):
        if self.probe:
            try:
                self.probe.stdin.write(b"quit\n")
                self.probe.stdin.flush()
                self.probe.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.probe.kill()
            self.probe = None
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    # --- the program ----------------------------------------------------------
    def start(self, program, arguments=()):
        self.log = open(os.path.join(self.work, "setup.log"), "w")
        self.process = subprocess.Popen(["wine", program, *arguments], env=self.env(),
                                        cwd=self.work, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT)

    def wait_for_exit(self, expected=0, limit=EXIT_LIMIT):
        """expected: the exit code that tells how the run ended."""
        try:
            status = self.process.wait(limit)
        except subprocess.TimeoutExpired:
            raise Failure("setup.exe did not end within %.0f s; windows: %s"
                          % (limit, self.describe(self.snapshot())))
        check(status == expected, "setup.exe ended with status %d, expected %d"
              % (status, expected))

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.log:
            self.log.close()
            self.log = None

    # --- reading windows ----------------------------------------------------
    def snapshot(self):
        check(self.probe and self.probe.poll() is None, "the window probe is not running")
        self.probe.stdin.write(b"snapshot\n")
        self.probe.stdin.flush()
        line = self.probe.stdout.readline()
        check(line, "the window probe ended")
        try:
            windows = json.loads(line.decode("utf-8"))["windows"]
        except (ValueError, KeyError) as error:
            raise Failure("the window probe answered %r: %s" % (line[:300], error))
        return [Window(w) for w in windows]

    @staticmethod
    def describe(windows):
        return "; ".join(w.describe() for w in windows) or "no visible window"

    def wait_for(self, what, find, limit=WAIT_LIMIT, while_running=True):
        deadline = time.monotonic() + limit
        windows = []
        while time.monotonic() < deadline:
            if while_running and self.process and self.process.poll() is not None:
                raise Failure("setup.exe ended with status %s while waiting for %s; last "
                              "windows: %s" % (self.process.returncode, what,
                                               self.describe(windows)))
            windows = self.snapshot()
            found = find(windows)
            if found:
                return found
            time.sleep(0.1)
        raise Failure("no %s within %.0f s; windows seen: %s" % (what, limit,
                                                                  self.describe(windows)))

    def sheet(self, windows):
        for w in windows:
            if w.is_sheet():
                return w
        return None

    def message_box(self, windows):
        for w in windows:
            if w.is_message_box():
                return w
        return None

    def wait_for_page(self, name, limit=WAIT_LIMIT):
        """The sheet once that page shows, and no message box is open."""
        def find(windows):
            s = self.sheet(windows)
            return s if s and s.page() == name and not self.message_box(windows) else None
        return self.wait_for("%s page" % name, find, limit)

    def wait_for_message_box(self, what, limit=WAIT_LIMIT):
        return self.wait_for(what, self.message_box, limit)

    def wait_until(self, what, condition, limit=WAIT_LIMIT):
        return self.wait_for(what, lambda windows: windows if condition(windows) else None, limit)

    # --- input ------------------------------------------------------------
    def x_window(self, window):
        """The X window of a top-level window: same title, same rectangle."""
        deadline = time.monotonic() + WAIT_LIMIT
        while time.monotonic() < deadline:
            found = run(["xdotool", "search", "--onlyvisible", "--name",
                         "^%s$" % _pattern(window.title)], check_status=False).stdout.split()
            for wid in found:
                geometry = xdotool("getwindowgeometry", "--shell", wid)
                values = dict(line.split("=", 1) for line in geometry.split())
                if (int(values["X"]), int(values["Y"])) == (window["x"], window["y"]):
                    return wid
            time.sleep(0.1)
        raise Failure("no X window titled %r at %d,%d" % (window.title, window["x"], window["y"]))

    def keys(self, window, *keys):
        wid = self.x_window(window)
        xdotool("windowfocus", "--sync", wid)
        xdotool("key", "--clearmodifiers", *keys)

    def type_text(self, window, text):
        wid = self.x_window(window)
        xdotool("windowfocus", "--sync", wid)
        xdotool("type", "--clearmodifiers", "--delay", "20", text)

    def click(self, control):
        """A left click in the middle of a control (screen coordinates are X
        root coordinates)."""
        self.click_at(control["x"] + control["width"] // 2, control["y"] + control["height"] // 2)

    def click_at(self, x, y, repeat=1):
        # A synchronous move to where the pointer is already waits for ever.
        location = dict(part.split(":") for part in xdotool("getmouselocation").split()[:2])
        if (int(location["x"]), int(location["y"])) != (x, y):
            xdotool("mousemove", "--sync", str(x), str(y))
        xdotool("click", "--repeat", str(repeat), "--delay", "80", "1")

    def screenshot(self, window, path):
        wid = self.x_window(window)
        run(["import", "-window", wid, path])


def _pattern(title):
    """A title as an extended regular expression that matches only itself."""
    return "".join("\\" + c if c in ".[]()*+?{}|^$\\" else c for c in title)


def clean_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
