#!/usr/bin/env python3
"""The Windows and the Linux mkkit agree on the kit format byte for byte:
both pack the same tree, each lists both kits (and so reads them as the
setup program does, the Windows one through its file mapping, and checks
their checksums), all four listings are the same, and the two kits inflate
to the same work file."""
import argparse
import os
import shutil
import subprocess
import sys
import zlib

# name (with "/"), bytes, modification time in seconds (fractions are cut
# to whole seconds by both tools).
FILES = [
    ("a.txt", b"alpha\n", 1600000000),
    ("conf/sub/b.xml", b"<b/>", 1500000000.75),
    ("Шаблоны/конфиг.cfg", "ключ=значение\r\n".encode("utf-8"), 1300000000),
    ("docs/readme.html", b"<html/>", 1714564800),
    ("empty", b"", 1000000000),
    ("with space & more.txt", b"x", 1600000001),
    # Several deflate blocks and more than one read block of the packers.
    ("big.bin", bytes((i * 7919 >> 5) & 0xFF for i in range(1_200_000)), 1400000000),
]
DESCRIBE = ["--describe", "en", "Templates", "Vendor", "docs\\readme.html",
            "--describe", "ru", "Шаблоны", "Поставщик", ""]


def windows_path(path):
    """The Wine drive Z: is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--windows-mkkit", required=True)
    parser.add_argument("--linux-mkkit", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    if not os.access(args.linux_mkkit, os.X_OK):
        print("no Linux mkkit at %s: build the Linux tree first" % args.linux_mkkit)
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    tree = os.path.join(args.work, "tree")
    for name, data, mtime in FILES:
        path = os.path.join(tree, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (mtime, mtime))
    windows_kit = os.path.join(args.work, "windows.bkd")
    linux_kit = os.path.join(args.work, "linux.bkd")

    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
    env["LC_ALL"] = "C.UTF-8"

    def windows(*arguments):
        return subprocess.run([args.wine_run, args.prefix, args.windows_mkkit] + list(arguments),
                              env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)

    def linux(*arguments):
        return subprocess.run([args.linux_mkkit] + list(arguments), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)

    failures = []
    for who, result in [
        ("Windows pack", windows("pack", "-o", windows_path(windows_kit), *DESCRIBE,
                                 windows_path(tree))),
        ("Linux pack", linux("pack", "-o", linux_kit, *DESCRIBE, tree)),
    ]:
        if result.returncode != 0:
            failures.append("%s failed (%d): %s" % (who, result.returncode,
                                                    result.stderr.decode("utf-8", "replace")))
    if failures:
        print("\n".join(failures))
        return 1

    listings = {
        "Windows lists the Windows kit": windows("list", windows_path(windows_kit)),
        "Windows lists the Linux kit": windows("list", windows_path(linux_kit)),
        "Linux lists the Windows kit": linux("list", windows_kit),
        "Linux lists the Linux kit": linux("list", linux_kit),
    }
    reference = listings["Linux lists the Linux kit"].stdout
    for who, result in listings.items():
        if result.returncode != 0:
            failures.append("%s: failed (%d): %s" % (who, result.returncode,
                                                     result.stderr.decode("utf-8", "replace")))
        elif result.stdout != reference:
            failures.append("%s differently:\n%s\n-- against --\n%s" % (
                who, result.stdout.decode("utf-8", "replace"),
                reference.decode("utf-8", "replace")))
    text = reference.decode("utf-8", "replace")
    for line in ["Descriptions: 2\n",
                 '  ru: product "Шаблоны", vendor "Поставщик", link ""\n',
                 "Entries: 7\n",
                 "  2017-07-14 02:40:00  4  conf\\sub\\b.xml\n",
                 "  2024-05-01 12:00:00  7  docs\\readme.html\n",
                 "  2001-09-09 01:46:40  0  empty\n",
                 "  2011-03-13 07:06:40  27  Шаблоны\\конфиг.cfg\n",
                 "Checksums: present, all hold\n"]:
        if line not in text:
            failures.append("the listing lacks %r:\n%s" % (line, text))

    # A kit written into the tree it packs is not packed into itself.
    inside = os.path.join(tree, "brvx.bkd")
    for _ in range(2):
        result = windows("pack", "-o", windows_path(inside), windows_path(tree))
    listing = windows("list", windows_path(inside)).stdout.decode("utf-8", "replace")
    os.remove(inside)
    if result.returncode != 0 or "Entries: %d\n" % len(FILES) not in listing:
        failures.append("the Windows kit inside its own tree:\n" + listing)

    inflated = []
    for kit in (windows_kit, linux_kit):
        with open(kit, "rb") as f:
            inflated.append(zlib.decompress(f.read(), -15))
    if inflated[0] != inflated[1]:
        at = next(i for i, (a, b) in enumerate(zip(*inflated)) if a != b) \
            if len(inflated[0]) == len(inflated[1]) else min(map(len, inflated))
        failures.append("the work files differ (sizes %d and %d, first difference at %d)" % (
            len(inflated[0]), len(inflated[1]), at))

    for failure in failures:
        print("FAILED " + failure)
    if not failures:
        with open(windows_kit, "rb") as w, open(linux_kit, "rb") as l:
            same = w.read() == l.read()
        print("both tools agree: %d listings, work files of %d bytes alike; compressed kits %s"
              % (len(listings), len(inflated[0]), "identical" if same else "differ (zlib builds)"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
