#!/usr/bin/env python3
"""Every text of the Windows wizard measured against its place, in one
interface language: the real setup.exe under Wine, started with /L<code>,
walked through every page, the folder chooser and the message boxes it
shows. On each, window_probe measures every text in the font the program
draws it in (DrawTextW with DT_CALCRECT, wrapped where the control wraps)
against the control's rectangle, and every control against its page and its
window. A text that does not fit fails the case, named with the language,
the page, the control and the pixels it lacks.

Three runs: to the installed page (welcome, template directory, folder
chooser, copying, installed), to the cancelled page (with the cancel
question) and to the failed page (with the installation error box).

Usage: text_fit.py --language CODE --setup EXE --probe EXE --recorder EXE
                   --mkkit PATH --texts DIR --languages FILE --prefix DIR --work DIR
"""
import argparse
import json
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wizard_e2e  # noqa: E402
from wine_driver import (CANCEL, FINISH, IDOK, IDYES, NEXT, PAGE_MARKERS, Failure, Window,  # noqa: E402
                         check, windows_path)

SS_ELLIPSISMASK = 0xC000


def language_id(languages_file, code):
    with open(languages_file, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if not line.startswith("#") and len(fields) == 4 and fields[0] == code:
                return int(fields[2], 16)
    raise Failure("no language %s in %s" % (code, languages_file))


class Measurer:
    def __init__(self, case, langid, texts):
        self.case = case
        self.langid = langid
        self.catalogue = set(texts.values())
        self.misfits = []
        self.measured = set()  # (where, control id) of every text judged

    def snapshot(self):
        wine = self.case.wine
        command = "measure %s %d\n" % (windows_path(self.case.program), self.langid)
        wine.probe.stdin.write(command.encode("utf-8"))
        wine.probe.stdin.flush()
        line = wine.probe.stdout.readline()
        check(line, "the window probe ended")
        answer = json.loads(line.decode("utf-8"))
        check("error" not in answer, "window probe: %s" % answer.get("error"))
        return answer

    def measure(self, where, pick):
        """Measures the windows pick chooses from a measured snapshot;
        returns them (pick's result is a list of window records)."""
        answer = self.snapshot()
        windows = pick([Window(w) for w in answer["windows"]])
        check(windows, "nothing to measure on the %s" % where)
        for window in windows:
            self.judge(window, where, answer)
        return windows

    def judge(self, window, where, answer):
        by_handle = {c["hwnd"]: c for c in window.controls}
        welcome = window.control(1005, visible_only=True)
        if welcome is not None:
            # The measuring font is the program's only if the dialog manager
            # made the same control from the same template with it.
            made = (answer["welcome_width"], answer["welcome_height"])
            check((welcome["width"], welcome["height"]) == made,
                  "%s: the probe's dialog font does not match the program's (welcome text "
                  "%dx%d, made from the template %dx%d)" % (where, welcome["width"],
                                                            welcome["height"], *made))
        for c in window.controls:
            if not c["visible"] or "need_width" not in c:
                continue
            # A status line that shortens what it shows with an ellipsis
            # does so by design for file names, never for a message.
            if c["style"] & SS_ELLIPSISMASK and c["text"] not in self.catalogue:
                continue
            name = "%s %d %r" % (c["class"].lower(), c["id"], c["text"])
            self.measured.add((where, c["id"]))
            # A caption too wide for the dialog's font is measured in the
            # smaller font only where the screen showed it in that font.
            if c.get("drawn", "smaller") != "smaller":
                name += " (on the screen: %s)" % c["drawn"]
            self.report(where, name, "wider than its control (%d of %d)" % (
                c["need_width"], c["room_width"]), c["need_width"] - c["room_width"])
            self.report(where, name, "taller than its control (%d of %d)" % (
                c["need_height"], c["room_height"]), c["need_height"] - c["room_height"])
            # Where the text ends: push buttons centre it, the others start
            # it at their left edge and top.
            width, height = min(c["need_width"], c["room_width"]), min(c["need_height"],
                                                                       c["room_height"])
            centred = c["class"].lower() == "button" and c["style"] & 0xF in (0, 1)
            right = c["x"] + ((c["width"] + width) // 2 if centred else width)
            bottom = c["y"] + ((c["height"] + height) // 2 if centred else height)
            for outer, what in ((by_handle.get(c["parent"]), "its page"), (window.record, "the window")):
                if outer is None:
                    continue
                self.report(where, name, "past the right edge of " + what,
                            right - (outer["x"] + outer["width"]))
                self.report(where, name, "past the bottom edge of " + what,
                            bottom - (outer["y"] + outer["height"]))

    def report(self, where, name, what, pixels):
        line = "%s, %s: %d px %s" % (where, name, pixels, what)
        # The copying page is measured many times over.
        if pixels > 0 and line not in self.misfits:
            self.misfits.append(line)


def sheet_only(case):
    return lambda windows: [case.wine.sheet(windows)] if case.wine.sheet(windows) else []


def box_only(case):
    return lambda windows: [case.wine.message_box(windows)] if case.wine.message_box(windows) else []


def to_installed(case, m, code):
    s = case.wine
    files = dict(wizard_e2e.SAMPLE)
    files["about" + wizard_e2e.DESCRIPTION_EXTENSION] = "description\n"
    # Every file replaces an older one, so that the copying page lasts.
    target = os.path.join(case.root, "target")
    old = {"f%04d.txt" % i: "old\n" for i in range(1500)}
    wizard_e2e.write_tree(target, old, wizard_e2e.OLD_TIME)
    files.update({n: "new\n" for n in old})
    case.make_kit(files, describe=[(code, "Demo", "Vendor", "about" + wizard_e2e.DESCRIPTION_EXTENSION)])
    case.configure_target(target)
    case.start(["/L" + code])
    w = s.wait_for_page("welcome")
    m.measure("welcome page", sheet_only(case))
    s.keys(w, "Return")
    w = s.wait_for_page("destination")
    m.measure("template directory page", sheet_only(case))
    s.click(w.require(1002, "browse button"))
    c = s.wait_for("folder chooser", lambda ws: next((x for x in ws if x.is_folder_chooser() and
                                                      x.control(4203)["text"]), None))
    m.measure("folder chooser", lambda ws: [x for x in ws if x.is_folder_chooser()])
    template = c.require(4206, "Select button")["parent"]
    s.click(c.control(2, visible_only=True, parent=template))
    w = s.wait_for_page("destination")
    s.click(w.require(NEXT, "Next button"))
    # The copying page's messages: each is measured whenever it shows.
    progress_texts = set()
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        windows = s.snapshot()
        sheet = s.sheet(windows)
        if sheet and sheet.page() == "installed":
            break
        if sheet and sheet.page() == "progress":
            for w in m.measure("copying page", sheet_only(case)):
                status = [x for x in w.controls if x["class"] == "Static" and x["visible"] and
                          x["parent"] == w.control(1003)["parent"] and x["text"]]
                progress_texts.update(x["text"] for x in status if x["text"] in m.catalogue)
    check(progress_texts, "no message of the copying page was seen to measure")
    s.wait_for_page("installed")
    w = m.measure("installed page", sheet_only(case))[0]
    check(w.control(1004, visible_only=True), "the installed page shows no description box")
    s.click(w.require(FINISH, "Finish button"))
    s.wait_for_exit()


def to_cancelled(case, m, code):
    s = case.wine
    case.make_kit(wizard_e2e.SAMPLE)
    case.start(["/L" + code])
    w = s.wait_for_page("welcome")
    s.click(w.require(CANCEL, "Cancel button"))
    box = s.wait_for_message_box("cancel question")
    m.measure("cancel question", box_only(case))
    s.click(box.require(IDYES, "Yes button"))
    w = s.wait_for_page("cancelled")
    m.measure("cancelled page", sheet_only(case))
    s.keys(w, "Return")
    s.wait_for_exit(3)  # cancelled


def to_failed(case, m, code):
    s = case.wine
    wizard_e2e.prepare_failing_target(case)
    case.start(["/L" + code])
    wizard_e2e.go_to_copying(case)
    box = s.wait_for_message_box("installation error box")
    m.measure("installation error box", box_only(case))
    s.click(box.require(IDOK, "OK button"))
    w = s.wait_for_page("failed")
    m.measure("failed page", sheet_only(case))
    s.keys(w, "Return")
    s.wait_for_exit(2)  # failed


def main():
    parser = argparse.ArgumentParser()
    for name in ("language", "setup", "probe", "recorder", "mkkit", "texts", "languages",
                 "prefix", "work"):
        parser.add_argument("--" + name, required=True)
    options = parser.parse_args()
    code = options.language
    texts = wizard_e2e.load_texts(options.texts, code)
    langid = language_id(options.languages, code)
    misfits = []
    for run in (to_installed, to_cancelled, to_failed):
        case = None
        try:
            case = wizard_e2e.Case(options, "fit-%s-%s" % (code, run.__name__))
            m = Measurer(case, langid, texts)
            run(case, m, code)
            misfits += ["%s, %s" % (code, line) for line in m.misfits]
        except Failure as failure:
            print("FAILED %s (%s): %s" % (code, run.__name__, failure))
            return 1
        finally:
            if case:
                case.close()
        shutil.rmtree(case.root, ignore_errors=True)
    if misfits:
        print("FAILED %s: %d texts do not fit:\n  %s" % (code, len(misfits), "\n  ".join(misfits)))
        return 1
    print("passed %s: every text fits" % code)
    return 0


if __name__ == "__main__":
    sys.exit(main())
