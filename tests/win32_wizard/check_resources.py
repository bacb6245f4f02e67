#!/usr/bin/env python3
"""Checks the resources compiled into setup.exe, read from the program file
itself: every dialog in every interface language with one layout, the side
picture, the icon group with its images (48, 40, 32 and 16 pixels at 4, 8,
24 and 32 bits, and 256 pixels at 32 bits) and the manifest.

Usage: check_resources.py --program EXE --languages languages.tsv
"""
import argparse
import struct
import sys

RT_BITMAP, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 2, 5, 6, 14, 24
PAGES = {129: (315, 176), 131: (315, 176), 132: (315, 176), 133: (315, 176),
         134: (315, 176), 135: (315, 176), 772: (339, 62)}
# The controls of each dialog: id and window class (the predefined classes by
# their atom, whether the template names them or gives the atom).
LAYOUTS = {
    129: [(1005, 0x82), (-1, 0x82)],
    135: [(1009, 0x82), (1010, 0x82), (1001, 0x81), (1002, 0x80), (-1, 0x82)],
    133: [(-1, 0x82), (1003, "MSCTLS_PROGRESS32")],
    134: [(1008, 0x82), (-1, 0x82)],
    131: [(1007, 0x82), (-1, 0x82)],
    132: [(1006, 0x82), (1004, 0x80), (-1, 0x82)],
    772: [(4206, 0x80), (2, 0x80), (4203, 0x81), (1119, 0x82), (4204, 0x82)],
}
CLASS_ATOMS = {"BUTTON": 0x80, "EDIT": 0x81, "STATIC": 0x82}
ICON_IMAGES = sorted([(s, b) for s in (48, 40, 32, 16) for b in (4, 8, 24, 32)] + [(256, 32)])

failures = []


def fail(message):
    failures.append(message)


class Resources:
    """The resource tree of a PE file: (type, name, language) -> bytes."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (112 if magic == 0x20B else 96)
        self.base_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(size, raw_size), raw))
        self.entries = {}
        root = self.offset(self.base_rva)
        for type_id, type_dir in self.children(root):
            for name_id, name_dir in self.children(type_dir):
                for language, leaf in self.children(name_dir):
                    rva, size = struct.unpack_from("<II", data, leaf)
                    start = self.offset(rva)
                    self.entries[(type_id, name_id, language)] = data[start:start + size]

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise SystemExit("RVA 0x%x outside every section" % rva)

    def children(self, directory):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            key = name if not name & 0x80000000 else self.name(name & 0x7FFFFFFF)
            node = self.offset(self.base_rva) + (target & 0x7FFFFFFF)
            yield key, node

    def name(self, offset):
        start = self.offset(self.base_rva) + offset
        length = struct.unpack_from("<H", self.data, start)[0]
        return self.data[start + 2:start + 2 + 2 * length].decode("utf-16-le")

    def find(self, type_id, name_id):
        return {lang: data for (t, n, lang), data in self.entries.items()
                if t == type_id and n == name_id}


def read_ordinal_or_text(data, at):
    """A dialog template's ordinal or zero-ended text; the value and the
    position after it."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def dialog_layout(data):
    """(cx, cy) and the list of (id, class) of a DLGTEMPLATEEX."""
    version, signature = struct.unpack_from("<HH", data, 0)
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    style = struct.unpack_from("<I", data, 12)[0]
    count, _, _, cx, cy = struct.unpack_from("<Hhhhh", data, 16)
    at = 26
    for _ in range(3):  # menu, class, title
        _, at = read_ordinal_or_text(data, at)
    if style & 0x40:  # DS_SETFONT: size, weight, italic, charset, face
        at += 6
        _, at = read_ordinal_or_text(data, at)
    controls = []
    for _ in range(count):
        at = (at + 3) & ~3
        control_id = struct.unpack_from("<i", data, at + 20)[0]
        at += 24
        window_class, at = read_ordinal_or_text(data, at)
        if isinstance(window_class, str):
            window_class = CLASS_ATOMS.get(window_class.upper(), window_class.upper())
        _, at = read_ordinal_or_text(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        controls.append((control_id, window_class))
    return (cx, cy), controls


def check_dialogs(resources, languages):
    for dialog, size in PAGES.items():
        found = resources.find(RT_DIALOG, dialog)
        for code, langid in languages:
            if langid not in found:
                fail("dialog %d missing in %s (0x%04x)" % (dialog, code, langid))
                continue
            (cx, cy), controls = dialog_layout(found[langid])
            if (cx, cy) != size:
                fail("dialog %d in %s is %dx%d, expected %dx%d" % (dialog, code, cx, cy, *size))
            if controls != LAYOUTS[dialog]:
                fail("dialog %d in %s has controls %s, expected %s"
                     % (dialog, code, controls, LAYOUTS[dialog]))
        extra = sorted(set(found) - {langid for _, langid in languages})
        if extra:
            fail("dialog %d in unexpected languages %s" % (dialog, extra))


def check_strings(resources, languages):
    # The block of strings 112..127 holds the window title (128 is block 9).
    for block in (7, 9):
        found = resources.find(RT_STRING, block)
        for code, langid in languages:
            if langid not in found:
                fail("string block %d missing in %s" % (block, code))


def check_pictures(resources):
    bitmaps = resources.find(RT_BITMAP, 103)
    if len(bitmaps) != 1:
        fail("bitmap 103: %d copies" % len(bitmaps))
    else:
        header = next(iter(bitmaps.values()))
        _, width, height, _, bits = struct.unpack_from("<IiiHH", header, 0)
        if (width, abs(height), bits) != (158, 286, 24):
            fail("bitmap 103 is %dx%d at %d bits" % (width, abs(height), bits))
    groups = resources.find(RT_GROUP_ICON, 128)
    if len(groups) != 1:
        fail("icon group 128: %d copies" % len(groups))
        return
    group = next(iter(groups.values()))
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    images = []
    for i in range(count):
        width, _, _, _, _, bits, _, _ = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        images.append((width or 256, bits))
    if kind != 1 or sorted(images) != ICON_IMAGES:
        fail("icon group 128 holds %s, expected %s" % (sorted(images), ICON_IMAGES))


def check_manifest(resources):
    manifests = resources.find(RT_MANIFEST, 1)
    if len(manifests) != 1:
        fail("manifest: %d copies" % len(manifests))
        return
    text = next(iter(manifests.values())).decode("utf-8")
    for needed in ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   'level="asInvoker"', '<dpiAware', '>true</dpiAware>',
                   '>true</longPathAware>'):
        if needed not in " ".join(text.split()):
            fail("manifest lacks %s" % needed)


def read_languages(path):
    languages = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                code, _, langid, _ = line.rstrip("\n").split("\t")
                languages.append((code, int(langid, 16)))
    return languages


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--languages", required=True)
    options = parser.parse_args()
    languages = read_languages(options.languages)
    if len(languages) != 17:
        fail("%d interface languages, expected 17" % len(languages))
    with open(options.program, "rb") as f:
        resources = Resources(f.read())
    check_dialogs(resources, languages)
    check_strings(resources, languages)
    check_pictures(resources)
    check_manifest(resources)
    for message in failures:
        print("FAILED: " + message)
    if not failures:
        print("resources of %s: 7 dialogs in %d languages, pictures, manifest"
              % (options.program, len(languages)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
