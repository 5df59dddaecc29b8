#!/usr/bin/env python3
"""Two builds of morvelle-batch on the rows of make bench, in turn: the old build, then the
new, once per run, medians compared. A ratio above 1 means the new build is faster. Prints a
Markdown table; nothing is written into the docs.

  bench/batch/paired.py --old BUILD_DIR --new BUILD_DIR [--work DIR] [--mb 100] [--files 200]
                        [--runs 5]

Build the old tree from an earlier commit, e.g.
  git worktree add /tmp/old COMMIT && cmake -S /tmp/old -B build/old --preset release
"""

import argparse
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import bench_corpus as corpus  # noqa: E402
import large  # noqa: E402
import scale  # noqa: E402
from common import run_process  # noqa: E402
from speed import CONVERSIONS, LABELS, RULE_SETS, TO_LABEL  # noqa: E402


RARE_RULE = "s/東京都/大阪府/g"


def rows(args, folders):
    """(label, folder, arguments after the program) for every row."""
    out = []
    for code, count in [("cp932", 1), ("cp932", 5), ("cp932", 20), ("eucjp", 5), ("utf8", 5)]:
        names = corpus.sources_of(folders[code])
        out.append(("replace %d rules, %s" % (count, LABELS[code]), folders[code],
                    ["-j", "1", "replace"] + scale.expressions(RULE_SETS[count]) + names))
    # A rule whose text most files lack: those are checked and copied, never decoded.
    for code in ("cp932", "utf8"):
        names = corpus.sources_of(folders[code])
        out.append(("replace 1 rule most files lack (%s), %s" % (RARE_RULE, LABELS[code]),
                    folders[code], ["-j", "1", "replace", "-e", RARE_RULE] + names))
    for source, to, *_ in CONVERSIONS:
        names = corpus.sources_of(folders[source])
        out.append(("convert %s to %s" % (LABELS[source], TO_LABEL[to]), folders[source],
                    ["-j", "1", "convert", "--to", to] + names))
    small = corpus.small_files(args.work)
    names = corpus.sources_of(small)
    out.append(("many small files, 5 rules", small,
                ["-j", "1", "replace"] + scale.expressions(scale.SMALL_RULES) + names))
    out.append(("many small files, to their own code", small,
                ["-j", "1", "convert", "--to", "sjis"] + names))
    for count in large.TINY_COUNTS:
        tiny = corpus.tiny_files(args.work, folders["cp932"], count)
        out.append(("%d tiny files, default -j" % count, tiny,
                    ["replace", "-e", large.TINY_RULE] + corpus.sources_of(tiny)))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--old", required=True)
    ap.add_argument("--new", required=True)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench-batch"))
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", default="", help="only the rows whose label holds this text")
    args = ap.parse_args()
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    programs = {which: os.path.join(os.path.abspath(getattr(args, which)), "src", "cli",
                                    "morvelle-batch") for which in ("old", "new")}
    folders = corpus.build(args.work, args.mb, args.files)
    print("| row | old | new | old / new |")
    print("|---|---|---|---|")
    for label, folder, arguments in rows(args, folders):
        if args.only not in label:
            continue
        times = {"old": [], "new": []}
        for _ in range(args.runs):
            for which in ("old", "new"):
                times[which].append(run_process([programs[which]] + arguments, cwd=folder).wall)
        old, new = statistics.median(times["old"]), statistics.median(times["new"])
        print("| %s | %.3f s | %.3f s | %.2f× |" % (label, old, new, old / new), flush=True)
        for name in os.listdir(folder):
            if name.endswith(".exp"):
                os.unlink(os.path.join(folder, name))


if __name__ == "__main__":
    main()
