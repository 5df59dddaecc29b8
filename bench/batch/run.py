#!/usr/bin/env python3
"""morvelle-batch beside perl, sed, iconv and nkf doing the same work, on real Japanese text.

Each comparison runs its tools in turn (Morvelle and the peers alternating) several times and
keeps the median; a ratio is peer time / Morvelle time, so above 1 means Morvelle is faster.
Morvelle's replacement outputs are checked byte for byte against perl working on characters
(decoded with Encode); any difference fails the run loudly. Writes docs/performance.md.

  bench/batch/run.py --build DIR [--work DIR] [--mb 100] [--files 200] [--runs 5]
                     [--big-mb 500] [--out docs/performance.md]
"""

import argparse
import datetime
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import bench_corpus as corpus  # noqa: E402
from common import machine, ratio, run_timed, version  # noqa: E402
import large  # noqa: E402
import scale  # noqa: E402
from speed import (CONVERSIONS, LABELS, RULE_SETS, TO_LABEL, bench_convert,  # noqa: E402
                   bench_replace)

def bench_drop(args):
    drop = os.path.join(args.build, "bench", "filelist", "filelist_drop_bench")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([drop, "--files", "10000", "--runs", "1"], env=env, capture_output=True,
                         text=True, check=True)
    _, kib = run_timed([drop, "--files", "10000", "--runs", "1"], env=env)
    time_line = next((l.strip() for l in out.stdout.splitlines() if "time:" in l), "")
    return kib * 1024, time_line


def bench_startup(args):
    probe = os.path.join(args.build, "bench", "batch", "morvelle_startup_probe")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    inside, whole = [], []
    for _ in range(max(5, args.runs)):
        start = time.perf_counter()
        out = subprocess.run([probe], env=env, capture_output=True, text=True, check=True)
        whole.append((time.perf_counter() - start) * 1000)
        inside.append(float(out.stdout.split("after")[1].split("ms")[0]))
    return statistics.median(inside), statistics.median(whole)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench-batch"))
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--memory-mb", type=int, default=200)
    ap.add_argument("--large-mb", type=int, default=0, help="also a file this large (make "
                    "bench-large: 2048)")
    ap.add_argument("--convert-mb", type=int, default=48, help="size of the one large file "
                    "each code is converted from")
    ap.add_argument("--out", default=os.path.join(ROOT, "docs", "performance.md"))
    ap.add_argument("--command", default="make bench")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    batch = os.path.join(args.build, "src", "cli", "morvelle-batch")

    began = time.time()
    load_before = os.getloadavg()[0]
    print("corpus: %d MB in %d files per code ..." % (args.mb, args.files), flush=True)
    folders = corpus.build(args.work, args.mb, args.files)
    sizes = {code: corpus.size_of(folders[code]) for code in folders}

    failures = []
    replace_rows = []
    plan = [("cp932", 1), ("cp932", 5), ("cp932", 20), ("eucjp", 5), ("utf8", 5)]
    for code, count in plan:
        print("replace: %d rules on %s ..." % (count, LABELS[code]), flush=True)
        replace_rows.append((code, count) + bench_replace(args, batch, folders, code, count,
                                                          failures))
    convert_rows = []
    for conversion in CONVERSIONS:
        print("convert: %s to %s ..." % (LABELS[conversion[0]], TO_LABEL[conversion[1]]),
              flush=True)
        convert_rows.append((conversion,) + bench_convert(args, batch, folders, conversion))
    print("convert: one %d MB file per code ..." % args.convert_mb, flush=True)
    large_rows = large.large_conversions(args, batch, folders, failures)
    print("tiny files at any -j ...", flush=True)
    tiny = large.tiny_files(args, batch, folders, failures)
    print("many small files ...", flush=True)
    small = scale.small_files(args, batch, failures)
    print("sd on the UTF-8 corpus ...", flush=True)
    sd = scale.sd_row(args, batch, folders, RULE_SETS[5], failures)
    memory_rows = []
    expand_rows = []
    for mb in [args.memory_mb] + ([args.large_mb] if args.large_mb else []):
        print("memory: one %d MB file ..." % mb, flush=True)
        memory_rows.append(scale.memory(args, batch, folders, mb))
        print("memory: a rule that writes %d MB ..." % mb, flush=True)
        expand_rows.append(large.expanding(args, batch, folders, mb, failures))
    print("memory: 10,000-file drop ...", flush=True)
    drop = bench_drop(args)
    print("start-up ...", flush=True)
    startup = bench_startup(args)
    minutes = (time.time() - began) / 60
    load_after = os.getloadavg()[0]

    lines = []
    w = lines.append
    w("# Performance")
    w("")
    w("Written by `bench/batch/run.py` (run it with `%s`); rerun it after every change made for "
      "speed. Ratios are the peer's median time divided by Morvelle's on the same run, so a "
      "ratio above 1 means Morvelle is faster." % args.command)
    w("")
    w("- date: %s" % datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"))
    w("- machine: %s" % machine())
    w("- command: `%s` (%d runs per tool, median; %.0f minutes in all)" %
      (args.command, args.runs, minutes))
    w("- load average (1 min) of the machine: %.1f before, %.1f after; above 0 means other work "
      "shared the cores" % (load_before, load_after))
    w("- peers: %s; %s; %s; %s" % (version(["perl", "-e", "print qq(perl $^V with Encode "
                                              "$Encode::VERSION)", "-MEncode"]),
                                   version(["sed", "--version"]),
                                   version(["iconv", "--version"]), version(["nkf", "--version"])))
    w("- corpus: real text from manpages-ja, SKK-JISYO.L and mecab-ipadic, lines that both CP932 "
      "and EUC-JP hold, %d files per code: CP932 %.1f MB, EUC-JP %.1f MB, UTF-8 %.1f MB, "
      "UTF-16 %.1f MB" % (args.files, sizes["cp932"] / 2**20, sizes["eucjp"] / 2**20,
                          sizes["utf8"] / 2**20, sizes["utf16"] / 2**20))
    w("")
    w("## Replacement")
    w("")
    w("One process per tool for the whole corpus: `morvelle-batch -j N replace -e ... FILES`; "
      "`perl_replace.pl` (beside this script) decoding each file with Encode (characters: the "
      "correct peer) or not at all (bytes: wrong on Shift_JIS, a speed mark only); GNU sed -E "
      "once per file, with the rules it can express, on bytes (LC_ALL=C). Rules: literal, "
      "Japanese literal, case-insensitive, captures, and for 20 also anchors, alternations and "
      "character classes (`RULES` in run.py).")
    w("")
    w("The outputs are checked byte for byte against perl on characters over the UTF-8 corpus, "
      "re-encoded by iconv into the corpus's code (the corpora hold the same text). The last "
      "column compares with the timed perl's own output instead: Encode's euc-jp is not "
      "eucJP-ms and writes NEC row 13 characters (№, ①, ...) back as JIS X 0212, so on EUC-JP "
      "it changes bytes no rule touched.")
    w("")
    w("| corpus | rules | morvelle -j 1 | -j 2 | perl chars | ratio | perl bytes | ratio | "
      "sed | ratio | -j 2 gain | outputs = perl chars | = Encode's own output |")
    w("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for code, count, m, bad, encode_differs in replace_rows:
        sed_name = next((k for k in m if k.startswith("sed")), None)
        mine = m["morvelle -j 1"]
        w("| %s | %d | %.2f s | %.2f s | %.2f s | %s | %.2f s | %s | %s | %s | %s | %s | %s |" % (
            LABELS[code], count, mine, m["morvelle -j 2"], m["perl (characters)"],
            ratio(m["perl (characters)"], mine), m["perl (bytes)"], ratio(m["perl (bytes)"], mine),
            ("%.2f s (%s)" % (m[sed_name], sed_name[5:-1])) if sed_name else "-",
            ratio(m[sed_name], mine) if sed_name else "-",
            ratio(mine, m["morvelle -j 2"]),
            "yes" if bad == 0 else "**NO: %d files differ**" % bad,
            "yes" if encode_differs == 0 else "%d files differ" % encode_differs))
    w("")
    w("## Conversion")
    w("")
    w("### One large file")
    w("")
    w("One file of the corpus's text per source code (about %d MB), converted on one thread: "
      "`morvelle-batch -j 1 convert --to CODE FILE` recognising the code itself, `iconv -f -t` "
      "and `nkf -x --ic --oc` told it, each one process writing a file. Peak is the largest "
      "resident size of a run. For ISO-2022-JP, iconv has no CP50221 and nkf's output is the "
      "reference." % args.convert_mb)
    w("")
    w("| from | to | size | morvelle -j 1 | peak | iconv | peak | ratio | nkf -x | ratio | "
      "same bytes as |")
    w("|---|---|---|---|---|---|---|---|---|---|---|")
    for (source, to), size, m, same, reference in large_rows:
        mine = m["morvelle -j 1"]
        iconv = m.get("iconv")
        w("| %s | %s | %.1f MB | %.3f s | %.0f MB | %s | %s | %s | %.3f s | %s | %s |" % (
            LABELS[source], TO_LABEL.get(to, "ISO-2022-JP"), size / 2**20, mine.wall,
            mine.kib / 1024, "%.3f s" % iconv.wall if iconv else "-",
            "%.0f MB" % (iconv.kib / 1024) if iconv else "-",
            ratio(iconv.wall, mine.wall) if iconv else "-", m["nkf -x"].wall,
            ratio(m["nkf -x"].wall, mine.wall),
            ("%s: yes" % reference) if same else "**%s: NO**" % reference))
    w("")
    w("### The corpus, file by file")
    w("")
    w("`morvelle-batch -j N convert --to CODE FILES` recognises each file's code itself; iconv is "
      "told the source code; `nkf -x --ic --oc` likewise. Both peers run once per file from one "
      "shell loop, so their start-up is counted %d times." % args.files)
    w("")
    w("| from | to | morvelle -j 1 | -j 2 | iconv | ratio | nkf -x | ratio | same bytes as iconv |")
    w("|---|---|---|---|---|---|---|---|---|")
    for conversion, m, same, total in convert_rows:
        mine = m["morvelle -j 1"]
        w("| %s | %s | %.2f s | %.2f s | %.2f s | %s | %.2f s | %s | %d of %d |" % (
            LABELS[conversion[0]], TO_LABEL[conversion[1]], mine, m["morvelle -j 2"],
            m["iconv"], ratio(m["iconv"], mine), m["nkf -x"], ratio(m["nkf -x"], mine),
            same, total))
    w("")
    m, files, small_size, small_bad = small
    w("## Tiny files at any -j")
    w("")
    w("Files of about 400 bytes cut from the CP932 corpus at line ends, `morvelle-batch "
      "[-j N] replace -e '%s' FILES`; the ratio is the time over the default's (target at most "
      "1.2×). Every -j writes the same outputs." % large.TINY_RULE)
    w("")
    w("| files | " + " | ".join(label for label, _ in large.TINY_JOBS) + " | worst / default |")
    w("|---|" + "---|" * (len(large.TINY_JOBS) + 1))
    for count, tm in tiny:
        default = tm["default"].wall
        w("| %d | " % count + " | ".join("%.2f s" % tm[label].wall
                                         for label, _ in large.TINY_JOBS) +
          " | %.2f× |" % (max(tm[label].wall for label, _ in large.TINY_JOBS) / default))
    w("")
    w("## Many small files")
    w("")
    w("%d Shift_JIS files, %.1f MB in all: every Japanese manual page as installed, then "
      "SKK-JISYO.L and the mecab-ipadic dictionaries cut into 32 KB files. Rules: %s. Without "
      "rules (`convert --to sjis`, the files' own code) Morvelle recognises each file's code, checks every byte and copies it; the floor beside it reads each "
      "file, writes a temporary file and renames it (`morvelle_plain_copy`)." %
      (files, small_size / 2**20, ", ".join("`%s`" % r for r, _ in scale.SMALL_RULES)))
    w("")
    w("| morvelle -j 1 | perl chars | ratio | morvelle without rules | read, temporary file, "
      "rename | ratio | outputs = perl chars |")
    w("|---|---|---|---|---|---|---|")
    w("| %.2f s | %.2f s | %s | %.2f s | %.2f s | %.2f× | %s |" % (
        m["morvelle"], m["perl"], ratio(m["perl"], m["morvelle"]), m["morvelle without rules"],
        m["plain copy"], m["morvelle without rules"] / m["plain copy"],
        "yes" if small_bad == 0 else "**NO: %d files differ**" % small_bad))
    w("")
    if sd:
        sdm, sd_bad = sd
        w("## sd")
        w("")
        w("sd (a find-and-replace tool that edits in place on every core) over the UTF-8 corpus "
          "with the 5 rules, one sd process per rule on a fresh copy of the files; CPU seconds "
          "(user + sys) are the fair measure, wall time beside them.")
        w("")
        w("| tool | wall | CPU (user + sys) | CPU ratio | same outputs |")
        w("|---|---|---|---|---|")
        for name in ("morvelle -j 1", "morvelle -j 2", "sd"):
            wall, cpu = sdm[name]
            w("| %s | %.2f s | %.2f s | %s | %s |" % (
                name, wall, cpu, ratio(sdm["sd"][1], cpu) if name != "sd" else "-",
                ("yes" if sd_bad == 0 else "**NO: %d files differ**" % sd_bad)
                if name == "sd" else ""))
        w("")
    w("## Memory and start-up")
    w("")
    w("| measure | result |")
    w("|---|---|")
    for size, replaced, converted, (absent, perl) in memory_rows:
        w("| one %.0f MB CP932 file, replace with `%s`, -j 1 | peak %.0f MB = %.2f× the file "
          "(target at most 3×), %.1f s |" % (size / 2**20, "`, `".join(scale.MEMORY_RULES),
                                            replaced.kib / 1024, replaced.kib * 1024 / size,
                                            replaced.wall))
        w("| the same file, convert to UTF-8, -j 1 | peak %.0f MB whatever the size (it streams), "
          "%.1f s |" % (converted.kib / 1024, converted.wall))
        w("| the same file, replace with `%s`, whose text it lacks, -j 1 | peak %.0f MB = %.2f× the "
          "file, %.2f s; perl on bytes %.2f s, peak %.0f MB: %s |" % (
              scale.ABSENT_RULE, absent.kib / 1024, absent.kib * 1024 / size, absent.wall,
              perl.wall, perl.kib / 1024, ratio(perl.wall, absent.wall)))
    for size, out_size, mine, perl in expand_rows:
        w("| `%s` (each character a hundred times) on %.0f MB of UTF-8, writing %.0f MB, -j 1 | "
          "peak %.0f MB = %.2f× the larger of input and output (target at most 3×), %.1f s; "
          "`perl -0777` peak %.0f MB, %.1f s |" % (
              "s/./$&…$&/gs", size / 2**20, out_size / 2**20, mine.kib / 1024,
              mine.kib * 1024 / max(size, out_size), mine.wall, perl.kib / 1024, perl.wall))
    w("| 10,000-file drop onto the list (offscreen) | peak %.0f MB for the whole process; %s |" %
      (drop[0] / 2**20, drop[1]))
    w("| window program, start to first painted frame (offscreen) | %.1f ms inside main, %.0f ms "
      "for the whole process (median) |" % startup)
    w("")
    w("## Targets")
    w("")
    cp5 = next(r for r in replace_rows if r[0] == "cp932" and r[1] == 5)[2]
    w("- replace, 5 rules, CP932: %s perl on characters (target 5×), %s perl on bytes (target "
      "above 1×), -j 2 gain %s (target 1.7×)" % (
          ratio(cp5["perl (characters)"], cp5["morvelle -j 1"]),
          ratio(cp5["perl (bytes)"], cp5["morvelle -j 1"]),
          ratio(cp5["morvelle -j 1"], cp5["morvelle -j 2"])))
    worst_iconv = min(m["iconv"].wall / m["morvelle -j 1"].wall
                      for _, _, m, _, _ in large_rows if "iconv" in m)
    worst_nkf = min(m["nkf -x"].wall / m["morvelle -j 1"].wall for _, _, m, _, _ in large_rows)
    w("- convert one large file, slowest direction: %.2f× iconv (target 3×), %.2f× nkf (target "
      "10×); outputs the same as the reference's: %s" % (
          worst_iconv, worst_nkf, "yes" if all(r[3] for r in large_rows) else "**NO**"))
    cp1 = next(r for r in replace_rows if r[0] == "cp932" and r[1] == 1)[2]
    w("- replace, 1 rule, CP932: %s perl on bytes (target at least 1×)" %
      ratio(cp1["perl (bytes)"], cp1["morvelle -j 1"]))
    w("- tiny files, worst -j over the default: %s (target at most 1.2×)" % ", ".join(
        "%.2f× for %d" % (max(tm[label].wall for label, _ in large.TINY_JOBS) /
                          tm["default"].wall, count) for count, tm in tiny))
    w("- many small files, 5 rules, -j 1: %s perl on characters (target 5×); without rules "
      "%.2f× the plain read, temporary file and rename (target at most 1.3×)" % (
          ratio(m["perl"], m["morvelle"]), m["morvelle without rules"] / m["plain copy"]))
    cp20 = next(r for r in replace_rows if r[0] == "cp932" and r[1] == 20)[2]
    w("- replace, 20 rules, CP932: %s perl on characters (target 3×)" %
      ratio(cp20["perl (characters)"], cp20["morvelle -j 1"]))
    if sd:
        w("- sd: Morvelle -j 2 uses %.2f of sd's CPU seconds (target at most 0.5)" %
          (sd[0]["morvelle -j 2"][1] / sd[0]["sd"][1]))
    for size, replaced, converted, _ in memory_rows:
        w("- memory, %.0f MB: replace %.2f× the file (target at most 3×), convert peak %.0f MB "
          "(target: a few MB)" % (size / 2**20, replaced.kib * 1024 / size,
                                  converted.kib / 1024))
    for size, out_size, mine, _ in expand_rows:
        w("- memory, a rule writing %.0f MB: %.2f× the larger of input and output (target at "
          "most 3×)" % (out_size / 2**20, mine.kib * 1024 / max(size, out_size)))
    if failures:
        w("")
        w("## FAILED")
        w("")
        for f in failures:
            w("- " + f)
    text = "\n".join(lines) + "\n"
    # Hand-written analysis below the marker survives a rerun.
    marker = "<!-- notes: kept by run.py -->"
    notes = ""
    if os.path.exists(args.out):
        with open(args.out) as f:
            old = f.read()
        if marker in old:
            notes = old[old.index(marker):]
    text += "\n" + (notes or marker + "\n")
    os.makedirs(os.path.dirname(args.out), exist_ok=True)
    with open(args.out, "w") as f:
        f.write(text)
    print(text)
    if failures:
        print("\nBENCHMARK FAILED: Morvelle's outputs differ from perl's on characters:",
              file=sys.stderr)
        for f in failures:
            print("  " + f, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
