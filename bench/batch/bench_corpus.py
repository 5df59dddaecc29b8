"""The benchmark's corpus: real Japanese text from the machine (manpages-ja, SKK-JISYO.L,
mecab-ipadic, read through tools/pairmodel/corpus.py), cut into files of equal size and written
in CP932, EUC-JP (eucJP-ms) and UTF-8, plus UTF-16LE with a BOM for the conversions back.

Only lines that CP932 and EUC-JP both hold are kept, so that every corpus carries the same text
and each peer can read every file. The encodings are made by glibc's iconv, the reference
mapping of the project.
"""

import os
import random
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "pairmodel"))
import corpus as sources  # noqa: E402

ICONV_NAMES = {"cp932": "CP932", "eucjp": "EUC-JP-MS", "utf8": "UTF-8"}


def _holds(line):
    if any(ord(c) < 0x20 and c != "\t" for c in line):
        return False
    try:
        if line.encode("cp932").decode("cp932") != line:
            return False
        if line.encode("euc_jp").decode("euc_jp") != line:
            return False
    except UnicodeError:
        return False
    return True


def _blocks(block_lines=120):
    """Runs of consecutive lines from each source, so files read like text, not a shuffle."""
    feeds = [sources.manpage_lines(), sources.skk_lines(), sources.ipadic_lines()]
    blocks = []
    for feed in feeds:
        block = []
        for line in feed:
            if not _holds(line):
                continue
            block.append(line)
            if len(block) == block_lines:
                blocks.append(block)
                block = []
        if block:
            blocks.append(block)
    return blocks


def build(work, total_mb, files):
    """Writes work/{cp932,eucjp,utf8,utf16}/NNN.txt once; returns the folders by code."""
    stamp = os.path.join(work, "corpus-%d-%d.done" % (total_mb, files))
    folders = {code: os.path.join(work, code) for code in ("cp932", "eucjp", "utf8", "utf16")}
    if os.path.exists(stamp):
        return folders
    for folder in folders.values():
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            os.unlink(os.path.join(folder, name))

    blocks = _blocks()
    if not blocks:
        raise SystemExit("no corpus text: install manpages-ja, skkdic and mecab-ipadic")
    rng = random.Random(20240)
    per_file = total_mb * 1024 * 1024 // files  # CP932 bytes
    order = []
    for i in range(files):
        text, size = [], 0
        while size < per_file:
            if not order:
                order = list(range(len(blocks)))
                rng.shuffle(order)
            for line in blocks[order.pop()]:
                text.append(line)
                size += len(line.encode("cp932")) + 1
        utf8 = ("\n".join(text) + "\n").encode("utf-8")
        name = "%03d.txt" % i
        with open(os.path.join(folders["utf8"], name), "wb") as f:
            f.write(utf8)
        for code in ("cp932", "eucjp"):
            r = subprocess.run(["iconv", "-f", "UTF-8", "-t", ICONV_NAMES[code]], input=utf8,
                               capture_output=True, check=True)
            with open(os.path.join(folders[code], name), "wb") as f:
                f.write(r.stdout)
        r = subprocess.run(["iconv", "-f", "UTF-8", "-t", "UTF-16LE"], input=utf8,
                           capture_output=True, check=True)
        with open(os.path.join(folders["utf16"], name), "wb") as f:
            f.write(b"\xff\xfe" + r.stdout)
    open(stamp, "w").close()
    return folders


def small_files(work, chunk_kb=32):
    """A folder of many small Shift_JIS files, as people keep them: every Japanese manual page
    as it is installed, then SKK-JISYO.L and the mecab-ipadic dictionaries cut into files of
    chunk_kb KB; lines CP932 cannot hold are left out. Written by glibc's iconv once."""
    folder = os.path.join(work, "small")
    stamp = os.path.join(work, "small-%d.done" % chunk_kb)
    if os.path.exists(stamp):
        return folder
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.unlink(os.path.join(folder, name))
    count = 0

    def write(lines):
        nonlocal count
        if not lines:
            return
        utf8 = ("\n".join(lines) + "\n").encode("utf-8")
        r = subprocess.run(["iconv", "-f", "UTF-8", "-t", "CP932"], input=utf8,
                           capture_output=True, check=True)
        with open(os.path.join(folder, "%04d.txt" % count), "wb") as f:
            f.write(r.stdout)
        count += 1

    for path in sources.manpage_paths():
        write([line for line in sources.read_manpage(path).splitlines() if _holds(line)])
    for feed in (sources.skk_lines(), sources.ipadic_lines()):
        chunk, size = [], 0
        for line in feed:
            if not _holds(line):
                continue
            chunk.append(line)
            size += len(line.encode("cp932")) + 1
            if size >= chunk_kb * 1024:
                write(chunk)
                chunk, size = [], 0
        write(chunk)
    if count == 0:
        raise SystemExit("no corpus text: install manpages-ja, skkdic and mecab-ipadic")
    open(stamp, "w").close()
    return folder


def sources_of(folder):
    return sorted(n for n in os.listdir(folder) if n.endswith(".txt"))


def size_of(folder):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in sources_of(folder))


def big_file(work, folder, size_mb, name=None):
    """One file of size_mb MB made of the corpus files of `folder` one after another. A UTF-16
    corpus file's byte-order mark is kept once, at the start: inside, it would be a character
    (ZERO WIDTH NO-BREAK SPACE) no legacy code holds."""
    path = os.path.join(work, name or "big-%d.txt" % size_mb)
    if os.path.exists(path) and os.path.getsize(path) >= size_mb * 1024 * 1024:
        return path
    target = size_mb * 1024 * 1024
    written = 0
    with open(path + ".part", "wb") as out:
        while written < target:
            for name in sources_of(folder):
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                if data.startswith(b"\xff\xfe") and written > 0:
                    data = data[2:]
                out.write(data)
                written += len(data)
                if written >= target:
                    break
    os.replace(path + ".part", path)
    return path


def tiny_files(work, folder, count, size=400):
    """`count` files of about `size` bytes each, cut at line ends from the Shift_JIS corpus in
    `folder`: the many-tiny-files case, where a run's cost is its per-file steps and threads."""
    out = os.path.join(work, "tiny-%d" % count)
    stamp = out + ".done"
    if os.path.exists(stamp):
        return out
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    made = 0
    while made < count:
        for name in sources_of(folder):
            with open(os.path.join(folder, name), "rb") as f:
                lines = f.read().split(b"\n")
            chunk, length = [], 0
            for line in lines:
                chunk.append(line)
                length += len(line) + 1
                if length >= size:
                    with open(os.path.join(out, "%05d.txt" % made), "wb") as f:
                        f.write(b"\n".join(chunk) + b"\n")
                    made += 1
                    chunk, length = [], 0
                    if made == count:
                        break
            if made == count:
                break
    open(stamp, "w").close()
    return out
