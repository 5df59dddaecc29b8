"""Reads the real-text inputs of the pair model and the recognition benchmark.

Both the generator and the benchmark split every source line the same way (a stable CRC of the
line), so the benchmark measures recognition on lines the model never saw.
"""

import glob
import gzip
import os
import zlib

MANPAGES_JA = "/usr/share/man/ja"  # manpages-ja, UTF-8 roff sources
SKK_JISYO_L = "/usr/share/skk/SKK-JISYO.L"  # skkdic, EUC-JP
IPADIC_DIR = "/usr/share/mecab/dic/ipadic"  # mecab-ipadic, EUC-JP csv


def is_test_line(line):
    """One line in eight is held out for the benchmark."""
    return zlib.crc32(line.encode("utf-8", "surrogatepass")) % 8 == 0


def manpage_paths():
    return sorted(glob.glob(os.path.join(MANPAGES_JA, "man*", "*.gz")))


def read_manpage(path):
    with gzip.open(path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def manpage_lines():
    for path in manpage_paths():
        for line in read_manpage(path).splitlines():
            yield line


def skk_lines():
    with open(SKK_JISYO_L, "rb") as f:
        for raw in f:
            line = raw.decode("euc_jis_2004", "replace").rstrip("\n")
            if not line.startswith(";;"):
                yield line


def skk_words():
    """Candidate words of the dictionary (annotations dropped)."""
    for line in skk_lines():
        parts = line.split(" /", 1)
        if len(parts) != 2:
            continue
        for cand in parts[1].split("/"):
            cand = cand.split(";", 1)[0]
            if cand and not cand.startswith("("):
                yield cand


def ipadic_paths():
    return sorted(glob.glob(os.path.join(IPADIC_DIR, "*.csv")))


def ipadic_rows():
    for path in ipadic_paths():
        with open(path, "rb") as f:
            for raw in f:
                yield raw.decode("euc_jp", "replace").rstrip("\n").split(",")


def ipadic_lines():
    for path in ipadic_paths():
        with open(path, "rb") as f:
            for raw in f:
                yield raw.decode("euc_jp", "replace").rstrip("\n")


def katakana_readings():
    for row in ipadic_rows():
        if len(row) >= 12 and row[11] not in ("", "*"):
            yield row[11]


# Full-width katakana (and the marks used with it) to half-width, the way old Shift_JIS files
# wrote katakana. Built from NFKC, which maps every half-width form to its full-width twin.
def _half_width_table():
    import unicodedata

    table = {}
    for cp in range(0xFF61, 0xFFA0):
        half = chr(cp)
        full = unicodedata.normalize("NFKC", half)
        if len(full) == 1:
            table[full] = half
    for cp in range(0x30A0, 0x3100):
        full = chr(cp)
        base = unicodedata.normalize("NFD", full)
        if len(base) == 2 and base[0] in table:
            mark = "\uFF9E" if base[1] == "\u3099" else "\uFF9F" if base[1] == "\u309A" else None
            if mark:
                table[full] = table[base[0]] + mark
    table.pop("\u3000", None)
    return table


HALF_WIDTH = _half_width_table()


def to_half_width_katakana(text):
    return "".join(HALF_WIDTH.get(c, c) for c in text)
