"""The rows of make bench about one large file and about threads: conversion of one file of
tens of megabytes beside iconv and nkf (one process each, as people run them), its peak memory,
a rule that makes the text a hundred times longer, and many tiny files at any -j.

Times are medians of whole processes run in turn; a ratio is peer / Morvelle."""

import hashlib
import os
import statistics

import bench_corpus as corpus
from common import run_process
from speed import CONVERSIONS

# As CONVERSIONS, and CP932 to ISO-2022-JP, which iconv does not write as people expect;
# nkf's CP50221 is the reference there.
LARGE_CONVERSIONS = CONVERSIONS + [("cp932", "jis", None, None, "CP932", "CP50221")]
TINY_COUNTS = (5000, 20000)
TINY_JOBS = (("-j 1", ["-j", "1"]), ("default", []), ("-j 256", ["-j", "256"]),
             ("-j 1024", ["-j", "1024"]))
TINY_RULE = "s/の/ノ/g"
# Each character into a hundred: the replacement's size is what the run must hold.
EXPAND_RULE = "s/./" + "$&" * 100 + "/gs"
EXPAND_PERL = "s/(.)/$1 x 100/gse"


class Measured:
    """Median wall seconds and the largest peak resident KiB of one tool's runs."""

    def __init__(self, runs):
        self.wall = statistics.median(r.wall for r in runs)
        self.kib = max(r.kib for r in runs)


def in_turn(tools, runs):
    """Every run goes once through all tools in turn; a Measured per tool."""
    times = {name: [] for name, _ in tools}
    for _ in range(runs):
        for name, action in tools:
            times[name].append(action())
    return {name: Measured(values) for name, values in times.items()}


def _same_as_iconv(mine, theirs, to):
    with open(mine, "rb") as a, open(theirs, "rb") as b:
        m, t = a.read(), b.read()
    if to == "ucs2" and t.startswith(b"\xfe\xff"):
        # glibc's "UTF-16" writes big-endian with a byte-order mark; compare the characters.
        t = b"\xff\xfe" + t[2:].decode("utf-16-be").encode("utf-16-le")
    return m == t


def _converted(batch, to, path):
    """Morvelle converting path, with no earlier output to replace: the peers' outputs are
    truncated before their timed runs begin (the shell's redirection), so freeing the last
    run's tens of megabytes is left out of every tool's time alike."""
    if os.path.exists(path + ".exp"):
        os.unlink(path + ".exp")
    return run_process([batch, "-j", "1", "convert", "--to", to, path])


def large_conversions(args, batch, folders, failures):
    """One file of args.convert_mb MB per source code, converted on one thread by Morvelle,
    iconv and nkf; Morvelle's output must be iconv's (nkf's for ISO-2022-JP)."""
    rows = []
    for source, to, ifrom, ito, nic, noc in LARGE_CONVERSIONS:
        path = corpus.big_file(args.work, folders[source], args.convert_mb,
                               "one-%s-%d.txt" % (source, args.convert_mb))
        iconv_out, nkf_out = path + ".iconv", path + ".nkf"
        tools = [("morvelle -j 1", lambda to=to, path=path: _converted(batch, to, path))]
        if ifrom:
            tools.append(("iconv", lambda ifrom=ifrom, ito=ito, path=path: run_process(
                ["iconv", "-f", ifrom, "-t", ito, path], stdout=iconv_out)))
        tools.append(("nkf -x", lambda nic=nic, noc=noc, path=path: run_process(
            ["nkf", "-x", "--ic=" + nic, "--oc=" + noc, path], stdout=nkf_out)))
        m = in_turn(tools, args.runs)
        if ifrom:
            same = _same_as_iconv(path + ".exp", iconv_out, to)
        else:
            with open(path + ".exp", "rb") as a, open(nkf_out, "rb") as b:
                same = a.read() == b.read()
        if not same:
            failures.append("convert one file from %s to %s: not the same bytes as %s" %
                            (source, to, "iconv" if ifrom else "nkf"))
        for p in (path + ".exp", iconv_out, nkf_out):
            if os.path.exists(p):
                os.unlink(p)
        rows.append(((source, to), os.path.getsize(path), m, same, "iconv" if ifrom else "nkf"))
    return rows


def _digest(folder, names):
    h = hashlib.sha256()
    for n in names:
        with open(os.path.join(folder, n + ".exp"), "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def tiny_files(args, batch, folders, failures):
    """5,000 and 20,000 files of about 400 bytes, one rule, at -j 1, the default, 256 and 1024;
    every -j must write the same outputs."""
    rows = []
    for count in TINY_COUNTS:
        folder = corpus.tiny_files(args.work, folders["cp932"], count)
        names = corpus.sources_of(folder)

        def run(jobs, names=names, folder=folder):
            return run_process([batch] + jobs + ["replace", "-e", TINY_RULE] + names, cwd=folder)

        run(["-j", "1"])
        expected = _digest(folder, names)
        m = in_turn([(label, lambda jobs=jobs: run(jobs)) for label, jobs in TINY_JOBS], args.runs)
        if _digest(folder, names) != expected:
            failures.append("%d tiny files: -j 1024 wrote other outputs than -j 1" % count)
        for n in names:
            os.unlink(os.path.join(folder, n + ".exp"))
        rows.append((count, m))
    return rows


def expanding(args, batch, folders, out_mb, failures):
    """A rule that writes each character a hundred times, on a UTF-8 file of out_mb / 100 MB:
    Morvelle's peak memory against the larger of input and output, and perl -0777's."""
    in_mb = max(1, out_mb // 100)
    path = corpus.big_file(args.work, folders["utf8"], in_mb, "expand-%d.txt" % in_mb)
    perl_out = path + ".perl"
    mine = run_process([batch, "-j", "1", "replace", "-e", EXPAND_RULE, path])
    perl = run_process(["perl", "-CSD", "-0777", "-pe", EXPAND_PERL, path], stdout=perl_out)
    out_size = os.path.getsize(path + ".exp")
    if out_size != os.path.getsize(perl_out) or not _equal_files(path + ".exp", perl_out):
        failures.append("expanding rule: Morvelle's output differs from perl's")
    os.unlink(path + ".exp")
    os.unlink(perl_out)
    return os.path.getsize(path), out_size, mine, perl


def _equal_files(a, b, block=1 << 24):
    with open(a, "rb") as x, open(b, "rb") as y:
        while True:
            p, q = x.read(block), y.read(block)
            if p != q:
                return False
            if not p:
                return True
