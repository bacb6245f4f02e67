#!/usr/bin/env bash
# Writes the seed inputs under corpus/ again: kits made with mkkit, their
# inflated work files, and small hand-made inputs. Regression inputs (names
# starting with "regression-") are left alone.
#   make_seeds.sh MKKIT
set -euo pipefail
mkkit=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$corpus"/{kit,work_file,settings,command_line}

# Kits from small directory trees.
tree=$scratch/tree
mkdir -p "$tree/conf/sub" "$scratch/none"
printf 'alpha\n' >"$tree/a.txt"
printf 'key=value\n' >"$tree/conf/b.cfg"
printf '<c/>\n' >"$tree/conf/sub/c.xml"
touch -d '2020-01-02 03:04:05 UTC' "$tree/a.txt" "$tree/conf/b.cfg" "$tree/conf/sub/c.xml"
"$mkkit" pack -o "$corpus/kit/two-languages.bkd" \
  --describe en Product Vendor 'docs\readme.html' \
  --describe ru 'Продукт' 'Поставщик' 'docs\readme_ru.html' "$tree"
"$mkkit" pack -o "$corpus/kit/single.bkd" --single \
  --describe en Product Vendor 'readme.html' "$tree"
"$mkkit" pack -o "$corpus/kit/no-entries.bkd" --describe de Produkt Anbieter '' "$scratch/none"
"$mkkit" pack -o "$corpus/kit/stored.bkd" --level 0 --describe en P V l "$tree"
: >"$corpus/kit/empty.bkd"

python3 - "$corpus" <<'PY'
import struct, sys, zlib
corpus = sys.argv[1]
def inflate(path):
    return zlib.decompress(open(path, 'rb').read(), -15)
def put(name, data):
    open(f"{corpus}/{name}", 'wb').write(data)
def u32(v): return struct.pack('<I', v)
def s(text):
    units = text.encode('utf-16-le')
    return u32(len(units) // 2) + units
def entry(name, offset, size, time=0x01D5C0E2A4B2F000, extra=b''):
    body = s(name) + struct.pack('<Q', time) + u32(offset) + u32(size) + extra
    return u32(4 + len(body)) + body
def description(code, product, vendor, link, extra=b''):
    body = s(code) + s(product) + s(vendor) + s(link) + extra
    return u32(4 + len(body)) + body

two = open(f"{corpus}/kit/two-languages.bkd", 'rb').read()
put('kit/cut-short.bkd', two[: len(two) // 2])
put('kit/zlib-wrapper.bkd', zlib.compress(inflate(f"{corpus}/kit/two-languages.bkd")))

for kit in ('two-languages', 'single', 'no-entries'):
    put(f'work_file/{kit}.work', inflate(f"{corpus}/kit/{kit}.bkd"))
put('work_file/format0-empty.work', u32(0) + s('') + s('') + s('') + u32(0))
put('work_file/format7-no-descriptions.work', u32(7) + u32(0) + u32(0))
put('work_file/long-records.work',
    u32(1) + u32(1) + description('en', 'P', 'V', 'x.html', b'\xAA' * 6) +
    u32(2) + entry('a\\b.txt', 0, 3, extra=b'\x55' * 4) + entry('c.txt', 3, 0) + b'abc')
put('work_file/parent-name.work',
    u32(0) + s('P') + s('V') + s('') + u32(1) + entry('..\\x', 0, 1) + b'x')
# Checksum blocks: data that no longer match, and a block cut short.
damaged = bytearray(inflate(f"{corpus}/kit/two-languages.bkd"))
damaged[-2] ^= 1
put('work_file/checksum-mismatch.work', bytes(damaged))
put('work_file/checksum-block-cut.work',
    u32(0) + s('P') + s('V') + s('') + u32(1) + entry('x', 0, 1, extra=b'KCRC\x01\0\0\0') + b'x')
put('work_file/past-the-end.work',
    u32(0) + s('P') + s('V') + s('') + u32(1) + entry('x', 0, 100) + b'x')

put('settings/typical.cfg',
    b'ConfigurationTemplatesLocation=/home/u/templates\n'
    b'ConfigurationTemplatesLocation=/srv/shared/tmplts\n'
    b'InstallComponents=DESIGNER,CLIENT\nCommonInfoBases=/home/u/bases.v8i\n')
put('settings/crlf.cfg', b'ConfigurationTemplatesLocation=C:\\t\r\nDistributiveLocation=D:\\d\r\n')
put('settings/odd-lines.cfg',
    b'a=b=c\n  spaced  =  value \nno equals sign\n#comment=kept\n=value only\n\n=\n'
    b'KEY=one\nkey=ONE\nkey=two\nlast line=no line feed')
put('settings/bytes.cfg',
    b'\xef\xbb\xbfConfigurationTemplatesLocation=/home/\xd0\xbf\xd0\xbe/t\n'
    b'bad=\xff\xfe\xc3\n\xe2=\x82\xac\nzero=a\x00b\n')
put('settings/utf16.cfg', '\ufeffConfigurationTemplatesLocation=/t\n'.encode('utf-16-le'))

# Command line: a byte that picks LANG, then the arguments, zero separated.
def args(pick, *words): return bytes([pick]) + b'\0'.join(w.encode() for w in words)
put('command_line/silent-russian', args(0, '-S', '-Lru'))
put('command_line/language-first', args(3, '-Lru', '-S'))
put('command_line/usecwd-unknown-code', args(4, 'usecwd', '/s', '/Lxx'))
put('command_line/environment-only', args(4, 'x', '--S'))
put('command_line/own-lang', args(8, 'uk_UA.UTF-8', '-L'))
PY
echo "seeds written under $corpus"
