#!/usr/bin/env python3
"""Generates the message catalogue of both programs from the text tables.

Inputs (UTF-8, one record a line, '#' starts a comment line):
  message_keys.tsv      key<TAB>Windows string identifier
  languages.tsv         code<TAB>Linux number or -<TAB>Windows LANGID<TAB>name
  texts/<code>.tsv      key<TAB>text, every key exactly once

Outputs, all into the output directory:
  catalogue_linux.cpp   the languages of the Linux build, by number
  catalogue_all.cpp     every language, for checks over the whole data
  message_ids.h         identifiers of the keys and the language table
  strings.rc            STRINGTABLE blocks per language (windres -c 65001)

Any fault in the data stops the build with a message naming file and line.
"""

import argparse
import os
import sys
import unicodedata


class DataError(Exception):
    pass


def read_records(path, field_count):
    records = []
    try:
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().split("\n")
    except UnicodeDecodeError as e:
        raise DataError(f"{path}: not UTF-8 ({e})")
    except OSError as e:
        raise DataError(f"{path}: {e.strerror}")
    for number, line in enumerate(lines, 1):
        if line.endswith("\r"):
            raise DataError(f"{path}:{number}: carriage return; use plain line ends")
        if not line or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != field_count:
            raise DataError(f"{path}:{number}: expected {field_count} tab-separated fields")
        records.append((number, fields))
    return records


def read_keys(path):
    keys, ids = [], set()
    for number, (key, ident) in read_records(path, 2):
        if not key.isascii() or not key.replace("_", "").isalnum() or key.upper() != key:
            raise DataError(f"{path}:{number}: bad key {key!r}")
        if key in (k for k, _ in keys):
            raise DataError(f"{path}:{number}: key {key} given twice")
        if not ident.isdigit() or not 1 <= int(ident) <= 0xFFFF:
            raise DataError(f"{path}:{number}: bad identifier {ident!r}")
        if int(ident) in ids:
            raise DataError(f"{path}:{number}: identifier {ident} given twice")
        ids.add(int(ident))
        keys.append((key, int(ident)))
    if not keys:
        raise DataError(f"{path}: no keys")
    return keys


def read_languages(path):
    languages = []
    for number, (code, linux, windows, name) in read_records(path, 4):
        if not (len(code) == 2 and code.isascii() and code.isalpha() and code.islower()):
            raise DataError(f"{path}:{number}: bad language code {code!r}")
        if any(code == lang["code"] for lang in languages):
            raise DataError(f"{path}:{number}: language {code} given twice")
        if linux == "-":
            linux_number = 0
        elif linux.isdigit() and int(linux) > 0:
            linux_number = int(linux)
        else:
            raise DataError(f"{path}:{number}: bad Linux number {linux!r}")
        try:
            langid = int(windows, 0)
        except ValueError:
            raise DataError(f"{path}:{number}: bad Windows language {windows!r}")
        if not 0 < langid <= 0xFFFF or langid & 0x3FF == 0:
            raise DataError(f"{path}:{number}: bad Windows language {windows!r}")
        languages.append({"code": code, "linux": linux_number, "langid": langid, "name": name})
    numbers = sorted(lang["linux"] for lang in languages if lang["linux"])
    if numbers != list(range(1, len(numbers) + 1)):
        raise DataError(f"{path}: Linux numbers must run from 1 without gaps")
    if not any(lang["code"] == "en" and lang["linux"] for lang in languages):
        raise DataError(f"{path}: English must be in the Linux build")
    return languages


def check_text(path, number, text):
    if not text.strip():
        raise DataError(f"{path}:{number}: empty text")
    if text != text.strip(" "):
        raise DataError(f"{path}:{number}: text starts or ends with a space")
    for ch in text:
        if unicodedata.category(ch) in ("Cc", "Cs", "Co", "Cn"):
            raise DataError(f"{path}:{number}: control or unassigned character U+{ord(ch):04X}")
        # The Linux lookup turns each wide character into one 16-bit unit.
        if ord(ch) > 0xFFFF:
            raise DataError(f"{path}:{number}: character U+{ord(ch):X} beyond U+FFFF")
    if unicodedata.normalize("NFC", text) != text:
        raise DataError(f"{path}:{number}: text is not in composed (NFC) form")


def read_texts(path, keys):
    known = {key for key, _ in keys}
    texts = {}
    for number, (key, text) in read_records(path, 2):
        if key not in known:
            raise DataError(f"{path}:{number}: unknown key {key}")
        if key in texts:
            raise DataError(f"{path}:{number}: key {key} given twice")
        check_text(path, number, text)
        texts[key] = text
    missing = [key for key, _ in keys if key not in texts]
    if missing:
        raise DataError(f"{path}: missing {', '.join(missing)}")
    return texts


def load(source):
    keys = read_keys(os.path.join(source, "message_keys.tsv"))
    languages = read_languages(os.path.join(source, "languages.tsv"))
    text_dir = os.path.join(source, "texts")
    codes = {lang["code"] for lang in languages}
    for name in sorted(os.listdir(text_dir)):
        if name.endswith(".tsv") and name[:-4] not in codes:
            raise DataError(f"{os.path.join(text_dir, name)}: language not in languages.tsv")
    for lang in languages:
        lang["texts"] = read_texts(os.path.join(text_dir, lang["code"] + ".tsv"), keys)
    return keys, languages


def cpp_literal(text):
    out = []
    for byte in text.encode("utf-8"):
        if byte in (0x22, 0x5C):
            out.append("\\" + chr(byte))
        elif 0x20 <= byte < 0x7F:
            out.append(chr(byte))
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


GENERATED_NOTE = "Generated by localization/generate_catalogue.py from localization/*.tsv; do not edit."


def catalogue_source(keys, languages, table_name, comment):
    lines = [f"// {GENERATED_NOTE}", f"// {comment}", '#include "localization/catalogue_data.h"', "",
             "namespace {", ""]
    for lang in languages:
        lines.append(f"// {lang['name']}")
        lines.append(f"const CatalogueText kTexts_{lang['code']}[] = {{")
        for key, _ in keys:
            lines.append(f'    {{"{key}", {cpp_literal(lang["texts"][key])}}},')
        lines.append("};")
        lines.append("")
    lines.append("const CatalogueLanguage kLanguages[] = {")
    for lang in languages:
        lines.append(f'    {{"{lang["code"]}", {lang["linux"]}, 0x{lang["langid"]:04X}, '
                     f"kTexts_{lang['code']}, sizeof(kTexts_{lang['code']}) / sizeof(CatalogueText)}},")
    lines.append("};")
    lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append(f"extern const CatalogueTable {table_name} = "
                 "{kLanguages, sizeof(kLanguages) / sizeof(CatalogueLanguage)};")
    return "\n".join(lines) + "\n"


def message_ids_header(keys, languages):
    lines = [f"// {GENERATED_NOTE}",
             "// Numeric identifiers of the message keys in the Windows string tables,",
             "// usable from C++ and from resource scripts.",
             "#pragma once", ""]
    width = max(len(key) for key, _ in keys)
    for key, ident in keys:
        lines.append(f"#define {key.ljust(width)} {ident}")
    lines += ["", "#ifndef RC_INVOKED", "", "#include <cstddef>", "#include <cstdint>", "",
              "struct MessageKeyId {", "  const char* key;", "  unsigned id;", "};", "",
              "inline constexpr MessageKeyId kMessageKeyIds[] = {"]
    for key, ident in keys:
        lines.append(f'    {{"{key}", {ident}}},')
    lines += ["};", f"inline constexpr size_t kMessageKeyCount = {len(keys)};", "",
              "// Every language of the catalogue; linuxNumber is 0 for languages that",
              "// only the Windows build carries.",
              "struct CatalogueLanguageId {", "  const char* code;", "  int linuxNumber;",
              "  uint16_t windowsLanguage;", "};", "",
              "inline constexpr CatalogueLanguageId kCatalogueLanguageIds[] = {"]
    for lang in languages:
        lines.append(f'    {{"{lang["code"]}", {lang["linux"]}, 0x{lang["langid"]:04X}}},'
                     f"  // {lang['name']}")
    lines += ["};", "", "#endif  // RC_INVOKED"]
    return "\n".join(lines) + "\n"


def rc_literal(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""') + '"'


def strings_rc(keys, languages):
    lines = [f"// {GENERATED_NOTE}", "// Compile with windres -c 65001.", "#pragma code_page(65001)", ""]
    for lang in languages:
        primary, sub = lang["langid"] & 0x3FF, lang["langid"] >> 10
        lines.append(f"// {lang['name']}")
        lines.append(f"LANGUAGE 0x{primary:02X}, 0x{sub:X}")
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for key, ident in keys:
            lines.append(f"  {ident}, {rc_literal(lang['texts'][key])}  // {key}")
        lines.append("END")
        lines.append("")
    return "\n".join(lines)


def write(path, content):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(content)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True, help="the localization directory")
    parser.add_argument("--output", required=True, help="directory for the generated files")
    args = parser.parse_args()
    try:
        keys, languages = load(args.source)
    except DataError as e:
        print(f"generate_catalogue: {e}", file=sys.stderr)
        return 1
    linux = sorted((lang for lang in languages if lang["linux"]), key=lambda lang: lang["linux"])
    os.makedirs(args.output, exist_ok=True)
    outputs = {
        "catalogue_linux.cpp": catalogue_source(
            keys, linux, "kLinuxCatalogue", "Languages of the Linux build, ordered by number."),
        "catalogue_all.cpp": catalogue_source(
            keys, languages, "kFullCatalogue", "Every language that either program carries."),
        "message_ids.h": message_ids_header(keys, languages),
        "strings.rc": strings_rc(keys, languages),
    }
    for name, content in outputs.items():
        write(os.path.join(args.output, name), content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
