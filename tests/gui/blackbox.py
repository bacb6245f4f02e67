#!/usr/bin/env python3
"""Black-box runs of the real Linux setup program under an X server.

Each case copies the built program beside a kit made with mkkit in a folder
of its own, points HOME and TMPDIR into that folder, drives the program with
X input events (xdotool) and checks what it leaves behind: the installed
files, the launcher settings, no work file and no backup directory, and the
exit status. The windows are read through the widget probe module
(GTK_MODULES), which answers on a Unix socket; every wait has a time limit
and a failing wait says what it was waiting for and what was on the screen.

The headless cases run the program without DISPLAY, the way administrators
run it over SSH or from scripts, and read its standard streams instead; they
need no X server.

With --as-user NAME the program runs as that ordinary user, the way end
users run it: a driver started as root switches to it (setpriv, else
runuser) and hands it its HOME, TMPDIR and template folders; a driver that
is not root runs the program as itself. The driver itself stays who it is,
prepares the kit and checks the results.

Usage: blackbox.py --case NAME --setup PATH --mkkit PATH --probe PATH
                   --close-request PATH --texts DIR --work DIR [--as-user NAME]
"""
import argparse
import os
import pty
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import zlib

import probe_client

WAIT_LIMIT = 30.0  # seconds; the sanitizer build is slow
EXIT_LIMIT = 60.0
RU_TITLE = "Установка конфигурации"
OLD_TIME = 1000000000  # 2001, older than anything a kit holds
KIT_TIME = 1600000000


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def load_texts(directory, code):
    texts = {}
    with open(os.path.join(directory, code + ".tsv"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#") or "\t" not in line:
                continue
            key, text = line.split("\t", 1)
            texts[key] = text
    return texts


def write_tree(root, files, mtime=KIT_TIME):
    """files: relative path -> text."""
    for name, text in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        os.utime(path, (mtime, mtime))


def find_tool(name):
    # runuser lives in /usr/sbin, which an ordinary PATH may lack.
    return shutil.which(name, path=os.environ.get("PATH", "") + ":/usr/sbin:/usr/bin:/sbin:/bin")


def process_uids(pid):
    """Real, effective, saved and file-system uid of a process; None once it has ended."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("Uid:"):
                    return [int(n) for n in line.split()[1:]]
    except FileNotFoundError:
        return None
    raise Failure("no Uid line for process %d" % pid)


class RunAs:
    """Who the program runs as: the driver's own user, or, for a driver
    running as root, the ordinary user named by --as-user."""

    def __init__(self, name):
        self.name = pwd.getpwuid(os.getuid()).pw_name
        self.uid, self.gid = os.getuid(), os.getgid()
        self.prefix = []  # the command that switches to the user
        if name is None or os.geteuid() != 0:
            return  # an ordinary user already: no switch
        self.name = name
        try:
            entry = pwd.getpwnam(name)
        except KeyError:
            raise Failure("there is no user %r to run the program as" % name)
        check(entry.pw_uid != 0, "the user %r is root" % name)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid
        setpriv, runuser = find_tool("setpriv"), find_tool("runuser")
        if setpriv:
            self.prefix = [setpriv, "--reuid=%d" % self.uid, "--regid=%d" % self.gid,
                           "--clear-groups", "--"]
        elif runuser:
            self.prefix = [runuser, "-u", name, "--"]
        else:
            raise Failure("running as root, but neither setpriv nor runuser (util-linux) is "
                          "installed to run the program as %r" % name)

    def switches(self):
        return bool(self.prefix)

    def command(self, arguments, env):
        """The command line that runs arguments as the user with exactly env.
        runuser sets HOME and others of its own, so the environment is given
        again on the far side of the switch."""
        if not self.prefix:
            return list(arguments)
        return [*self.prefix, find_tool("env"), "-i",
                *("%s=%s" % item for item in sorted(env.items())), *arguments]

    def can_reach(self, path):
        """Whether the user may search every folder down to path."""
        if not self.prefix:
            return True
        return subprocess.run([*self.prefix, find_tool("test"), "-x", path]).returncode == 0

    def give(self, path):
        """Makes path and everything in it the user's."""
        os.chown(path, self.uid, self.gid, follow_symlinks=False)
        for directory, dirs, files in os.walk(path):
            for name in dirs + files:
                os.chown(os.path.join(directory, name), self.uid, self.gid, follow_symlinks=False)


def read_tree(root):
    """Relative path -> (bytes, whole-second mtime) for files, None for directories."""
    tree = {}
    for directory, dirs, files in os.walk(root):
        for d in dirs:
            tree[os.path.relpath(os.path.join(directory, d), root) + "/"] = None
        for name in files:
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                tree[os.path.relpath(path, root)] = (f.read(), int(os.stat(path).st_mtime))
    return tree


class Case:
    def __init__(self, options, name):
        self.options = options
        self.run_as = RunAs(options.as_user)
        self.scratch = None
        work = options.work
        if self.run_as.switches():
            os.makedirs(work, exist_ok=True)
            if not self.run_as.can_reach(work):
                # The build tree lies where the user may not go (a home
                # closed to others): a folder of its own in /tmp instead.
                work = self.scratch = tempfile.mkdtemp(prefix="setup-blackbox-", dir="/tmp")
                os.chmod(work, 0o755)
        self.root = os.path.join(work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        for sub in ("program", "home", "tmp", "cwd", "bin", "source"):
            os.makedirs(os.path.join(self.root, sub))
        self.program_dir = os.path.join(self.root, "program")
        self.home = os.path.join(self.root, "home")
        self.tmp = os.path.join(self.root, "tmp")
        self.cwd = os.path.join(self.root, "cwd")
        self.opened_log = os.path.join(self.root, "opened.log")
        shutil.copy2(options.setup, os.path.join(self.program_dir, "setup"))
        # A stand-in for the desktop's opener: records what it was asked to open.
        opener = os.path.join(self.root, "bin", "xdg-open")
        with open(opener, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % self.opened_log)
        os.chmod(opener, 0o755)
        self.probe = options.probe
        if self.run_as.switches():
            # The module is loaded by the user's process; the build tree
            # may be closed to it.
            os.makedirs(os.path.join(self.root, "lib"))
            self.probe = os.path.join(self.root, "lib", os.path.basename(options.probe))
            shutil.copy2(options.probe, self.probe)
        self.process = None
        self.probed_uids = False
        self.socket_path = os.path.join(self.root, "probe.sock")
        self.en = load_texts(options.texts, "en")
        self.ru = load_texts(options.texts, "ru")

    # --- the kit and the settings -------------------------------------
    def make_kit(self, files, describe=(), mtime=KIT_TIME):
        source = os.path.join(self.root, "source")
        write_tree(source, files, mtime)
        command = [self.options.mkkit, "pack", "-o", self.kit_path()]
        for d in describe:
            command += ["--describe", *d]
        command.append(source)
        result = subprocess.run(command, capture_output=True, text=True)
        check(result.returncode == 0, "mkkit failed: " + result.stderr)

    def kit_path(self):
        return os.path.join(self.program_dir, "brvx.bkd")

    def settings_path(self):
        return os.path.join(self.home, ".Tarn", "tarnlaunch", "tarnlaunch.cfg")

    def configure_target(self, target):
        os.makedirs(os.path.dirname(self.settings_path()), exist_ok=True)
        with open(self.settings_path(), "w") as f:
            f.write("ConfigurationTemplatesLocation=%s\n" % target)

    def read_settings(self):
        if not os.path.exists(self.settings_path()):
            return None
        with open(self.settings_path(), encoding="utf-8") as f:
            return f.read()

    # --- the program ----------------------------------------------------
    def hand_over(self, env):
        """Gives the user its folders (HOME, TMPDIR, targets, the folder for
        the probe's socket and the opener's log), as an end user has them.
        The program's copy, the kit, the opener and the probe module stay
        the driver's, readable by all, like an installed program. Drops
        what names the driver's own session and gives the user a copy of
        the display's cookie where the server wants one."""
        kept = {"program", "bin", "lib"}
        # mkkit writes the kit for its owner and group only; a shipped kit
        # is readable by all.
        if os.path.exists(self.kit_path()):
            os.chmod(self.kit_path(), 0o644)
        os.chown(self.root, self.run_as.uid, self.run_as.gid)
        for name in os.listdir(self.root):
            if name not in kept:
                self.run_as.give(os.path.join(self.root, name))
        for name in ("XAUTHORITY", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS",
                     "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"):
            env.pop(name, None)
        env.update(USER=self.run_as.name, LOGNAME=self.run_as.name)
        xauth = find_tool("xauth")
        if xauth and "DISPLAY" in env:
            cookie = subprocess.run([xauth, "extract", "-", env["DISPLAY"]],
                                    capture_output=True).stdout
            if cookie:
                path = os.path.join(self.root, "xauthority")
                result = subprocess.run([xauth, "-f", path, "merge", "-"], input=cookie,
                                        capture_output=True)
                check(result.returncode == 0, "xauth merge failed: %r" % result.stderr)
                os.chown(path, self.run_as.uid, self.run_as.gid)
                env["XAUTHORITY"] = path

    def start(self, arguments=(), lang="en_US.UTF-8", probe=True, display=True, terminal=False,
              reader_gone=False, trace=None):
        """Without display the program runs with no DISPLAY at all, and its
        standard output and error are kept apart (stderr on a terminal of
        its own with terminal, or a pipe nobody reads any more with
        reader_gone) for stdout() and stderr()."""
        env = dict(os.environ)
        for name in ("LC_ALL", "LANGUAGE", "LC_MESSAGES", "GTK_MODULES"):
            env.pop(name, None)
        env.update(HOME=self.home, TMPDIR=self.tmp, LANG=lang,
                   PATH=os.path.join(self.root, "bin") + ":" + env.get("PATH", ""))
        if display:
            if probe:
                env["GTK_MODULES"] = self.probe
                env["SETUP_TEST_PROBE"] = self.socket_path
            check("DISPLAY" in env,
                  "no DISPLAY: these tests need an X server (scripts/test starts one)")
        else:
            for name in ("DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY"):
                env.pop(name, None)
        if self.run_as.switches():
            self.hand_over(env)
        self.log = open(os.path.join(self.root, "setup.log"), "w")
        stdout, stderr = self.log, subprocess.STDOUT
        self.terminal = None
        if not display:
            stdout = open(os.path.join(self.root, "setup.out"), "w")
            stderr = open(os.path.join(self.root, "setup.err"), "w")
            if terminal:
                self.terminal = Terminal()
                stderr = self.terminal.slave
            elif reader_gone:
                read_end, write_end = os.pipe()
                os.close(read_end)
                stderr = os.fdopen(write_end, "wb")
        self.started = time.monotonic()
        program = [os.path.join(self.program_dir, "setup"), *arguments]
        if trace:
            # Every call that makes or replaces a process, the program's own
            # start included, as the user the program runs as.
            program = [find_tool("strace"), "-f", "-qq", "-o", trace, "-e", "trace=process",
                       *program]
        command = self.run_as.command(program, env)
        # A switch through runuser leaves the program a child of runuser:
        # its own session lets stop() end both.
        self.process = subprocess.Popen(command, cwd=self.cwd, env=env, stdout=stdout,
                                        stderr=stderr, stdin=subprocess.DEVNULL,
                                        start_new_session=self.run_as.switches())
        if self.terminal:
            self.terminal.started()

    def stdout(self):
        with open(os.path.join(self.root, "setup.out"), encoding="utf-8") as f:
            return f.read()

    def stderr(self):
        if self.terminal:
            return self.terminal.text()
        with open(os.path.join(self.root, "setup.err"), encoding="utf-8") as f:
            return f.read()

    def snapshot(self):
        snap = probe_client.snapshot(self.socket_path)
        if snap is not None and not self.probed_uids:
            # The probe answers from inside the program: it runs as the user.
            uids = process_uids(int(snap["pid"]))
            if uids is not None:
                check(uids == [self.run_as.uid] * 4, "setup runs with uids %s, expected %d (%s)"
                      % (uids, self.run_as.uid, self.run_as.name))
                self.probed_uids = True
        return snap

    def wait_for(self, what, find, limit=WAIT_LIMIT):
        """Polls the windows until find(snapshot) gives something."""
        deadline = time.monotonic() + limit
        last = None
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Failure("setup ended with status %s while waiting for %s; last windows: %s"
                              % (self.process.returncode, what, describe(last)))
            snap = self.snapshot()
            if snap is not None:
                last = snap
                found = find(snap)
                if found:
                    return found
            time.sleep(0.05)
        raise Failure("no %s within %.0f s; windows seen: %s" % (what, limit, describe(last)))

    def wait_for_exit(self, expected=0, limit=EXIT_LIMIT):
        try:
            status = self.process.wait(limit)
        except subprocess.TimeoutExpired:
            self.stop()
            raise Failure("setup did not end within %.0f s" % limit)
        check(status == expected, "setup ended with status %d, expected %d (see %s)"
              % (status, expected, self.root))

    def stop(self):
        if self.process and self.process.poll() is None:
            if self.run_as.switches():
                # runuser passes SIGTERM on and reaps the program; a killed
                # runuser would leave it to init.
                os.killpg(self.process.pid, signal.SIGTERM)
                try:
                    self.process.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(self.process.pid, signal.SIGKILL)
            else:
                self.process.kill()
            self.process.wait()

    def send_signal(self, number):
        """To the program; through runuser to its whole session."""
        if self.run_as.switches():
            os.killpg(self.process.pid, number)
        else:
            self.process.send_signal(number)

    def wait_for_copying(self):
        """Until the installation's backup directory appears in TMPDIR beside
        its journal: the journal names both directories by then, and the run
        is copying. (A journal alone may not have recorded anything yet.)"""
        deadline = time.monotonic() + WAIT_LIMIT
        while time.monotonic() < deadline:
            names = os.listdir(self.tmp)
            if [n for n in names if n + ".journal" in names
                    and os.path.isdir(os.path.join(self.tmp, n))]:
                return
            check(self.process.poll() is None,
                  "setup ended with status %s before it copied" % self.process.returncode)
            time.sleep(0.005)
        raise Failure("no backup directory appeared in TMPDIR: %s" % os.listdir(self.tmp))

    # --- reading windows --------------------------------------------------
    def main_window(self, snap):
        return probe_client.wizard_window(snap)

    def message_box(self, snap):
        for w in snap["windows"]:
            if w["kind"] == "message":
                return w
        return None

    def wait_for_page(self, what, label_text):
        """The main window once one of its labels reads label_text."""
        def find(snap):
            w = self.main_window(snap)
            return w if w and any(x.get("text") == label_text for x in labels(w)) else None
        return self.wait_for(what, find)

    def wait_for_message(self, what):
        return self.wait_for(what, self.message_box)

    # --- input ------------------------------------------------------------
    def keys(self, window, *keys):
        xdotool("windowfocus", "--sync", str(int(window["xid"])))
        xdotool("key", "--clearmodifiers", *keys)

    def click(self, window, widget):
        # A widget that was just shown may not have its place yet.
        def placed(snap):
            for w in snap["windows"]:
                if w["xid"] != window["xid"]:
                    continue
                for x in w["widgets"]:
                    if (x["type"] == widget["type"] and x.get("label") == widget.get("label")
                            and x["width"] > 1 and x["height"] > 1 and x["x"] >= 0):
                        return x
            return None
        widget = self.wait_for("%s %r in its place" % (widget["type"], widget.get("label")),
                               placed)
        x = int(widget["x"] + widget["width"] / 2)
        y = int(widget["y"] + widget["height"] / 2)
        # From outside the window in, so that the widget sees the pointer
        # enter even when it was mapped right under a resting pointer.
        xdotool("mousemove", "--sync", "1023", "767")
        xdotool("mousemove", "--window", str(int(window["xid"])), str(x), str(y), "click", "1")

    def close_request(self, window):
        subprocess.run([self.options.close_request, str(int(window["xid"]))], check=True)

    # --- what is left behind ----------------------------------------------
    def check_no_leftovers(self):
        names = os.listdir(self.tmp)
        check(not [n for n in names if n.startswith("bdk")], "work file left in TMPDIR: %s" % names)
        check(not [n for n in names if n.startswith("brstp")],
              "backup directory left in TMPDIR: %s" % names)

    def check_owned(self, path):
        """A file the program made belongs to the user it ran as."""
        owner = os.stat(path).st_uid
        check(owner == self.run_as.uid, "%s belongs to uid %d, expected %d (%s)"
              % (path, owner, self.run_as.uid, self.run_as.name))

    def opened(self):
        if not os.path.exists(self.opened_log):
            return []
        with open(self.opened_log, encoding="utf-8") as f:
            return f.read().splitlines()


class Terminal:
    """A pseudo-terminal for the program's standard error; a thread reads
    everything the program writes to it."""

    def __init__(self):
        self.master, slave = pty.openpty()
        self.slave = os.fdopen(slave, "wb", buffering=0)
        self.data = b""
        self.reader = threading.Thread(target=self._read, daemon=True)

    def started(self):
        # The program holds its own copy; ours would keep the terminal open.
        self.slave.close()
        self.reader.start()

    def _read(self):
        while True:
            try:
                chunk = os.read(self.master, 4096)
            except OSError:  # EIO once the last writer has closed it
                break
            if not chunk:
                break
            self.data += chunk

    def text(self):
        self.reader.join(10)
        return self.data.decode("utf-8")


def xdotool(*arguments):
    result = subprocess.run(["xdotool", *arguments], capture_output=True, text=True, timeout=20)
    check(result.returncode == 0, "xdotool %s failed: %s" % (" ".join(arguments), result.stderr))
    return result.stdout


def labels(window):
    return [w for w in window["widgets"] if w["type"] == "GtkLabel"]


def button(window, label):
    for w in window["widgets"]:
        if w.get("label") == label:
            return w
    raise Failure("no button %r in window %r: %s" % (label, window["title"], describe_window(window)))


def describe_window(w):
    texts = [x.get("text") or x.get("label") for x in w["widgets"]
             if x.get("text") or x.get("label")]
    return "%s %r (%dx%d) %s" % (w["kind"], w["title"], w["width"], w["height"], texts)


def describe(snap):
    if not snap:
        return "none (the probe did not answer)"
    return "; ".join(describe_window(w) for w in snap["windows"]) or "no visible window"


def check_x_title(window, title):
    name = xdotool("getwindowname", str(int(window["xid"]))).rstrip("\n")
    check(name == title, "X window title %r, expected %r" % (name, title))


# --- the cases ------------------------------------------------------------

SAMPLE = {
    "templates/order.tmpl": "order template\n",
    "templates/invoice.tmpl": "invoice template\n",
    "readme.txt": "sample\n",
}
# A link that would run a command if the shell saw it unquoted.
TRICKY_LINK = "$(touch hacked).html"


def interactive_success(case, ending):
    """ending: "finish", "cleared" (the description box cleared, then
    Finish) or "escape" (Escape and Yes on the success page: the
    installation stays, so the status is still 0)."""
    files = dict(SAMPLE)
    files[TRICKY_LINK] = "<html>description</html>\n"
    case.make_kit(files, describe=[("en", "Demo Templates", "Example Vendor", TRICKY_LINK)])
    case.start()
    t = case.en
    welcome = "%s Demo Templates (Example Vendor)." % t["IDS_WELCOME_TITLE"]
    w = case.wait_for_page("welcome page", welcome)
    check(w["title"] == t["IDR_MAINFRAME"], "window title %r" % w["title"])
    check_x_title(w, t["IDR_MAINFRAME"])
    check((w["width"], w["height"]) == (500, 360), "window size %dx%d" % (w["width"], w["height"]))
    case.keys(w, "Return")
    w = case.wait_for_page("destination page", t["IDS_DESTINATION_PROMPT"])
    entry = [x for x in w["widgets"] if x["type"] == "GtkEntry"][0]
    target = entry["text"]
    check(target.startswith(case.home + "/"), "proposed directory %r is not under HOME" % target)
    case.keys(w, "Return")
    w = case.wait_for_page("success page", t["IDS_SUCCESS_FINISH"])
    box = button(w, t["IDS_SUCCESS_OPENDESCR"])
    check(box["active"], "the description box starts cleared")
    finish = button(w, t["IDS_WIZARD_FINISH"])
    if ending == "cleared":
        case.click(w, box)
        case.wait_for("cleared box", lambda s: case.main_window(s) and not button(
            case.main_window(s), t["IDS_SUCCESS_OPENDESCR"])["active"])
        case.click(w, finish)  # Return would toggle the focused box again
    elif ending == "escape":
        case.keys(w, "Escape")
        question = case.wait_for_message("cancel question on the success page")
        check(question["text"] == t["IDS_ACCEPT_CANCEL"], "question %r" % question["text"])
        case.click(question, button(question, "gtk-yes"))
    else:
        case.keys(w, "Return")
    case.wait_for_exit(0)

    installed = read_tree(target)
    for name, text in files.items():
        check(installed.get(name, (None,))[0] == text.encode(), "%s not installed" % name)
        check(installed[name][1] == KIT_TIME, "%s has time %d" % (name, installed[name][1]))
        case.check_owned(os.path.join(target, name))
    settings = case.read_settings() or ""
    check("ConfigurationTemplatesLocation=%s\n" % target.rstrip("/") in settings,
          "settings file does not list %s first: %r" % (target, settings))
    case.check_no_leftovers()
    check(not os.path.exists(os.path.join(case.cwd, "hacked")) and
          not os.path.exists(os.path.join(target, "hacked")), "the link ran a command")
    expected = [] if ending != "finish" else [os.path.join(target.rstrip("/"), TRICKY_LINK)]
    check(case.opened() == expected, "opened %r, expected %r" % (case.opened(), expected))


def startup_failure(case, damage):
    if damage:
        with open(case.kit_path(), "wb") as f:
            f.write(b"this is not a deflate stream" * 40)
        key = "IDS_ERROR_DAMAGEDSOURCE"
    else:
        key = "IDS_ERROR_NOSOURCE"
    case.start()
    box = case.wait_for_message("error box")
    snap = case.snapshot()
    check(case.main_window(snap) is None, "the wizard window opened after a failed startup")
    check(box["title"] == case.en["IDR_MAINFRAME"], "box title %r" % box["title"])
    check(box["text"] == case.en[key], "box text %r, expected %r" % (box["text"], case.en[key]))
    check(box["message_type"] == "error", "box type %s" % box["message_type"])
    case.keys(box, "Return")
    case.wait_for_exit(1)
    case.check_no_leftovers()
    check(case.read_settings() is None, "settings written after a failed startup")


def prepare_failing_target(case, replaced=0):
    """A target in which the last entry cannot be written: "sub" is a file.
    Every entry before it replaces an older file, which the rollback must
    bring back."""
    target = os.path.join(case.root, "target")
    old = {"f%03d.txt" % i: "old %d\n" % i for i in range(replaced)}
    old.update({"a.txt": "old a\n", "sub": "a file where the kit has a folder\n"})
    write_tree(target, old, OLD_TIME)
    new = {name: "new\n" for name in old if name != "sub"}
    new.update({"b.txt": "new b\n", "sub/c.txt": "new c\n"})
    case.make_kit(new)
    case.configure_target(target)
    return target


def failing_install(case):
    # Enough files that the rollback still runs when Finish is pressed: the
    # program must not end before it is done.
    target = prepare_failing_target(case, replaced=300)
    before = read_tree(target)
    settings_before = case.read_settings()
    t = case.en
    case.start()
    w = case.wait_for_page("welcome page", "%s %s (%s)." % (
        t["IDS_WELCOME_TITLE"], t["IDS_DEFPRODUCT"], t["IDS_DEFPROVIDER"]))
    case.keys(w, "Return")
    w = case.wait_for_page("destination page", t["IDS_DESTINATION_PROMPT"])
    case.keys(w, "Return")
    box = case.wait_for_message("installation error box")
    check(box["title"] == t["IDR_MAINFRAME"], "box title %r" % box["title"])
    check(box["text"] == t["IDS_INSTALL_ERROR"], "box text %r" % box["text"])
    check(box["message_type"] == "error", "box type %s" % box["message_type"])
    case.keys(box, "Return")
    w = case.wait_for_page("error page", t["IDS_ERROR_FINISH"])
    case.keys(w, "Return")
    case.wait_for_exit(2)
    check(read_tree(target) == before, "the template directory was not restored")
    check(case.read_settings() == settings_before, "settings changed after a failed install")
    case.check_no_leftovers()


def prepare_slow_target(case, count=3000):
    """Every file replaces an older one, so each costs a move to the backup.
    The copying must outlast the keys sent once the progress page shows;
    without a shell per file it is fast, so the files are many and not tiny."""
    target = os.path.join(case.root, "target")
    names = {"f%04d.txt" % i: "old %d\n" % i for i in range(count)}
    write_tree(target, names, OLD_TIME)
    case.make_kit({n: ("new %s\n" % n) * 512 for n in names})
    case.configure_target(target)
    return target


def interrupt_copying(case, how):
    target = prepare_slow_target(case)
    before = read_tree(target)
    settings_before = case.read_settings()
    t = case.en
    case.start()
    w = case.wait_for_page("welcome page", "%s %s (%s)." % (
        t["IDS_WELCOME_TITLE"], t["IDS_DEFPRODUCT"], t["IDS_DEFPROVIDER"]))
    case.keys(w, "Return")
    w = case.wait_for_page("destination page", t["IDS_DESTINATION_PROMPT"])
    case.keys(w, "Return")
    w = case.wait_for_page("progress page", t["IDS_PROGRESS_START"])
    if how == "escape":
        case.keys(w, "Escape")
    elif how == "button":
        case.click(w, button(w, t["IDS_WIZARD_CANCEL"]))
    else:
        case.close_request(w)
    # No question and no error box: straight to the error page.
    seen_box = []

    def error_page(snap):
        if case.message_box(snap):
            seen_box.append(case.message_box(snap))
        m = case.main_window(snap)
        return m if m and any(x.get("text") == t["IDS_ERROR_FINISH"] for x in labels(m)) else None
    w = case.wait_for("error page after the cancel", error_page)
    if seen_box:
        raise Failure("a message box appeared on cancel: %s" % describe_window(seen_box[0]))
    case.keys(w, "Return")
    case.wait_for_exit(3)
    check(read_tree(target) == before, "the template directory was not restored after the cancel")
    check(case.read_settings() == settings_before, "settings changed after a cancel")
    case.check_no_leftovers()


def silent_success(case):
    target = os.path.join(case.root, "target")
    os.makedirs(target)
    case.configure_target(target)
    case.make_kit(SAMPLE, describe=[("en", "Demo Templates", "Example Vendor", "readme.txt")])
    # No probe and no input at all: the run must end by itself.
    case.start(["-S"], probe=False)
    case.wait_for_exit(0)
    installed = read_tree(target)
    for name, text in SAMPLE.items():
        check(installed.get(name, (None,))[0] == text.encode(), "%s not installed" % name)
        case.check_owned(os.path.join(target, name))
    check(case.read_settings() == "ConfigurationTemplatesLocation=%s\n" % target,
          "settings %r" % case.read_settings())
    check(case.opened() == [], "silent mode opened %r" % case.opened())
    case.check_no_leftovers()


def russian_run(case):
    case.make_kit(SAMPLE, describe=[("en", "Demo Templates", "Example Vendor", "readme.txt"),
                                    ("ru", "Демо-шаблоны", "Пример", "readme.txt")])
    case.start(lang="ru_RU.UTF-8")
    t = case.ru
    check(t["IDR_MAINFRAME"] == RU_TITLE, "Russian catalogue title %r" % t["IDR_MAINFRAME"])
    w = case.wait_for_page("Russian welcome page",
                           "%s Демо-шаблоны (Пример)." % t["IDS_WELCOME_TITLE"])
    check(w["title"] == RU_TITLE, "window title %r" % w["title"])
    check_x_title(w, RU_TITLE)
    xdotool("search", "--sync", "--onlyvisible", "--name", "^%s$" % RU_TITLE)
    button(w, t["IDS_WIZARD_NEXT"])
    case.keys(w, "Escape")
    box = case.wait_for_message("cancel question")
    check(box["title"] == RU_TITLE, "question title %r" % box["title"])
    check(box["text"] == t["IDS_ACCEPT_CANCEL"], "question text %r" % box["text"])
    check(box["message_type"] == "question", "box type %s" % box["message_type"])
    case.click(box, button(box, "gtk-yes"))
    case.wait_for_exit(3)
    check(case.read_settings() is None, "settings written after a cancelled wizard")
    case.check_no_leftovers()


# --- without a display ------------------------------------------------------

PROGRESS_FRAME = re.compile(r"^\[[#-]{20}\] +(\d+)%(?:  (.*?))? *$")


def check_streams(case, stderr, stdout=""):
    got = case.stderr(), case.stdout()
    check(got[0] == stderr, "standard error %r, expected %r" % (got[0], stderr))
    check(got[1] == stdout, "standard output %r, expected %r" % (got[1], stdout))


def headless_success(case):
    target = os.path.join(case.root, "target")
    os.makedirs(target)
    case.configure_target(target)
    case.make_kit(SAMPLE, describe=[("en", "Demo Templates", "Example Vendor", "readme.txt")])
    case.start(["-S"], display=False)
    case.wait_for_exit(0)
    installed = read_tree(target)
    for name, text in SAMPLE.items():
        check(installed.get(name, (None,))[0] == text.encode(), "%s not installed" % name)
        check(installed[name][1] == KIT_TIME, "%s has time %d" % (name, installed[name][1]))
        case.check_owned(os.path.join(target, name))
    check(case.read_settings() == "ConfigurationTemplatesLocation=%s\n" % target,
          "settings %r" % case.read_settings())
    check(case.opened() == [], "the description was opened: %r" % case.opened())
    case.check_no_leftovers()
    # Not a terminal: no progress, only the final page's text.
    check_streams(case, case.en["IDS_SUCCESS_FINISH"] + "\n")


def headless_terminal(case):
    """Standard error on a terminal, in Russian: one line redrawn in place
    with the bar, the percentage and the file, then the final text."""
    target = prepare_slow_target(case, count=300)
    case.start(["-S"], lang="ru_RU.UTF-8", display=False, terminal=True)
    case.wait_for_exit(0)
    check(all(v[0].startswith(b"new ") for k, v in read_tree(target).items() if v),
          "not every file was replaced")
    text = case.stderr()
    final = case.ru["IDS_SUCCESS_FINISH"] + "\r\n"  # the terminal turns "\n" into "\r\n"
    check(text.endswith("\r" + final), "the output does not end with the final text: %r"
          % text[-200:])
    frames = text[:-len(final)].split("\r")
    check(frames[0] == "", "the output does not start with a carriage return: %r" % text[:80])
    frames = [f for f in frames[1:] if f.strip()]
    check(len(frames) >= 2, "%d progress lines: %r" % (len(frames), text[:300]))
    percentages, named = [], 0
    for frame in frames:
        m = PROGRESS_FRAME.match(frame)
        check(m, "not a progress line: %r" % frame)
        check(len(frame) < 80, "a progress line of %d columns would wrap" % len(frame))
        percentages.append(int(m.group(1)))
        shown = (m.group(2) or "").lstrip(".")
        named += bool(re.search(r"f\d{4}\.txt$", shown))
    check(percentages == sorted(percentages), "the percentage went back: %s" % percentages)
    check(percentages[-1] == 100 and named > 0, "percentages %s, %d lines named a file"
          % (percentages, named))
    case.check_no_leftovers()


def headless_starts_no_process(case):
    """A silent run, startup and an installation that replaces files and
    makes new ones, counted under strace: one execve (the program's own
    start), no fork, no vfork, no clone of a process (threads only)."""
    target = os.path.join(case.root, "target")
    write_tree(target, {"templates/order.tmpl": "old\n", "readme.txt": "old\n"}, OLD_TIME)
    case.configure_target(target)
    case.make_kit(SAMPLE)
    check(find_tool("strace"), "strace is not installed")
    traces = os.path.join(case.root, "trace")
    os.makedirs(traces)
    os.chown(traces, case.run_as.uid, case.run_as.gid)
    trace = os.path.join(traces, "calls")
    case.start(["-S"], display=False, trace=trace)
    case.wait_for_exit(0)
    check(read_tree(target)["readme.txt"][0] == b"sample\n", "readme.txt not replaced")
    with open(trace) as f:
        calls = [line.split(" ", 1)[1].strip() for line in f if " " in line]
    execs = [c for c in calls if c.startswith("execve(")]
    started = [c for c in calls if c.startswith(("fork(", "vfork(")) or
               (c.startswith(("clone(", "clone3(")) and "CLONE_THREAD" not in c)]
    check(len(execs) == 1, "programs run: %s" % execs)
    check(started == [], "processes started: %s" % started)
    case.check_no_leftovers()


def headless_refusals(case):
    """Missing and damaged kit, in English and in Russian, and a kit whose
    checksums do not hold: the refusal on standard error, status 1, nothing
    written, TMPDIR left empty."""
    for damage in (False, True):
        for lang, texts in (("en_US.UTF-8", case.en), ("ru_RU.UTF-8", case.ru)):
            if damage:
                with open(case.kit_path(), "wb") as f:
                    f.write(b"this is not a deflate stream" * 40)
            key = "IDS_ERROR_DAMAGEDSOURCE" if damage else "IDS_ERROR_NOSOURCE"
            case.start(["-S"], lang=lang, display=False)
            case.wait_for_exit(1)
            check_streams(case, texts[key] + "\n")
            check(os.listdir(case.tmp) == [], "TMPDIR holds %s" % os.listdir(case.tmp))
            check(read_tree(case.home) == {}, "HOME holds %s" % sorted(read_tree(case.home)))
    # A kit from mkkit with one bit of a file flipped: a sound deflate
    # stream, which its checksums refuse.
    case.make_kit(SAMPLE)
    with open(case.kit_path(), "rb") as f:
        work = bytearray(zlib.decompress(f.read(), -15))
    work[work.rindex(b"invoice template")] ^= 1
    with open(case.kit_path(), "wb") as f:
        f.write(zlib.compress(bytes(work))[2:-4])
    case.start(["-S"], display=False)
    case.wait_for_exit(1)
    check_streams(case, case.en["IDS_ERROR_DAMAGEDSOURCE"] + "\n")
    check(os.listdir(case.tmp) == [], "TMPDIR holds %s" % os.listdir(case.tmp))
    check(read_tree(case.home) == {}, "HOME holds %s" % sorted(read_tree(case.home)))


def headless_failing_install(case):
    """The texts on standard error; then once more with nobody reading it:
    the lost texts must not stop the rollback."""
    target = prepare_failing_target(case, replaced=300)
    before, settings_before = read_tree(target), case.read_settings()
    for reader_gone in (False, True):
        case.start(["-S"], display=False, reader_gone=reader_gone)
        case.wait_for_exit(2)
        check(read_tree(target) == before, "the template directory was not restored")
        check(case.read_settings() == settings_before, "settings changed after a failed install")
        case.check_no_leftovers()
        if not reader_gone:
            check_streams(case, case.en["IDS_INSTALL_ERROR"] + "\n" +
                          case.en["IDS_ERROR_FINISH"] + "\n")


def no_display_interactive(case):
    case.make_kit(SAMPLE)
    case.start(display=False)
    case.wait_for_exit(1)
    check_streams(case, case.en["IDS_ERROR_NODISPLAY"] + "\n")
    check(os.listdir(case.tmp) == [], "TMPDIR holds %s" % os.listdir(case.tmp))
    check(read_tree(case.home) == {}, "HOME holds %s" % sorted(read_tree(case.home)))


def usage(case):
    """--help after the language option still counts; the usage is Russian."""
    case.start(["-Lru", "--help"], display=False)
    case.wait_for_exit(0)
    t = case.ru
    codes = " ru uk en lv lt bg de ro ka kk vi tr"
    lines = case.stdout().split("\n")
    expected_starts = [
        (t["IDS_USAGE"] + " setup [usecwd] [-S] [-Lxx]", ""),
        ("  usecwd      ", t["IDS_USAGE_USECWD"]),
        ("  -S, /S      ", t["IDS_USAGE_SILENT"]),
        ("  -Lxx, /Lxx  ", t["IDS_USAGE_LANGUAGE"] + codes),
        ("  --help      ", t["IDS_USAGE_HELP"]),
        (t["IDS_USAGE_EXITSTATUS"], ""),
        ("  0  ", t["IDS_EXIT_INSTALLED"]),
        ("  1  ", t["IDS_EXIT_NOTSTARTED"]),
        ("  2  ", t["IDS_EXIT_FAILED"]),
        ("  3  ", t["IDS_EXIT_CANCELLED"]),
        ("", ""),
    ]
    check([a + b for a, b in expected_starts] == lines, "usage %r" % lines)
    check(case.stderr() == "", "standard error %r" % case.stderr())
    check(read_tree(case.home) == {} and os.listdir(case.tmp) == [], "--help wrote files")


def prepare_long_copy(case):
    """Large files that replace older ones, so that copying lasts a while."""
    target = os.path.join(case.root, "target")
    names = ["big%d.bin" % i for i in range(8)]
    write_tree(target, {n: "old %s\n" % n for n in names}, OLD_TIME)
    case.make_kit({n: "\0" * (32 << 20) for n in names})
    case.configure_target(target)
    return target


def headless_signals(case):
    """SIGTERM, SIGINT and SIGHUP while copying act as Cancel: status 3, the
    directory put back, the cancel text, nothing left in TMPDIR."""
    target = prepare_long_copy(case)
    before, settings_before = read_tree(target), case.read_settings()
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        case.start(["-S"], display=False)
        case.wait_for_copying()
        case.send_signal(number)
        try:
            case.wait_for_exit(3)
        except Failure as failure:
            raise Failure("after %s: %s" % (number.name, failure))
        after = read_tree(target)
        check(after == before, "not restored after %s: %s" % (number.name, sorted(
            (n, after.get(n, (None,))[0][:8] if after.get(n) else None, before.get(n))
            for n in set(after) ^ set(before) | {n for n in after if after[n] != before.get(n)})))
        check(case.read_settings() == settings_before, "settings changed after %s" % number.name)
        case.check_no_leftovers()
        check_streams(case, case.en["IDS_CANCEL_FINISH"] + "\n")


def killed_run_recovered(case):
    """A silent run killed while it copies; the next start puts the directory
    back, says so, and then installs the kit, or with the kit gone ends with
    status 1, leaving TMPDIR empty."""
    target = prepare_long_copy(case)
    before = read_tree(target)
    undone = "%s %s/\n" % (case.en["IDS_INTERRUPTED_UNDONE"], target)
    kit = open(case.kit_path(), "rb").read()
    for kit_stays in (False, True):
        with open(case.kit_path(), "wb") as f:
            f.write(kit)
        case.start(["-S"], display=False)
        case.wait_for_copying()
        case.send_signal(signal.SIGKILL)
        case.process.wait(EXIT_LIMIT)
        check(os.listdir(case.tmp), "the killed run left nothing behind")
        if not kit_stays:
            os.remove(case.kit_path())
        case.start(["-S"], display=False)
        case.wait_for_exit(0 if kit_stays else 1)
        case.check_no_leftovers()
        check(os.listdir(case.tmp) == [], "TMPDIR holds %s" % os.listdir(case.tmp))
        if kit_stays:
            check(read_tree(target)["big0.bin"][0] == b"\0" * (32 << 20), "kit not installed")
            check_streams(case, undone + case.en["IDS_SUCCESS_FINISH"] + "\n")
        else:
            check(read_tree(target) == before, "the template directory was not put back")
            check_streams(case, undone + case.en["IDS_ERROR_NOSOURCE"] + "\n")


def wizard_signals(case):
    """In the wizard: SIGTERM while copying cancels, and the run ends by
    itself after the rollback (status 3); SIGINT on the welcome page closes
    the window at once (status 3)."""
    target = prepare_long_copy(case)
    before = read_tree(target)
    t = case.en
    welcome = "%s %s (%s)." % (t["IDS_WELCOME_TITLE"], t["IDS_DEFPRODUCT"], t["IDS_DEFPROVIDER"])
    case.start()
    w = case.wait_for_page("welcome page", welcome)
    case.keys(w, "Return")
    w = case.wait_for_page("destination page", t["IDS_DESTINATION_PROMPT"])
    case.keys(w, "Return")
    case.wait_for_copying()
    case.send_signal(signal.SIGTERM)
    case.wait_for_exit(3)
    check(read_tree(target) == before, "not restored after SIGTERM in the wizard")
    case.check_no_leftovers()

    case.start()
    case.wait_for_page("welcome page", welcome)
    case.send_signal(signal.SIGINT)
    case.wait_for_exit(3)
    check(read_tree(target) == before, "changed by a run that never copied")
    case.check_no_leftovers()
    check(os.listdir(case.tmp) == [], "TMPDIR holds %s" % os.listdir(case.tmp))


CASES = {
    "interactive_success": lambda c: interactive_success(c, "finish"),
    "success_box_cleared": lambda c: interactive_success(c, "cleared"),
    "success_escape_yes": lambda c: interactive_success(c, "escape"),
    "missing_kit": lambda c: startup_failure(c, damage=False),
    "damaged_kit": lambda c: startup_failure(c, damage=True),
    "failing_install": failing_install,
    "cancel_by_escape": lambda c: interrupt_copying(c, "escape"),
    "cancel_by_button": lambda c: interrupt_copying(c, "button"),
    "close_during_copying": lambda c: interrupt_copying(c, "close"),
    "silent_success": silent_success,
    "russian_run": russian_run,
    "headless_success": headless_success,
    "headless_terminal": headless_terminal,
    "headless_refusals": headless_refusals,
    "headless_starts_no_process": headless_starts_no_process,
    "headless_failing_install": headless_failing_install,
    "no_display_interactive": no_display_interactive,
    "usage": usage,
    "headless_signals": headless_signals,
    "killed_run_recovered": killed_run_recovered,
    "wizard_signals": wizard_signals,
}


def main():
    parser = argparse.ArgumentParser()
    for name in ("case", "setup", "mkkit", "probe", "close-request", "texts", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--as-user")
    options = parser.parse_args()
    case = None
    try:
        case = Case(options, options.case)
        CASES[options.case](case)
    except Failure as failure:
        print("FAILED %s: %s" % (options.case, failure))
        return 1
    finally:
        if case:
            case.stop()
    print("passed %s%s" % (options.case, " as %s" % case.run_as.name if options.as_user else ""))
    shutil.rmtree(case.scratch or case.root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
