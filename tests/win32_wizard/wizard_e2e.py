#!/usr/bin/env python3
"""End-to-end runs of the real Windows setup.exe under Wine on an X server.

Each case puts the program beside a kit made with mkkit in a folder of its
own, resets the launcher settings and the temporary folder of the Wine user,
runs the program, reads its windows through window_probe and drives it with
X keyboard and mouse events (xdotool). It then checks what is left behind:
the template directory, the settings file under the user's roaming
application data, what was opened as description, and no work file or
backup directory in the temporary folder.

Usage: wizard_e2e.py --case NAME --setup EXE --probe EXE --recorder EXE
                     --mkkit PATH --texts DIR --prefix DIR --work DIR
"""
import argparse
import fcntl
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_driver import (BACK, CANCEL, FINISH, HELP, IDNO, IDOK, IDYES, NEXT, TEXT_ID,  # noqa: E402
                          Failure, WineDriver, check, clean_dir, windows_path)

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
OLD_TIME = 1000000000  # 2001, older than anything a kit holds
KIT_TIME = 1600000000
# Description files open with the recorder, which the prefix knows as the
# handler of this extension.
DESCRIPTION_EXTENSION = ".tdesc"


def load_texts(directory, code):
    texts = {}
    with open(os.path.join(directory, code + ".tsv"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#") and "\t" in line:
                key, text = line.split("\t", 1)
                texts[key] = text
    return texts


def write_tree(root, files, mtime=KIT_TIME):
    """files: relative path ("/" separated) -> text."""
    for name, text in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.utime(path, (mtime, mtime))


def read_tree(root):
    """Relative path -> (bytes, whole-second mtime) for files, None for folders."""
    tree = {}
    for directory, dirs, files in os.walk(root):
        for d in dirs:
            tree[os.path.relpath(os.path.join(directory, d), root) + "/"] = None
        for name in files:
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                tree[os.path.relpath(path, root)] = (f.read(), int(os.stat(path).st_mtime))
    return tree


def read_settings_file(path):
    """The settings text (UTF-16LE with its mark, else 8-bit), or None."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le")
    else:
        text = data.decode("cp1252")
    return text.replace("\r\n", "\n")


class Case:
    def __init__(self, options, name):
        self.options = options
        self.root = os.path.join(os.path.abspath(options.work), name)
        clean_dir(self.root)
        for sub in ("program", "source"):
            os.makedirs(os.path.join(self.root, sub))
        self.program = os.path.join(self.root, "program", "setup.exe")
        shutil.copy2(options.setup, self.program)
        self.wine = WineDriver(options.prefix, self.root, options.probe)
        self.en = load_texts(options.texts, "en")
        self.ru = load_texts(options.texts, "ru")
        prepare_prefix(options, self.wine)
        self.wine.start_services()
        # Every case starts without settings, scratch files or opened files.
        shutil.rmtree(os.path.join(self.wine.roaming(), "Tarn"), ignore_errors=True)
        for name in os.listdir(self.wine.temp_dir()):
            if name.startswith(("bdk", "brstp")):
                shutil.rmtree(os.path.join(self.wine.temp_dir(), name), ignore_errors=True)
                if os.path.exists(os.path.join(self.wine.temp_dir(), name)):
                    os.remove(os.path.join(self.wine.temp_dir(), name))
        if os.path.exists(self.opened_log()):
            os.remove(self.opened_log())

    def close(self):
        self.wine.stop()
        self.wine.stop_services()

    # --- the kit and the settings -------------------------------------------
    def make_kit(self, files, describe=()):
        source = os.path.join(self.root, "source")
        write_tree(source, files)
        command = [self.options.mkkit, "pack", "-o", self.kit_path()]
        for d in describe:
            command += ["--describe", *d]
        command.append(source)
        result = subprocess.run(command, capture_output=True, text=True)
        check(result.returncode == 0, "mkkit failed: " + result.stderr)

    def kit_path(self):
        return os.path.join(self.root, "program", "brvx.bkd")

    def settings_path(self):
        return os.path.join(self.wine.roaming(), "Tarn", "TarnLaunch", "tarnlaunch.cfg")

    def default_target(self):
        """The default template directory: host path and the program's form."""
        host = os.path.join(self.wine.roaming(), "Tarn", "tarn8", "tmplts")
        user = os.path.basename(self.wine.user_dir())
        return host, "C:\\users\\%s\\AppData\\Roaming\\Tarn\\tarn8\\tmplts\\" % user

    def configure_target(self, target, windows_form=None):
        """A per-user settings file (UTF-16LE, as the program writes it) that
        lists target first (by its drive Z: path unless given another)."""
        os.makedirs(os.path.dirname(self.settings_path()), exist_ok=True)
        text = "ConfigurationTemplatesLocation=%s\r\n" % (windows_form or windows_path(target))
        with open(self.settings_path(), "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))

    def read_settings(self):
        return read_settings_file(self.settings_path())

    def opened_log(self):
        return os.path.join(self.options.prefix, "drive_c", "tarn-tests", "opened.log")

    def opened(self, expected=0):
        """What the recorder was asked to open. It starts on its own after
        setup.exe has asked, so up to the expected number of lines is waited
        for; with none expected, a short while."""
        deadline = time.monotonic() + (15 if expected else 2)
        lines = []
        while time.monotonic() < deadline:
            if os.path.exists(self.opened_log()):
                with open(self.opened_log(), encoding="utf-8") as f:
                    lines = f.read().splitlines()
            if expected and len(lines) >= expected:
                break
            time.sleep(0.1)
        return lines

    def check_no_leftovers(self):
        names = os.listdir(self.wine.temp_dir())
        check(not [n for n in names if n.startswith("bdk")], "work file left in TEMP: %s" % names)
        check(not [n for n in names if n.startswith("brstp")],
              "backup directory left in TEMP: %s" % names)

    # --- the program ------------------------------------------------------
    def start(self, arguments=()):
        self.wine.start(self.program, arguments)


def prepare_prefix(options, wine):
    """The shared prefix, made once: Wine's own setup, then the recorder as
    the handler of description files."""
    os.makedirs(options.prefix, exist_ok=True)
    with open(options.prefix.rstrip("/") + ".wizard.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        subprocess.run([os.path.join(SCRIPTS, "wine-prefix"), options.prefix], check=True)
        tools = os.path.join(options.prefix, "drive_c", "tarn-tests")
        os.makedirs(tools, exist_ok=True)
        shutil.copy2(options.recorder, os.path.join(tools, "open_recorder.exe"))
        ready = os.path.join(options.prefix, ".wizard-ready")
        if os.path.exists(ready):
            return
        env = wine.env()
        command = '"C:\\tarn-tests\\open_recorder.exe" "C:\\tarn-tests\\opened.log" "%1"'
        # Under HKCR: Wine's shell does not look into the user's own classes.
        for key, value in ((r"HKCR\%s" % DESCRIPTION_EXTENSION, "TarnTestDescription"),
                           (r"HKCR\TarnTestDescription\shell\open\command", command)):
            subprocess.run(["wine", "reg", "add", key, "/ve", "/d", value, "/f"], env=env,
                           check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        open(ready, "w").close()


# --- checks of windows ------------------------------------------------------

def check_text(window, control_id, expected, what):
    c = window.require(control_id, what)
    check(c["text"] == expected, "%s reads %r, expected %r" % (what, c["text"], expected))


def check_buttons(sheet, back, next_, cancel, what):
    """Each of back, next_, cancel: "enabled", "disabled" or "hidden"."""
    for control_id, wanted, name in ((BACK, back, "Back"), (NEXT, next_, "Next"),
                                     (CANCEL, cancel, "Cancel")):
        c = sheet.control(control_id)
        state = "hidden" if not c or not c["visible"] else "enabled" if c["enabled"] else "disabled"
        check(state == wanted, "%s: %s is %s, expected %s" % (what, name, state, wanted))
    help_button = sheet.control(HELP)
    check(not help_button or not help_button["enabled"], "%s: Help is enabled" % what)


def check_finish_mode(sheet, t, what):
    check(sheet.title == t["IDS_WIZARD_FINISH"], "%s: caption %r" % (what, sheet.title))
    finish = sheet.require(FINISH, "Finish button")
    check(finish["text"] == t["IDS_WIZARD_FINISH"] and finish["enabled"],
          "%s: Finish button %r" % (what, finish["text"]))
    check_buttons(sheet, "hidden", "hidden", "disabled", what)


def check_box(box, t, key, buttons, what):
    check(box.title == t["IDR_MAINFRAME"], "%s: title %r" % (what, box.title))
    check_text(box, TEXT_ID, t[key], what + " text")
    check(box.box_buttons() == sorted(buttons), "%s: buttons %s, expected %s"
          % (what, box.box_buttons(), sorted(buttons)))


def welcome_text(t, product=None, vendor=None):
    return "%s %s (%s)." % (t["IDS_WELCOME_TITLE"], product or t["IDS_DEFPRODUCT"],
                            vendor or t["IDS_DEFPROVIDER"])


# --- the cases ----------------------------------------------------------------

SAMPLE = {
    "templates/order.tmpl": "order template\n",
    "templates/invoice.tmpl": "invoice template\n",
    "readme.txt": "sample\n",
}


def expect_installed(target, files):
    installed = read_tree(target)
    for name, text in files.items():
        check(installed.get(name, (None,))[0] == text.encode(), "%s not installed in %s"
              % (name, target))
        check(installed[name][1] == KIT_TIME, "%s has time %d" % (name, installed[name][1]))


def interactive_success(case, clear_box):
    s, t = case.wine, case.en
    files = dict(SAMPLE)
    files["docs/about" + DESCRIPTION_EXTENSION] = "<p>description</p>\n"
    # A link with a leading separator opens the same file as one without.
    case.make_kit(files, describe=[("en", "Demo Templates", "Example Vendor",
                                    "\\docs\\about" + DESCRIPTION_EXTENSION)])
    host_target, target = case.default_target()
    case.start()
    w = s.wait_for_page("welcome")
    check(w.title == t["IDS_TITLE_INSTALLER"], "welcome caption %r" % w.title)
    check_text(w, 1005, welcome_text(t, "Demo Templates", "Example Vendor"), "welcome text")
    check_text(w, BACK, t["IDS_WIZARD_BACK"], "Back button")
    check_text(w, NEXT, t["IDS_WIZARD_NEXT"], "Next button")
    check_text(w, CANCEL, t["IDS_WIZARD_CANCEL"], "Cancel button")
    w = s.wait_until("Back disabled on the welcome page",
                     lambda ws: s.sheet(ws) and not s.sheet(ws).control(BACK)["enabled"])
    check_buttons(s.sheet(w), "disabled", "enabled", "enabled", "welcome page")
    s.keys(s.sheet(w), "Return")

    w = s.wait_for_page("destination")
    check_text(w, 1009, t["IDS_DESTINATION_PROMPT"], "destination prompt")
    check_text(w, 1010, t["IDS_TEMPLATE_CATALOG"], "template directory label")
    check_text(w, 1001, target, "proposed directory")
    check_buttons(w, "enabled", "enabled", "enabled", "destination page")
    s.click(w.require(NEXT, "Next button"))

    w = s.wait_for_page("installed")
    check_text(w, 1006, t["IDS_SUCCESS_FINISH"], "success text")
    box = w.require(1004, "description box")
    check(box["text"] == t["IDS_SUCCESS_OPENDESCR"] and box["checked"] and box["enabled"],
          "description box %r, ticked %s" % (box["text"], box["checked"]))
    check_finish_mode(w, t, "success page")
    # Recorded when the page was shown, before Finish.
    check(case.read_settings() == "ConfigurationTemplatesLocation=%s\n" % target.rstrip("\\"),
          "settings %r" % case.read_settings())
    if clear_box:
        s.click(box)
        w = s.wait_until("description box cleared", lambda ws: s.sheet(ws) and not s.sheet(
            ws).control(1004)["checked"])
        s.click(s.sheet(w).require(FINISH, "Finish button"))
    else:
        s.keys(w, "Return")
    s.wait_for_exit(0)

    expect_installed(host_target, files)
    expected = [] if clear_box else [target + "docs\\about" + DESCRIPTION_EXTENSION]
    opened = case.opened(expected=len(expected))
    check(opened == expected, "opened %r, expected %r" % (opened, expected))
    case.check_no_leftovers()


def missing_kit(case):
    s, t = case.wine, case.en
    case.start()
    seen_sheet = []

    def box_only(windows):
        if s.sheet(windows):
            seen_sheet.append(s.sheet(windows))
        return s.message_box(windows)
    box = s.wait_for("startup error box", box_only)
    if seen_sheet:
        raise Failure("the wizard showed after a failed startup: %s" % seen_sheet[0].describe())
    check_box(box, t, "IDS_ERROR_NOSOURCE", [IDOK], "startup error box")
    check(box.box_has_icon(), "the startup error box has no icon")
    s.keys(box, "Return")
    s.wait_for_exit(1)
    check(case.read_settings() is None, "settings written after a failed startup")
    case.check_no_leftovers()


def cancel_on_welcome(case):
    s, t = case.wine, case.en
    target = os.path.join(case.root, "target")
    write_tree(target, {"a.txt": "old a\n"}, OLD_TIME)
    case.make_kit({"a.txt": "new a\n"})
    case.configure_target(target)
    before, settings_before = read_tree(target), case.read_settings()
    case.start()
    w = s.wait_for_page("welcome")
    check_text(w, 1005, welcome_text(t), "welcome text with the default names")
    s.click(w.require(CANCEL, "Cancel button"))
    box = s.wait_for_message_box("cancel question")
    check_box(box, t, "IDS_ACCEPT_CANCEL", [IDYES, IDNO], "cancel question")
    check(box.box_has_icon(), "the cancel question has no icon")
    # Wine labels the buttons in its own language: they are found by id.
    s.click(box.require(IDNO, "No button"))
    w = s.wait_for_page("welcome")
    s.keys(w, "Escape")
    box = s.wait_for_message_box("cancel question after Escape")
    s.click(box.require(IDYES, "Yes button"))
    w = s.wait_for_page("cancelled")
    check_text(w, 1008, t["IDS_CANCEL_FINISH"], "cancelled text")
    check_finish_mode(w, t, "cancelled page")
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit(3)
    check(read_tree(target) == before, "the template directory changed after a cancel")
    check(case.read_settings() == settings_before, "settings changed after a cancel")
    check(case.opened() == [], "opened %r" % case.opened())
    case.check_no_leftovers()


def go_to_copying(case):
    s = case.wine
    w = s.wait_for_page("welcome")
    s.keys(w, "Return")
    w = s.wait_for_page("destination")
    s.keys(w, "Return")


def prepare_failing_target(case):
    """The third entry cannot be written: "sub" is a file where the kit has a folder."""
    target = os.path.join(case.root, "target")
    write_tree(target, {"a.txt": "old a\n", "sub": "a file where the kit has a folder\n"},
               OLD_TIME)
    case.make_kit({"a.txt": "new a\n", "b.txt": "new b\n", "sub/c.txt": "new c\n"})
    case.configure_target(target)
    return target


def failing_install(case):
    s, t = case.wine, case.en
    target = prepare_failing_target(case)
    before, settings_before = read_tree(target), case.read_settings()
    case.start()
    go_to_copying(case)
    box = s.wait_for_message_box("installation error box")
    check_box(box, t, "IDS_INSTALL_ERROR", [IDOK], "installation error box")
    check(box.box_has_icon(), "the installation error box has no icon")
    # The worker waits for the box: nothing is restored while it is open.
    check(read_tree(target) != before, "the directory was restored before the box was closed")
    s.click(box.require(IDOK, "OK button"))
    w = s.wait_for_page("failed")
    check_text(w, 1007, t["IDS_ERROR_FINISH"], "failed text")
    check_finish_mode(w, t, "failed page")
    check(read_tree(target) == before, "the template directory was not restored")
    check(case.read_settings() == settings_before, "settings changed after a failed install")
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit(2)
    case.check_no_leftovers()


def prepare_slow_target(case, count):
    """Every file replaces an older one, so each costs a move to the backup."""
    target = os.path.join(case.root, "target")
    names = {"f%05d.txt" % i: "old %d\n" % i for i in range(count)}
    write_tree(target, names, OLD_TIME)
    case.make_kit({n: "new %s\n" % n for n in names})
    case.configure_target(target)
    return target


def progress_position(case):
    sheet = case.wine.sheet(case.wine.snapshot())
    bar = sheet.control(1003) if sheet else None
    return bar["position"] if bar else None


def cancel_during_copying(case):
    s, t = case.wine, case.en
    target = prepare_slow_target(case, 4000)
    before, settings_before = read_tree(target), case.read_settings()
    case.start()
    go_to_copying(case)
    w = s.wait_until("copying under way", lambda ws: s.sheet(ws) and s.sheet(ws).page() ==
                     "progress" and (s.sheet(ws).control(1003).get("position") or 0) > 0)
    w = s.sheet(w)
    check_buttons(w, "disabled", "disabled", "enabled", "progress page")

    # No: the worker goes on.
    s.click(w.require(CANCEL, "Cancel button"))
    box = s.wait_for_message_box("cancel question during copying")
    check_box(box, t, "IDS_ACCEPT_CANCEL", [IDYES, IDNO], "cancel question during copying")
    # The worker is suspended while the question is open.
    held = progress_position(case), read_tree(target)
    time.sleep(1.5)
    check(read_tree(target) == held[1], "files changed while the cancel question was open")
    s.click(box.require(IDNO, "No button"))
    w = s.wait_until("copying going on after No", lambda ws: s.sheet(ws) and not s.message_box(ws)
                     and s.sheet(ws).page() == "progress" and
                     s.sheet(ws).control(1003).get("position", 0) > (held[0] or 0))

    # Yes: the worker stops after the file in hand and restores the directory.
    s.click(s.sheet(w).require(CANCEL, "Cancel button"))
    box = s.wait_for_message_box("second cancel question")
    s.click(box.require(IDYES, "Yes button"))
    w = s.wait_for_page("failed", limit=120)
    check_text(w, 1007, t["IDS_ERROR_FINISH"], "failed text after the cancel")
    check(read_tree(target) == before, "the template directory was not restored after the cancel")
    check(case.read_settings() == settings_before, "settings changed after a cancel")
    s.keys(w, "Return")
    s.wait_for_exit(3)
    case.check_no_leftovers()


def deep_directory(case, length):
    """A host folder whose Windows form (on drive Z:) is exactly length units long."""
    path = os.path.join(case.root, "deep")
    level = 0
    while len(windows_path(path)) < length:
        room = length - len(windows_path(path)) - 1
        path = os.path.join(path, ("level%d-" % level + "d" * 60)[:min(room, 60)])
        level += 1
    return path


def long_target(case, length):
    """A configured template directory beyond the classic path limit: the
    startup probes it (and leaves nothing), proposes it, a failed run puts
    it back, a successful one installs files that lie deeper still and
    records it."""
    s, t = case.wine, case.en
    target = deep_directory(case, length)
    write_tree(target, {"a.txt": "old a\n", "zz": "a file where the kit needs a folder\n"},
               OLD_TIME)
    deep_name = "conf/%s/%s.cfg" % ("n" * 120, "m" * 120)
    files = {"a.txt": "new a\n", deep_name: "deep\n", "zz/c.txt": "c\n"}
    case.make_kit(files)
    case.configure_target(target)
    before, settings_before = read_tree(target), case.read_settings()

    case.start()
    w = s.wait_for_page("welcome")
    s.keys(w, "Return")
    w = s.wait_for_page("destination")
    check_text(w, 1001, windows_path(target), "proposed deep directory")
    check(read_tree(target) == before, "the probe left files in the directory: %s"
          % sorted(set(read_tree(target)) - set(before)))
    s.keys(w, "Return")
    box = s.wait_for_message_box("installation error box")
    check_box(box, t, "IDS_INSTALL_ERROR", [IDOK], "installation error box")
    s.click(box.require(IDOK, "OK button"))
    w = s.wait_for_page("failed")
    check(read_tree(target) == before, "the deep directory was not restored")
    check(case.read_settings() == settings_before, "settings changed after a failed install")
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit(2)
    case.check_no_leftovers()

    os.remove(os.path.join(target, "zz"))
    case.start()
    go_to_copying(case)
    w = s.wait_for_page("installed")
    check(case.read_settings() == "ConfigurationTemplatesLocation=%s\n" % windows_path(target),
          "settings %r" % case.read_settings())
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit(0)
    expect_installed(target, files)
    case.check_no_leftovers()


def expect_exit_without_final_page(case, status):
    s = case.wine
    deadline = time.monotonic() + 60
    while s.process.poll() is None and time.monotonic() < deadline:
        sheet = s.sheet(s.snapshot())
        if sheet and sheet.page() in ("installed", "failed", "cancelled"):
            raise Failure("silent mode showed the %s page" % sheet.page())
        time.sleep(0.05)
    s.wait_for_exit(status)


def silent_success(case):
    s = case.wine
    target = os.path.join(case.root, "target")
    os.makedirs(target)
    case.configure_target(target)
    files = dict(SAMPLE)
    files["about" + DESCRIPTION_EXTENSION] = "description\n"
    case.make_kit(files, describe=[("en", "Demo Templates", "Example Vendor",
                                    "about" + DESCRIPTION_EXTENSION)])
    case.start(["/S"])
    # The pages come as usual; the sheet closes when the worker has ended.
    go_to_copying(case)
    expect_exit_without_final_page(case, 0)
    expect_installed(target, files)
    check(case.read_settings() == "ConfigurationTemplatesLocation=%s\n" % windows_path(target),
          "settings %r" % case.read_settings())
    check(case.opened() == [], "silent mode opened %r" % case.opened())
    case.check_no_leftovers()


def silent_failure(case):
    s, t = case.wine, case.en
    target = prepare_failing_target(case)
    before, settings_before = read_tree(target), case.read_settings()
    case.start(["/S"])
    go_to_copying(case)
    box = s.wait_for_message_box("installation error box in silent mode")
    check_box(box, t, "IDS_INSTALL_ERROR", [IDOK], "installation error box in silent mode")
    s.click(box.require(IDOK, "OK button"))
    # Then the sheet closes by itself, without the failed page.
    expect_exit_without_final_page(case, 2)
    check(read_tree(target) == before, "the template directory was not restored")
    check(case.read_settings() == settings_before, "settings changed after a failed install")
    case.check_no_leftovers()


def russian_run(case):
    s, t = case.wine, case.ru
    case.make_kit(SAMPLE, describe=[("en", "Demo Templates", "Example Vendor", "readme.txt"),
                                    ("ru", "Демо-шаблоны", "Пример", "readme.txt")])
    # The environment is English: the language comes from the option.
    case.start(["/Lru"])
    w = s.wait_for_page("welcome")
    check(w.title == t["IDS_TITLE_INSTALLER"], "Russian caption %r" % w.title)
    s.x_window(w)  # found by its Russian title
    check_text(w, 1005, welcome_text(t, "Демо-шаблоны", "Пример"), "Russian welcome text")
    check_text(w, BACK, t["IDS_WIZARD_BACK"], "Russian Back button")
    check_text(w, NEXT, t["IDS_WIZARD_NEXT"], "Russian Next button")
    check_text(w, CANCEL, t["IDS_WIZARD_CANCEL"], "Russian Cancel button")
    s.keys(w, "Return")
    w = s.wait_for_page("destination")
    check_text(w, 1009, t["IDS_DESTINATION_PROMPT"], "Russian destination prompt")
    check_text(w, 1010, t["IDS_TEMPLATE_CATALOG"], "Russian directory label")
    s.keys(w, "Escape")
    box = s.wait_for_message_box("Russian cancel question")
    check_box(box, t, "IDS_ACCEPT_CANCEL", [IDYES, IDNO], "Russian cancel question")
    s.click(box.require(IDYES, "Yes button"))
    w = s.wait_for_page("cancelled")
    check_text(w, 1008, t["IDS_CANCEL_FINISH"], "Russian cancelled text")
    check_finish_mode(w, t, "Russian cancelled page")
    s.keys(w, "Return")
    s.wait_for_exit(3)
    check(case.read_settings() is None, "settings written after a cancelled wizard")
    case.check_no_leftovers()


def chooser(case, what):
    return case.wine.wait_for(what, lambda ws: next((w for w in ws if w.is_folder_chooser()),
                                                       None))


def folder_chooser(case):
    s, t = case.wine, case.en
    target = os.path.join(case.root, "target")
    write_tree(target, {"inner/keep.txt": "keep\n", "a.txt": "a\n"}, OLD_TIME)
    case.make_kit(SAMPLE)
    case.configure_target(target)
    case.start()
    w = s.wait_for_page("welcome")
    s.keys(w, "Return")
    w = s.wait_for_page("destination")
    edit = w.require(1001, "directory box")
    check(edit["text"] == windows_path(target), "proposed %r" % edit["text"])

    # An emptied box is refused; what is typed survives Back and Next.
    s.click(edit)
    s.keys(w, "End", "shift+Home", "Delete")
    w = s.wait_until("directory box emptied",
                     lambda ws: s.sheet(ws) and s.sheet(ws).control(1001)["text"] == "")
    s.click(s.sheet(w).require(NEXT, "Next button"))
    box = s.wait_for_message_box("empty directory box")
    check_box(box, t, "IDS_SETUP_EMPTYTARGET", [IDOK], "empty directory box")
    check(not box.box_has_icon(), "the empty directory box has an icon")
    s.click(box.require(IDOK, "OK button"))
    w = s.wait_for_page("destination")
    s.click(w.require(BACK, "Back button"))
    w = s.wait_for_page("welcome")
    s.click(w.require(NEXT, "Next button"))
    w = s.wait_for_page("destination")
    check_text(w, 1001, "", "directory box after Back and Next")
    s.click(w.require(1001, "directory box"))
    s.type_text(w, windows_path(target))
    w = s.wait_until("directory typed", lambda ws: s.sheet(ws) and s.sheet(ws).control(1001)[
        "text"] == windows_path(target))
    w = s.sheet(w)

    # The chooser starts in the directory of the box.
    s.click(w.require(1002, "browse button"))
    c = chooser(case, "folder chooser")
    check_text(c, 1091, t["IDS_CHOOSEDIR_FOLDER"], "folder list label")
    check_text(c, 4204, t["IDS_BROWSE_SELDIR"], "chosen folder label")
    check_text(c, 4206, t["IDS_BROWSE_OK"], "Select button")
    template = c.require(4206, "Select button")["parent"]
    cancel = c.control(2, visible_only=True, parent=template)
    check(cancel and cancel["text"] == t["IDS_BROWSE_CANCEL"], "chooser's Cancel %r" % cancel)
    for hidden in (1090, 1089, 1136, 1040, 1038):
        check(not c.control(hidden, visible_only=True), "file dialog control %d shows" % hidden)
    check(not [x for x in c.controls if x["id"] == 1148 and x["visible"]], "the file name box shows")
    check(not [x for x in c.controls if x["id"] in (1, 2) and x["visible"] and
               x["class"].lower() == "button" and x["parent"] != template],
          "the file dialog's own buttons show")
    # Folders only: the target holds a folder and a file.
    c = case.wine.wait_for("the folder listed alone", lambda ws: next(
        (w for w in ws if w.is_folder_chooser() and
         [x for x in w.controls if x["class"] == "SysListView32" and x.get("items") == 1]), None))
    check_text(c, 4203, windows_path(target), "chosen folder")
    s.click(cancel)
    w = s.wait_until("chooser closed", lambda ws: not any(x.is_folder_chooser() for x in ws))
    check_text(s.sheet(w), 1001, windows_path(target), "directory after the chooser's Cancel")

    # Into the folder by a double click, then Select.
    s.click(s.sheet(w).require(1002, "browse button"))
    c = chooser(case, "folder chooser again")
    view = [x for x in c.controls if x["class"] == "SysListView32"][0]
    inner = windows_path(os.path.join(target, "inner"))

    def entered(ws):
        for x in ws:
            if x.is_folder_chooser() and x.control(4203)["text"] == inner:
                return x
        return None
    deadline = time.monotonic() + 30
    c = None
    while c is None and time.monotonic() < deadline:
        s.click_at(view["x"] + 30, view["y"] + 10, repeat=2)
        time.sleep(0.5)
        c = entered(s.snapshot())
    check(c is not None, "the chooser did not enter %s: %s" % (inner, s.describe(s.snapshot())))
    s.click(c.require(4206, "Select button"))
    w = s.wait_until("chosen folder in the directory box", lambda ws: s.sheet(ws) and not any(
        x.is_folder_chooser() for x in ws) and s.sheet(ws).control(1001)["text"] == inner)
    s.click(s.sheet(w).require(NEXT, "Next button"))
    w = s.wait_for_page("installed")
    check(not w.control(1004, visible_only=True), "a description box without a description")
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit(0)
    expect_installed(os.path.join(target, "inner"), SAMPLE)
    settings = case.read_settings() or ""
    check(settings.startswith("ConfigurationTemplatesLocation=%s\n" % inner),
          "settings do not list the chosen folder first: %r" % settings)
    check(case.opened() == [], "opened %r without a description" % case.opened())
    case.check_no_leftovers()


CASES = {
    "interactive_success": lambda c: interactive_success(c, clear_box=False),
    "success_box_cleared": lambda c: interactive_success(c, clear_box=True),
    "missing_kit": missing_kit,
    "cancel_on_welcome": cancel_on_welcome,
    "failing_install": failing_install,
    "cancel_during_copying": cancel_during_copying,
    "silent_success": silent_success,
    "silent_failure": silent_failure,
    "russian_run": russian_run,
    "folder_chooser": folder_chooser,
    "long_target_280": lambda c: long_target(c, 280),
    "long_target_400": lambda c: long_target(c, 400),
}


def main():
    parser = argparse.ArgumentParser()
    for name in ("case", "setup", "probe", "recorder", "mkkit", "texts", "prefix", "work"):
        parser.add_argument("--" + name, required=True)
    options = parser.parse_args()
    if not os.access(options.mkkit, os.X_OK):
        print("FAILED %s: no mkkit at %s (build the Linux tree first)" % (options.case,
                                                                          options.mkkit))
        return 1
    case = None
    try:
        case = Case(options, options.case)
        CASES[options.case](case)
    except Failure as failure:
        print("FAILED %s: %s" % (options.case, failure))
        return 1
    finally:
        if case:
            case.close()
    print("passed %s" % options.case)
    shutil.rmtree(case.root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
