#!/usr/bin/env python3
"""The Windows program's language choice, case by case, each in a fresh
process started with the user's language of the case: under Wine the user's
default language follows LANG, which a Windows parent cannot change for its
children, so every case is started from here."""
import argparse
import concurrent.futures
import os
import subprocess
import sys

# LANG, arguments, the user's language the system must report, and what the
# probe reports of the choice.
CASES = [
    # From the user's language by its primary language.
    ("ru_RU.UTF-8", [], "0x0419", "silent=0 language=1049 code=ru next=Далее >"),
    ("de_DE.UTF-8", [], "0x0407", "silent=0 language=1031 code=de next=Weiter >"),
    ("fr_FR.UTF-8", [], "0x040C", "silent=0 language=1036 code=fr next=Suivant >"),
    ("en_US.UTF-8", [], "0x0409", "silent=0 language=1033 code=en next=Next >"),
    # Polish has no interface of its own; Chinese (Taiwan) shares the
    # primary language of Simplified Chinese.
    ("pl_PL.UTF-8", [], "0x0415", "silent=0 language=1033 code=en next=Next >"),
    ("zh_TW.UTF-8", [], "0x0404", "silent=0 language=2052 code=zh next=下一步 >"),
    # The option wins, letter case ignored; Hungarian and Vietnamese are
    # reached only this way.
    ("ru_RU.UTF-8", ["/S", "/LHU"], "0x0419", "silent=1 language=1038 code=hu next=Tovább >"),
    ("ru_RU.UTF-8", ["/lvi"], "0x0419", "silent=0 language=1066 code=vi next=Tiếp >"),
    ("en_US.UTF-8", ["/LdE"], "0x0409", "silent=0 language=1031 code=de next=Weiter >"),
    # A recognised code without an interface: English, the system unasked.
    ("ru_RU.UTF-8", ["/Lpl"], "0x0419", "silent=0 language=1033 code=en next=Next >"),
    ("ru_RU.UTF-8", ["/Lsr_LATN"], "0x0419", "silent=0 language=1033 code=en next=Next >"),
    # Any other code leaves the choice to the system, and ends the scan.
    ("ru_RU.UTF-8", ["/Lxx", "/S"], "0x0419", "silent=0 language=1049 code=ru next=Далее >"),
    ("de_DE.UTF-8", ["/L"], "0x0407", "silent=0 language=1031 code=de next=Weiter >"),
    ("de_DE.UTF-8", ["/Lруc"], "0x0407", "silent=0 language=1031 code=de next=Weiter >"),
    # "/" is the only option prefix.
    ("de_DE.UTF-8", ["-S", "-Lru"], "0x0407", "silent=0 language=1031 code=de next=Weiter >"),
]


def run_case(args, case):
    lang, arguments, user, expected = case
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
    env["LANG"] = lang
    result = subprocess.run([args.wine_run, args.prefix, args.probe] + arguments, env=env,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    line = result.stdout.decode("utf-8", "replace").splitlines()[0] if result.stdout else ""
    shown = "LANG=%s %s" % (lang, " ".join(arguments))
    fields = line.split(" ")
    reported_user = next((f[5:] for f in fields if f.startswith("user=")), None)
    report = " ".join(f for f in fields if not f.startswith("user="))
    if result.returncode != 0:
        return "%s: the probe failed (%d): %s" % (shown, result.returncode, result.stderr[-500:])
    if reported_user != user:
        return ("%s: the system reports the user's language %s, not %s; is the locale "
                "installed (scripts/install-deps)?" % (shown, reported_user, user))
    if report != expected:
        return "%s:\n  got      %s\n  expected %s" % (shown, report, expected)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        failures = [f for f in pool.map(lambda c: run_case(args, c), CASES) if f]
    for failure in failures:
        print("FAILED " + failure)
    print("%d of %d cases as expected" % (len(CASES) - len(failures), len(CASES)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
