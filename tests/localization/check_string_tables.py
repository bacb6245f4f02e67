#!/usr/bin/env python3
"""Compiles the generated Windows string tables with windres and checks that
the compiled resources hold exactly the texts of the language files: every
language under its LANGID, every key under its identifier, nothing else."""

import argparse
import os
import struct
import subprocess
import sys

RT_STRING = 6


def records(path):
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if line and not line.startswith("#"):
                yield line.split("\t")


def expected_strings(source):
    ids = {key: int(ident) for key, ident in records(os.path.join(source, "message_keys.tsv"))}
    expected = {}
    for code, _, langid, _ in records(os.path.join(source, "languages.tsv")):
        for key, text in records(os.path.join(source, "texts", code + ".tsv")):
            expected[(int(langid, 16), ids[key])] = text
    return expected


def read_name(data, at):
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def compiled_strings(res):
    strings = {}
    at = 0
    while at < len(res):
        data_size, header_size = struct.unpack_from("<II", res, at)
        kind, name_at = read_name(res, at + 8)
        name, tail = read_name(res, name_at)
        tail = (tail + 3) & ~3
        language = struct.unpack_from("<H", res, tail + 6)[0]
        data_at = at + header_size
        if kind == RT_STRING:
            block = res[data_at:data_at + data_size]
            pos = 0
            for index in range(16):
                length = struct.unpack_from("<H", block, pos)[0]
                text = block[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
                pos += 2 + 2 * length
                if text:
                    key = (language, (name - 1) * 16 + index)
                    if key in strings:
                        raise ValueError(f"string {key} compiled twice")
                    strings[key] = text
        at = (data_at + data_size + 3) & ~3
    return strings


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--windres", required=True)
    parser.add_argument("--rc", required=True)
    parser.add_argument("--source", required=True, help="the localization directory")
    parser.add_argument("--work", required=True, help="directory for the compiled tables")
    args = parser.parse_args()

    os.makedirs(args.work, exist_ok=True)
    res_path = os.path.join(args.work, "strings_check.res")
    subprocess.run([args.windres, "-c", "65001", "-i", args.rc, "-O", "res", "-o", res_path],
                   check=True)
    with open(res_path, "rb") as f:
        compiled = compiled_strings(f.read())
    expected = expected_strings(args.source)

    faults = []
    for key in sorted(set(expected) | set(compiled)):
        want, got = expected.get(key), compiled.get(key)
        if want != got:
            faults.append(f"LANGID 0x{key[0]:04X} id {key[1]}: expected {want!r}, compiled {got!r}")
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    languages = len({language for language, _ in expected})
    print(f"{len(compiled)} strings in {languages} languages match the language files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
