#!/usr/bin/env python3
"""The two measures of scale, each tool run in turn with its peers and the medians kept.

  measure.py small BUILD FOLDER [--runs N]
      morvelle-batch -j 1 with five rules beside perl on characters, and the pass without rules
      beside morvelle_plain_copy (read, temporary file, rename), over every *.txt of FOLDER (a
      copy: outputs are written beside the files). Outputs are checked against perl's.
  measure.py memory BUILD FILE [--rules N]
      peak resident memory of morvelle-batch replacing in (and converting) one large file, as a
      multiple of its size.

Times are wall clock and CPU (user + system) of the child; on a shared machine CPU time is
the steadier of the two. Each run starts after a sync. The load average is printed with the
results.
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PERL = os.path.join(HERE, "..", "batch", "perl_replace.pl")

SMALL_RULES = [
    "s/東京/大阪/g",
    r"s/(\d+)/<$1>/g",
    r"s/\b(the|and|of)\b/\U$1/gi",
    r"s/\p{Katakana}+/カ/g",
    "s/。/．/g",
]
BIG_RULES = [r"s/(\d+)/<$1>/g", "s/の/ノ/g"]


def run(cmd, cwd=None):
    """(wall seconds, cpu seconds, peak KiB) of one run of cmd. The run starts with nothing left
    to write back, so that the last tool's outputs are not written on this one's time."""
    os.sync()
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit("failed (%d): %s" % (status, " ".join(cmd[:6])))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def expressions(rules):
    out = []
    for r in rules:
        out += ["-e", r]
    return out


def small(args):
    batch = os.path.join(args.build, "src", "cli", "morvelle-batch")
    plain = os.path.join(args.build, "bench", "batch", "morvelle_plain_copy")
    names = sorted(n for n in os.listdir(args.folder) if n.endswith(".txt"))
    perl_out = os.path.join(args.folder, "..", "perl-out")
    os.makedirs(perl_out, exist_ok=True)
    rules_file = os.path.join(perl_out, "..", "rules.utf8")
    with open(rules_file, "w", encoding="utf-8") as f:
        f.write("\n".join(SMALL_RULES) + "\n")
    tools = [
        ("perl characters", ["perl", PERL, "chars", "cp932", rules_file, perl_out] + names),
        ("morvelle 5 rules", [batch, "-j", "1", "replace"] + expressions(SMALL_RULES) + names),
        ("morvelle no rule", [batch, "-j", "1", "replace"] + names),
        ("plain copy", [plain] + names),
    ]
    results = {name: [] for name, _ in tools}
    for _ in range(args.runs):
        for name, cmd in tools:
            results[name].append(run(cmd, cwd=args.folder))
            if name == "morvelle 5 rules":
                check(args.folder, perl_out, names)
    med = {n: (statistics.median(w for w, _, _ in r), statistics.median(c for _, c, _ in r))
           for n, r in results.items()}
    print("%d files, %.1f MB, %d runs, load %s" % (
        len(names), sum(os.path.getsize(os.path.join(args.folder, n)) for n in names) / 1e6,
        args.runs, open("/proc/loadavg").read().split()[:3]))
    for n, (w, c) in med.items():
        print("  %-18s wall %6.3f s  cpu %6.3f s" % (n, w, c))
    for label, a, b in (("perl / morvelle", "perl characters", "morvelle 5 rules"),
                        ("no rule / plain", "morvelle no rule", "plain copy")):
        print("  %-18s wall %5.2f×  cpu %5.2f×" % (
            label, med[a][0] / med[b][0], med[a][1] / max(med[b][1], 1e-9)))


def check(folder, perl_out, names):
    for n in names:
        mine = os.path.join(folder, n + ".exp")
        with open(mine, "rb") as a, open(os.path.join(perl_out, n), "rb") as b:
            if a.read() != b.read():
                sys.exit("output differs from perl's: " + n)


def memory(args):
    batch = os.path.join(args.build, "src", "cli", "morvelle-batch")
    size = os.path.getsize(args.file)
    rows = [("replace", [batch, "-j", "1", "replace"] + expressions(BIG_RULES) + [args.file]),
            ("replace -j 2", [batch, "-j", "2", "replace"] + expressions(BIG_RULES) + [args.file]),
            ("convert to EUC-JP", [batch, "-j", "1", "convert", "--to", "euc", args.file])]
    print("%s: %.1f MB, load %s" % (args.file, size / 1e6,
                                    open("/proc/loadavg").read().split()[:3]))
    for label, cmd in rows:
        wall, cpu, kib = run(cmd)
        print("  %-18s peak %7.1f MB = %.2f× the file, wall %.2f s, cpu %.2f s" % (
            label, kib * 1024 / 1e6, kib * 1024 / size, wall, cpu))
    os.unlink(args.file + ".exp")


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="what", required=True)
    s = sub.add_parser("small")
    s.add_argument("build")
    s.add_argument("folder")
    s.add_argument("--runs", type=int, default=5)
    m = sub.add_parser("memory")
    m.add_argument("build")
    m.add_argument("file")
    args = ap.parse_args()
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    small(args) if args.what == "small" else memory(args)


if __name__ == "__main__":
    main()
