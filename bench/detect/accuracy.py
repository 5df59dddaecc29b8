#!/usr/bin/env python3
"""Accuracy of code recognition on real text, beside nkf --guess and uchardet.

Builds the test set from the same inputs as the pair model (manpages-ja, skkdic, mecab-ipadic;
see tools/pairmodel/README.md), using only the lines the model was not trained on, converted with
iconv and nkf:
  whole      every input file, in each code
  <set>/both the cases of a set that are valid in more than one of CP932, EUC-JP and UTF-8
  lines      single lines of 20-50 bytes holding Japanese
  ascii4k    4 KB of ASCII holding one two-kanji word
  halfkana   lines of half-width katakana
  halfcsv    tiny CSV files (1-3 rows) with half-width katakana fields
  binary     executables and compressed files
  stray      held-out text (1 to 40 lines) with one stray NUL at a character boundary, and
             ISO-2022-JP with one escape that designates nothing known (ESC $ Z)
  kanaline   single lines of half-width katakana of any length: 1 to 6 words, joined by
             blanks, nothing, ･ or ｰ, ending in LF, CR LF or nothing
  words      the other side of kanaline: lines of 1 to 3 dictionary words in kanji and kana
  cp932sp    short lines holding NEC and IBM extensions (①, Ⅱ, ㈱, 髙, 﨑, ...)
  mixed      1 to 3 UTF-8 lines and one CP932 or eucJP-ms line with fewer non-ASCII bytes, in
             any order: UTF-8, the family holding most of the bytes
  bare16     UTF-16LE and UTF-16BE without BOM of runs of kana and kanji only: no NUL at all
  utf32      UTF-32LE and UTF-32BE with BOM, and without BOM, which is Binary, never UTF-16
  nul        short ASCII strings with a NUL or two (and C0 controls), as regex tests' subjects;
             Japanese text of a few lines with 1 to 3 NULs; ASCII records padded with NULs to
             64 or 128 bytes, which are Binary
  jis2004    ISO-2022-JP-3 lines, each with a JIS X 0213 designation (ESC $ ( O, P or Q)
  ffbytes    runs of 0xFF and 0xFE, 4 to 16 bytes: Binary
Usage: bench/detect/accuracy.py [--build-dir DIR] [--work DIR] [--per-case N] [--show N]
                               [--sets A,B,...] [--cli PROGRAM] [--before PROGRAM]
The recogniser is morvelle-detect, compiled here from bench/detect/detect_cli.cpp against the
libraries of the build directory. --before runs another one over the same cases, as a column of
its own.
"""

import argparse
import functools
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "pairmodel"))
import corpus  # noqa: E402

BINARY = "\u30d0\u30a4\u30ca\u30ea"  # EncodingName(Encoding::Binary)
CODES = {  # our name -> how to make it from UTF-8 text
    "Shift_JIS": ["iconv", "-f", "UTF-8", "-t", "CP932"],
    "EUC-JP": ["iconv", "-f", "UTF-8", "-t", "EUC-JP-MS"],
    "UTF-8": None,
    "ISO-2022-JP": ["nkf", "-x", "-j", "-W"],
    "UTF-8 (BOM)": ["nkf", "-x", "-w8", "-W"],
    "UTF-16LE": ["iconv", "-f", "UTF-8", "-t", "UTF-16LE"],
    "UTF-16BE": ["iconv", "-f", "UTF-8", "-t", "UTF-16BE"],
}


def normalise(tool, name):
    """A tool's answer as one of our code names (peers are not penalised for naming style)."""
    n = name.strip().upper()
    n = n.split(" (LF)")[0].split(" (CRLF)")[0].split(" (CR)")[0].split(" (MIXED NL)")[0]
    table = {
        "SHIFT_JIS": "Shift_JIS", "CP932": "Shift_JIS", "WINDOWS-31J": "Shift_JIS",
        "EUC-JP": "EUC-JP", "EUCJP-MS": "EUC-JP", "CP51932": "EUC-JP",
        "ISO-2022-JP": "ISO-2022-JP", "UTF-8": "UTF-8", "ASCII": "ASCII",
        "UTF-8 (BOM)": "UTF-8 (BOM)", "UTF-16LE": "UTF-16LE", "UTF-16BE": "UTF-16BE",
        "UTF-16 LE (BOM)": "UTF-16LE", "UTF-16 BE (BOM)": "UTF-16BE",
        "UTF-16LE (BOM)": "UTF-16LE", "UTF-16BE (BOM)": "UTF-16BE",
        "UTF-32LE": "UTF-32LE", "UTF-32BE": "UTF-32BE",
        "UTF-32 LE (BOM)": "UTF-32LE", "UTF-32 BE (BOM)": "UTF-32BE",
        "BINARY": BINARY, "UNKNOWN": BINARY,
    }
    return table.get(n, n)


MORVELLE = ("morvelle", "before")  # our own recognisers: their names are ours, taken as they are


def matches(expected, got, tool):
    if got == expected:
        return True
    if tool not in MORVELLE:
        # Peers name the code, not the BOM or the byte order it was found with.
        if expected == "UTF-8 (BOM)" and got == "UTF-8":
            return True
        family = expected[:6]
        if family in ("UTF-16", "UTF-32") and got in (family, family + " (BOM)"):
            return True
    return False


def convert(text, code):
    data = text.encode("utf-8")
    cmd = CODES[code]
    if cmd is None:
        return data
    r = subprocess.run(cmd, input=data, capture_output=True)
    return r.stdout if r.returncode == 0 else None


def convert_lines(lines, code):
    """Converts many lines with one run of the converter; None where a line fails."""
    if CODES[code] is None or code.startswith("UTF-16"):
        return [convert(line, code) for line in lines] if code.startswith("UTF-16") else \
            [line.encode("utf-8") for line in lines]
    joined = convert("\n".join(lines) + "\n", code)
    if joined is None:
        return [convert(line, code) for line in lines]
    parts = joined.split(b"\n")[:-1]
    if len(parts) != len(lines):
        return [convert(line, code) for line in lines]
    return parts


class Cases:
    def __init__(self, work):
        self.work = work
        self.items = []  # (category, expected, path)

    def add(self, category, expected, data):
        # Text of ASCII bytes alone is ASCII, whatever it was made from; not so data that is
        # Binary, nor UTF-16 or UTF-32, whose bytes may all be below 0x80.
        if not expected.startswith(("UTF-16", "UTF-32")) and expected != BINARY \
                and all(b < 0x80 for b in data) and b"\x1b" not in data:
            expected = "ASCII"
        path = os.path.join(self.work, f"{len(self.items):06d}.txt")
        with open(path, "wb") as f:
            f.write(data)
        self.items.append((category, expected, path))
        if expected in ("Shift_JIS", "EUC-JP", "UTF-8") and valid_readings(data) > 1:
            # The same case again in a subset of its own: the ones validity alone cannot settle.
            self.items.append((category + "/both", expected, path))


def build_whole(cases):
    for path in corpus.manpage_paths():
        text = corpus.read_manpage(path)
        for code in CODES:
            data = convert(text, code)
            if data is not None and data.strip():
                if code.startswith("UTF-16"):
                    bom = "\ufeff".encode("utf-16le" if code == "UTF-16LE" else "utf-16be")
                    cases.add("whole", code, bom + data)
                    cases.add("whole", code, data)  # and without BOM
                else:
                    cases.add("whole", code, data)
    sources = [corpus.SKK_JISYO_L] + corpus.ipadic_paths()
    for path in sources:
        with open(path, "rb") as f:
            raw = f.read()
        cases.add("whole", "EUC-JP", raw)
        enc = "euc_jis_2004" if path == corpus.SKK_JISYO_L else "euc_jp"
        text = raw.decode(enc, "replace")
        for code in ("Shift_JIS", "UTF-8", "UTF-16LE"):
            data = convert(text, code)
            if data is not None:
                cases.add("whole", code, data)


def valid_readings(data):
    n = 0
    for codec in ("cp932", "euc_jp", "utf-8"):
        try:
            data.decode(codec)
            n += 1
        except UnicodeDecodeError:
            pass
    return n


def build_halfcsv(cases, rng, per_case):
    """Tiny Shift_JIS CSV files with half-width katakana fields, as old Windows tools wrote."""
    readings = sorted({r for r in corpus.katakana_readings() if corpus.is_test_line(r)})
    for _ in range(per_case):
        rows = [f"{rng.randint(1, 9999):04d},{corpus.to_half_width_katakana(rng.choice(readings))},"
                f"{rng.randint(10, 999)}" for _ in range(rng.randint(1, 3))]
        cases.add("halfcsv", "Shift_JIS", ("\n".join(rows) + "\n").encode("cp932"))


def build_binary(cases, per_case):
    """Executables and compressed manual pages: data, not text."""
    import glob
    paths = [p for p in sorted(glob.glob("/usr/bin/*")) if os.path.isfile(p) and not os.path.islink(p)]
    paths = paths[:per_case] + corpus.manpage_paths()[:per_case // 2]
    for path in paths:
        with open(path, "rb") as f:
            data = f.read(1 << 20)
        if data.startswith(b"\x7fELF") or data.startswith(b"\x1f\x8b"):  # not scripts
            cases.add("binary", BINARY, data)


def jis_boundaries(data):
    """Offsets in ISO-2022-JP bytes where a character or escape starts, in every state."""
    out, i, wide = [], 0, False
    while i < len(data):
        out.append(i)
        if data[i] == 0x1B:
            wide = data[i + 1:i + 3] in (b"$B", b"$@")
            i += 3
        elif wide and data[i] >= 0x21:
            i += 2
        else:
            i += 1
    return out


def build_stray(cases, rng, per_case):
    """Texts that a few odd bytes must not turn into another code."""
    pool = [line for line in corpus.manpage_lines() if corpus.is_test_line(line)]
    made = 0
    while made < per_case:
        start = rng.randrange(len(pool) - 40)
        lines = pool[start:start + rng.randint(1, 40)]
        text = "\n".join(lines) + "\n"
        if not has_japanese(text) or "\ufffd" in text:
            continue
        k = rng.randrange(len(text) + 1)
        for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
            data = convert(text[:k] + "\0" + text[k:], code)
            if data is not None:
                cases.add("stray", code, data)
        data = convert(text, "ISO-2022-JP")
        if data is not None:
            at = rng.choice(jis_boundaries(data))
            cases.add("stray", "ISO-2022-JP", data[:at] + b"\x1b$Z" + data[at:])
        made += 1


def build_kanaline(cases, rng, per_case):
    readings = sorted({r for r in corpus.katakana_readings() if corpus.is_test_line(r)})
    lines = []
    for _ in range(per_case):
        k = rng.choice([1, 1, 2, 2, 3, 4, 5, 6])
        sep = rng.choice([" ", " ", "", "\uff65", "\u3000", "\uff70"]) if k > 1 else ""
        words = [corpus.to_half_width_katakana(rng.choice(readings)) for _ in range(k)]
        lines.append(sep.join(words) + rng.choice(["\n", "\n", "\r\n", ""]))
    for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
        for line in lines:
            data = convert(line, code)
            if data is not None:
                cases.add("kanaline", code, data)


def build_words(cases, rng, per_case):
    words = sorted({w for w in corpus.skk_words() if corpus.is_test_line(w) and w.strip()
                    and all(ord(c) >= 0x3000 for c in w)})
    for _ in range(per_case):
        k = rng.choice([1, 1, 2, 3])
        line = rng.choice([" ", "", "\u3001"]).join(rng.choice(words) for _ in range(k))
        line += rng.choice(["\n", "\r\n", ""])
        for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
            data = convert(line, code)
            if data is not None:
                cases.add("words", code, data)


CP932_EXTENSIONS = "\u2460\u2461\u2473\u2160\u2161\u2169\u3231\u3232\u338f\u339c\u2252\u2261" \
    "\u9ad9\ufa11\u7e8a\uff5e\u2235\u2170\u3239\u337b\u2116\u2121"


def build_cp932sp(cases, rng, per_case):
    pool = [line for line in corpus.manpage_lines() if corpus.is_test_line(line)
            and has_japanese(line) and 10 <= len(line) <= 30 and "\ufffd" not in line]
    for _ in range(per_case):
        line = rng.choice(pool)
        for _ in range(rng.randint(1, 2)):
            k = rng.randrange(len(line) + 1)
            line = line[:k] + rng.choice(CP932_EXTENSIONS) + line[k:]
        for code in ("Shift_JIS", "EUC-JP"):
            data = convert(line + "\n", code)
            if data is not None:
                cases.add("cp932sp", code, data)


def has_japanese(s):
    return any(ord(c) >= 0x3000 for c in s)


def build_lines(cases, rng, per_case):
    pool = [line for line in corpus.manpage_lines() if corpus.is_test_line(line)]
    pool += [line for line in corpus.skk_lines() if corpus.is_test_line(line)]
    pool += [line for line in corpus.ipadic_lines() if corpus.is_test_line(line)]
    pool = [line for line in pool if has_japanese(line) and "\ufffd" not in line]
    rng.shuffle(pool)
    for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
        encoded = convert_lines(pool[:per_case * 6], code)
        n = 0
        for data in encoded:
            if data is not None and 20 <= len(data) <= 50:
                cases.add("lines", code, data + b"\n")
                n += 1
                if n == per_case:
                    break


def build_ascii4k(cases, rng, per_case):
    ascii_lines = [line for line in corpus.manpage_lines()
                   if corpus.is_test_line(line) and line and all(ord(c) < 0x80 for c in line)]
    words = set()
    for word in list(corpus.skk_words()) + [row[0] for row in corpus.ipadic_rows() if row]:
        if (len(word) == 2 and all(0x4E00 <= ord(c) <= 0x9FFF for c in word)
                and corpus.is_test_line(word)):
            words.add(word)
    words = sorted(words)
    for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
        made = 0
        while made < per_case:
            word = rng.choice(words)
            start = rng.randrange(len(ascii_lines) - 200)
            body, k = [], start
            while sum(len(x) + 1 for x in body) < 4096:
                body.append(ascii_lines[k])
                k += 1
            target = rng.randrange(len(body))
            parts = body[target].split(" ")
            parts.insert(rng.randrange(len(parts) + 1), word)
            body[target] = " ".join(parts)
            data = convert("\n".join(body) + "\n", code)
            if data is not None:
                cases.add("ascii4k", code, data)
                made += 1


def build_halfkana(cases, rng, per_case):
    readings = sorted({r for r in corpus.katakana_readings() if corpus.is_test_line(r)})
    for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
        lines = []
        while len(lines) < per_case:
            words, length = [], 0
            limit = rng.randint(20, 50)
            while True:
                w = corpus.to_half_width_katakana(rng.choice(readings))
                if length + len(w) + 1 > limit and words:
                    break
                words.append(w)
                length += len(w) + 1
            line = " ".join(words)
            if len(line.encode("cp932")) >= 20:
                lines.append(line)
        for data in convert_lines(lines, code):
            if data is not None:
                cases.add("halfkana", code, data + b"\n")
    # Most half-width lines hold an odd run somewhere, which EUC-JP cannot read; these cannot.
    made = 0
    while made < per_case:
        words = [corpus.to_half_width_katakana(rng.choice(readings)) for _ in range(rng.randint(1, 5))]
        data = " ".join(words).encode("cp932")
        if 20 <= len(data) <= 50 and valid_readings(data) > 1:
            cases.add("halfkana", "Shift_JIS", data + b"\n")
            made += 1


@functools.cache
def held_out_japanese():
    """Held-out lines of all three inputs that hold Japanese, in a stable order."""
    pool = [line for line in corpus.manpage_lines() if corpus.is_test_line(line)]
    pool += [line for line in corpus.skk_lines() if corpus.is_test_line(line)]
    pool += [line for line in corpus.ipadic_lines() if corpus.is_test_line(line)]
    return [line for line in pool if has_japanese(line) and "\ufffd" not in line]


@functools.cache
def held_out_manpage_lines():
    return [line for line in corpus.manpage_lines() if corpus.is_test_line(line)]


def non_ascii(data):
    return sum(b >= 0x80 for b in data)


def build_mixed(cases, rng, per_case):
    """One legacy line amid UTF-8 lines that outweigh it: the file is UTF-8 with a bad line."""
    pool = list(held_out_japanese())
    rng.shuffle(pool)
    legacy = {code: [d for d in convert_lines(pool[:per_case * 2], code)
                     if d is not None and non_ascii(d) and not valid_utf8(d)]
              for code in ("Shift_JIS", "EUC-JP")}
    made = 0
    while made < per_case:
        line = rng.choice(legacy[rng.choice(["Shift_JIS", "EUC-JP"])])
        utf8 = [rng.choice(pool).encode("utf-8") for _ in range(rng.randint(1, 3))]
        if sum(non_ascii(d) for d in utf8) <= non_ascii(line):
            continue
        lines = utf8 + [line]
        rng.shuffle(lines)
        cases.add("mixed", "UTF-8", b"\n".join(lines) + b"\n")
        made += 1


def valid_utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


KANA_KANJI = re.compile("[\u3041-\u3096\u30a1-\u30fa\u30fc\u3005\u4e00-\u9fff]{4,}")


def build_bare16(cases, rng, per_case):
    """UTF-16 without BOM and without a single NUL: no ASCII, no line end, kana and kanji only."""
    runs = sorted({run for line in held_out_japanese() for run in KANA_KANJI.findall(line)})
    for code, codec in (("UTF-16LE", "utf-16-le"), ("UTF-16BE", "utf-16-be")):
        made = 0
        while made < per_case:
            data = rng.choice(runs).encode(codec)
            # 一 (U+4E00) and its like hold a NUL; bytes all below 0x80 are ASCII text as well.
            if b"\0" in data or not non_ascii(data):
                continue
            cases.add("bare16", code, data)
            made += 1


def build_utf32(cases, rng, per_case):
    """UTF-32 with BOM; without one it is Binary: its NUL pairs must not pass for UTF-16."""
    pool = [line for line in held_out_japanese() if 4 <= len(line) <= 80]
    for code, codec in (("UTF-32LE", "utf-32-le"), ("UTF-32BE", "utf-32-be")):
        for _ in range(per_case):
            cases.add("utf32", code, ("\ufeff" + rng.choice(pool) + "\n").encode(codec))
        for _ in range(per_case):
            cases.add("utf32", BINARY, (rng.choice(pool) + "\n").encode(codec))


C0 = [chr(c) for c in range(1, 0x20) if c != 0x1B]  # no ESC: that would start a designation


def build_nul(cases, rng, per_case):
    """NULs that leave a text its code, and NULs that make data Binary."""
    ascii_lines = [line for line in held_out_manpage_lines()
                   if line.strip() and all(0x20 <= ord(c) < 0x7F for c in line)]
    letters = "".join(ascii_lines[:2000]).replace(" ", "")
    # Short subjects as regex tests write them: "a\0b\0c", "A\0B\n", "a\0b\x01c\x1fd\n".
    for _ in range(per_case):
        n, nuls = rng.randint(3, 15), rng.randint(1, 2)
        ctrls = min(rng.choice([0, 0, 1, 2, 3]), n - nuls - 1)
        start = rng.randrange(len(letters) - n)
        s = list(letters[start:start + n - nuls - ctrls])
        newline = ctrls > 0 and rng.random() < 0.5
        for c in ["\0"] * nuls + [rng.choice(C0) for _ in range(ctrls - newline)]:
            s.insert(rng.randrange(len(s) + 1), c)
        cases.add("nul", "ASCII", ("".join(s) + "\n" * newline).encode("ascii"))
    # Japanese text of a few lines with 1 to 3 NULs between characters.
    pool = held_out_manpage_lines()
    made = 0
    while made < per_case // 2:
        start = rng.randrange(len(pool) - 5)
        text = "\n".join(pool[start:start + rng.randint(2, 5)]) + "\n"
        if not has_japanese(text) or "\ufffd" in text:
            continue
        for _ in range(rng.randint(1, 3)):
            k = rng.randrange(len(text) + 1)
            text = text[:k] + "\0" + text[k:]
        for code in ("Shift_JIS", "EUC-JP", "UTF-8"):
            data = convert(text, code)
            if data is not None:
                cases.add("nul", code, data)
        made += 1
    # Fixed-width records: ASCII lines padded with NULs to 64 or 128 bytes.
    made = 0
    while made < per_case:
        width = rng.choice([64, 128])
        start = rng.randrange(len(ascii_lines) - 12)
        lines = [line for line in ascii_lines[start:start + rng.randint(4, 12)]
                 if len(line) < width]
        end = rng.choice(["", "\n"])
        data = b"".join((line + end).encode("ascii")[:width].ljust(width, b"\0") for line in lines)
        if len(lines) >= 4 and data.count(0) * 8 > len(data):
            cases.add("nul", BINARY, data)
            made += 1


JIS_X_0213_ONLY = "\U0002000b\u32d0\u24f5\u31f0\u3094\u9dd7\u525d\U00020b9f\u4ff1\U00029e3d"


def build_jis2004(cases, rng, per_case):
    """ISO-2022-JP-3: the family is ISO-2022-JP, its JIS X 0213 characters unreadable."""
    pool = [line for line in held_out_japanese() if len(line) <= 60]
    made = 0
    while made < per_case:
        lines = [rng.choice(pool) for _ in range(rng.randint(1, 3))]
        at = rng.randrange(len(lines))
        for _ in range(rng.randint(0, 2)):  # some lines need none: skkdic holds JIS X 0213
            k = rng.randrange(len(lines[at]) + 1)
            lines[at] = lines[at][:k] + rng.choice(JIS_X_0213_ONLY) + lines[at][k:]
        r = subprocess.run(["iconv", "-f", "UTF-8", "-t", "ISO-2022-JP-3"],
                           input=("\n".join(lines) + "\n").encode("utf-8"), capture_output=True)
        if r.returncode == 0 and any(e in r.stdout for e in (b"\x1b$(O", b"\x1b$(P", b"\x1b$(Q")):
            cases.add("jis2004", "ISO-2022-JP", r.stdout)
            made += 1


def build_ffbytes(cases, rng, per_case):
    """Runs of 0xFF and 0xFE. Runs of two or more, so no file starts with a BOM (FF FE, FE FF)."""
    for _ in range(per_case):
        n, data, byte = rng.randint(4, 16), b"", rng.choice([0xFF, 0xFE])
        while len(data) < n:
            data += bytes([byte]) * min(rng.randint(2, 8), n - len(data))
            byte ^= 1
        cases.add("ffbytes", BINARY, data)


def run_tool(tool, cmd, paths):
    out = {}
    for k in range(0, len(paths), 500):
        chunk = paths[k:k + 500]
        r = subprocess.run(cmd + chunk + ([chunk[0]] if len(chunk) == 1 else []),
                           capture_output=True)
        for raw in r.stdout.decode("utf-8", "replace").splitlines():
            path, _, name = raw.partition(": ")
            out[path] = normalise(tool, name) if tool not in MORVELLE else name
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", default=os.path.join(ROOT, "build", "dev"))
    ap.add_argument("--work", default=None)
    ap.add_argument("--per-case", type=int, default=2000)
    ap.add_argument("--show", type=int, default=5)
    ap.add_argument("--cli", default=None, help="a morvelle-detect built earlier, to compare")
    ap.add_argument("--before", default=None,
                    help="another morvelle-detect, shown as its own column beside this one")
    ap.add_argument("--sets",
                    default="whole,lines,ascii4k,halfkana,halfcsv,binary,stray,kanaline,words,"
                    "cp932sp,mixed,bare16,utf32,nul,jis2004,ffbytes")
    args = ap.parse_args()

    work = args.work or tempfile.mkdtemp(prefix="morvelle-detect-")
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    cli = args.cli or os.path.join(work, "morvelle-detect")
    lib = os.path.join(args.build_dir, "components", "text")
    if not args.cli:
        subprocess.run(["c++", "-std=c++20", "-O2", "-I", os.path.join(ROOT, "components"),
                        os.path.join(ROOT, "bench", "detect", "detect_cli.cpp"),
                        os.path.join(lib, "detect", "libmorvelle_text_detect.a"),
                        os.path.join(lib, "codec", "libmorvelle_text_codec.a"), "-o", cli],
                       check=True)

    rng = random.Random(9)
    cases = Cases(os.path.join(work, "cases"))
    os.makedirs(cases.work)
    sets = args.sets.split(",")
    if "whole" in sets:
        build_whole(cases)
    if "lines" in sets:
        build_lines(cases, rng, args.per_case)
    if "ascii4k" in sets:
        build_ascii4k(cases, rng, args.per_case // 2)
    if "halfkana" in sets:
        build_halfkana(cases, rng, args.per_case // 2)
    if "halfcsv" in sets:
        build_halfcsv(cases, rng, args.per_case // 2)
    if "binary" in sets:
        build_binary(cases, args.per_case // 4)
    if "stray" in sets:
        build_stray(cases, rng, args.per_case // 2)
    if "kanaline" in sets:
        build_kanaline(cases, rng, args.per_case)
    if "words" in sets:
        build_words(cases, rng, args.per_case)
    if "cp932sp" in sets:
        build_cp932sp(cases, rng, args.per_case // 2)
    # The sets below draw from the generator after the older ones, which so stay as they were.
    if "mixed" in sets:
        build_mixed(cases, rng, args.per_case // 8)
    if "bare16" in sets:
        build_bare16(cases, rng, args.per_case // 8)
    if "utf32" in sets:
        build_utf32(cases, rng, args.per_case // 16)
    if "nul" in sets:
        build_nul(cases, rng, args.per_case // 10)
    if "jis2004" in sets:
        build_jis2004(cases, rng, args.per_case // 8)
    if "ffbytes" in sets:
        build_ffbytes(cases, rng, args.per_case // 8)

    paths = list(dict.fromkeys(p for _, _, p in cases.items))
    tools = {"before": [args.before]} if args.before else {}
    tools.update({"morvelle": [cli], "nkf": ["nkf", "--guess"], "uchardet": ["uchardet"]})
    answers = {t: run_tool(t, cmd, paths) for t, cmd in tools.items() if shutil.which(cmd[0])}

    groups = {}
    for category, expected, path in cases.items:
        groups.setdefault((category, expected), []).append(path)
    print(f"{'set':10} {'code':12} {'cases':>6} " + " ".join(f"{t:>9}" for t in answers))
    totals = {}
    for (category, expected), group in groups.items():
        row = []
        for t, got in answers.items():
            ok = sum(matches(expected, got.get(p, "?"), t) for p in group)
            row.append(f"{100.0 * ok / len(group):8.2f}%")
            tot = totals.setdefault((category, t), [0, 0])
            tot[0] += ok
            tot[1] += len(group)
        print(f"{category:10} {expected:12} {len(group):6} " + " ".join(row))
    print()
    for category in dict.fromkeys(c for c, _ in groups):
        row = [f"{100.0 * totals[(category, t)][0] / totals[(category, t)][1]:8.2f}%"
               for t in answers]
        print(f"{category:10} {'all':12} {totals[(category, t)][1]:6} " + " ".join(row))
    if args.show:
        print("\nmorvelle's misses:")
        shown = {}
        for category, expected, path in cases.items:
            got = answers["morvelle"].get(path, "?")
            if "/" not in category and got != expected and shown.get(category, 0) < args.show:
                shown[category] = shown.get(category, 0) + 1
                print(f"  {category} {expected} -> {got}: {path}")


if __name__ == "__main__":
    main()
