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
import platform
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import bench_corpus as corpus  # noqa: E402

# (perl / Morvelle rule, sed -E rule or None). sed works on bytes: [0-9] for \d, I for /i.
RULES = [
    ("s/the/THE/g", "s/the/THE/g"),
    ("s/日本語/ニホンゴ/g", "s/日本語/ニホンゴ/g"),
    ("s/file/FILE/gi", "s/file/FILE/gI"),
    ("s/(\\d+),(\\d+)/$2;$1/g", "s/([0-9]+),([0-9]+)/\\2;\\1/g"),
    ("s/ファイル/文書/g", "s/ファイル/文書/g"),
    ("s/\\bman\\b/MAN/g", "s/\\bman\\b/MAN/g"),
    ("s/する/為る/g", "s/する/為る/g"),
    ("s/(コマンド|オプション)/[$1]/g", "s/(コマンド|オプション)/[\\1]/g"),
    ("s/error/ERROR/gi", "s/error/ERROR/gI"),
    ("s/^\\.TH /.th /gm", "s/^\\.TH /.th /"),
    ("s/[ \\t]+$//gm", "s/[ \\t]+$//"),
    ("s/([a-z]+)-([a-z]+)/$2-$1/g", "s/([a-z]+)-([a-z]+)/\\2-\\1/g"),
    ("s/漢字/かんじ/g", "s/漢字/かんじ/g"),
    ("s/(\\w+)ing\\b/$1ING/g", None),  # \w is every script's letters in perl
    ("s/です/だ/g", "s/です/だ/g"),
    ("s/ます。/る。/g", "s/ます。/る。/g"),
    ("s/linux/Linux/gi", "s/linux/Linux/gI"),
    ("s/(\\d{4})-(\\d\\d)-(\\d\\d)/$3.$2.$1/g", None),
    ("s/ユーザー/利用者/g", "s/ユーザー/利用者/g"),
    ("s/(?:名詞|動詞),一般/$&!/g", None),
]
RULE_SETS = {1: RULES[:1], 5: RULES[:5], 20: RULES}

ENCODE_NAMES = {"cp932": "cp932", "eucjp": "euc-jp", "utf8": "UTF-8"}
FILE_CODES = {"cp932": "cp932", "eucjp": "euc_jp", "utf8": "utf-8"}
LABELS = {"cp932": "CP932", "eucjp": "EUC-JP", "utf8": "UTF-8", "utf16": "UTF-16"}

# Conversions: (from corpus, Morvelle --to, iconv -f, iconv -t, nkf --ic, nkf --oc)
CONVERSIONS = [
    ("cp932", "euc", "CP932", "EUC-JP-MS", "CP932", "eucJP-ms"),
    ("cp932", "utf8", "CP932", "UTF-8", "CP932", "UTF-8"),
    ("cp932", "ucs2", "CP932", "UTF-16", "CP932", "UTF-16LE-BOM"),
    ("eucjp", "sjis", "EUC-JP-MS", "CP932", "eucJP-ms", "CP932"),
    ("utf8", "sjis", "UTF-8", "CP932", "UTF-8", "CP932"),
    ("utf16", "sjis", "UTF-16", "CP932", "UTF-16LE", "CP932"),
]
TO_LABEL = {"euc": "EUC-JP", "utf8": "UTF-8", "ucs2": "UTF-16", "sjis": "CP932"}


def run_timed(cmd, cwd=None, env=None, shell=False):
    """Wall seconds and peak resident KiB of one command (its own process only)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, shell=shell, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    err = proc.stderr.read().decode("utf-8", "replace")
    proc.stderr.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise SystemExit("failed (%d): %s\n%s" % (proc.returncode, cmd if shell else " ".join(cmd), err))
    return elapsed, usage.ru_maxrss


def alternate(tools, runs):
    """Median seconds per tool; every run goes once through all tools in turn."""
    times = {name: [] for name, _ in tools}
    for _ in range(runs):
        for name, action in tools:
            times[name].append(action())
    return {name: statistics.median(values) for name, values in times.items()}


def in_bytes(rule, code, meta_in_replacement):
    """The rule for a tool that reads bytes: each non-ASCII character becomes its bytes in
    `code`, with a backslash before every punctuation byte inside them (a Shift_JIS trail byte
    can be "{", "|" or a backslash), so the rule means what it says as far as bytes can."""
    _, pattern, replacement, flags = rule.split("/")

    def encode(part, meta):
        out = b""
        for c in part:
            raw = c.encode(code)
            if ord(c) < 0x80:
                out += raw
                continue
            for b in raw:
                ch = bytes([b])
                if b < 0x80 and not ch.isalnum() and (meta is None or ch in meta):
                    out += b"\\"
                out += ch
        return out

    return b"s/" + encode(pattern, None) + b"/" + encode(replacement, meta_in_replacement) + \
        b"/" + flags.encode("ascii")


def write_rules(path, rules, code):
    with open(path, "wb") as f:
        for perl_rule, _ in rules:
            line = (perl_rule.encode(code) if code == "utf-8"
                    else in_bytes(perl_rule, code, b"\\$@"))
            f.write(line + b"\n")


def sed_script(path, rules, code):
    with open(path, "wb") as f:
        for _, sed_rule in rules:
            if sed_rule:
                f.write(in_bytes(sed_rule, code, b"\\&") + b"\n")
    return sum(1 for _, s in rules if s)


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def compare_outputs(folder, reference, names):
    """Names of the files whose Morvelle output differs from the reference's."""
    bad = []
    for n in names:
        with open(os.path.join(folder, n + ".exp"), "rb") as a, \
                open(os.path.join(reference, n), "rb") as b:
            if a.read() != b.read():
                bad.append(n)
    return bad


def reference_outputs(args, folders, count, code):
    """perl on characters over the UTF-8 corpus, re-encoded to `code` by iconv: what every
    corpus must come out as. Encode's euc-jp is not eucJP-ms (it rewrites NEC row 13 as
    JIS X 0212), so perl's own EUC-JP output cannot be the reference for bytes it never meant
    to change."""
    base = os.path.join(args.work, "reference-%d" % count)
    utf8_out = os.path.join(base, "utf8")
    if not os.path.isdir(utf8_out):
        fresh(utf8_out)
        rules = os.path.join(base, "rules.utf8")
        write_rules(rules, RULE_SETS[count], "utf-8")
        names = corpus.sources_of(folders["utf8"])
        run_timed([shutil.which("perl"), os.path.join(HERE, "perl_replace.pl"), "chars",
                   "UTF-8", rules, utf8_out] + names, cwd=folders["utf8"])
    if code == "utf8":
        return utf8_out
    out = os.path.join(base, code)
    if not os.path.isdir(out):
        fresh(out)
        for n in corpus.sources_of(utf8_out):
            with open(os.path.join(utf8_out, n), "rb") as f:
                data = f.read()
            r = subprocess.run(["iconv", "-f", "UTF-8", "-t", corpus.ICONV_NAMES[code]],
                               input=data, capture_output=True, check=True)
            with open(os.path.join(out, n), "wb") as f:
                f.write(r.stdout)
    return out


def bench_replace(args, batch, folders, code, count, failures):
    folder = folders[code]
    names = corpus.sources_of(folder)
    rules = RULE_SETS[count]
    tmp = fresh(os.path.join(args.work, "replace-%s-%d" % (code, count)))
    utf8_rules = os.path.join(tmp, "rules.utf8")
    byte_rules = os.path.join(tmp, "rules.bytes")
    sed_file = os.path.join(tmp, "rules.sed")
    write_rules(utf8_rules, rules, "utf-8")
    write_rules(byte_rules, rules, FILE_CODES[code])
    sed_rules = sed_script(sed_file, rules, FILE_CODES[code])
    chars_out = fresh(os.path.join(tmp, "chars"))
    bytes_out = fresh(os.path.join(tmp, "bytes"))
    sed_out = fresh(os.path.join(tmp, "sed"))
    expressions = []
    for perl_rule, _ in rules:
        expressions += ["-e", perl_rule]
    perl = [shutil.which("perl"), os.path.join(HERE, "perl_replace.pl")]
    c_env = dict(os.environ, LC_ALL="C")

    def morvelle(jobs):
        return lambda: run_timed([batch, "-j", str(jobs), "replace"] + expressions + names,
                                 cwd=folder)[0]

    tools = [
        ("morvelle -j 1", morvelle(1)),
        ("perl (characters)", lambda: run_timed(
            perl + ["chars", ENCODE_NAMES[code], utf8_rules, chars_out] + names, cwd=folder)[0]),
        ("morvelle -j 2", morvelle(2)),
        ("perl (bytes)", lambda: run_timed(
            perl + ["bytes", "-", byte_rules, bytes_out] + names, cwd=folder)[0]),
    ]
    if sed_rules:
        loop = 'for f in *.txt; do sed -E -f "$0" "$f" > "$1/$f" || exit 1; done'
        tools.append(("sed (%d of %d rules)" % (sed_rules, len(rules)), lambda: run_timed(
            ["bash", "-c", loop, sed_file, sed_out], cwd=folder, env=c_env)[0]))
    medians = alternate(tools, args.runs)
    bad = compare_outputs(folder, reference_outputs(args, folders, count, code), names)
    if bad:
        failures.append("replace %d rules on %s: %d of %d outputs differ from perl on characters "
                        "(first: %s)" % (count, LABELS[code], len(bad), len(names), bad[0]))
    encode_differs = len(compare_outputs(folder, chars_out, names))
    for n in names:
        os.unlink(os.path.join(folder, n + ".exp"))
    shutil.rmtree(tmp)
    return medians, len(bad), encode_differs


def bench_convert(args, batch, folders, conversion):
    source, to, ifrom, ito, nic, noc = conversion
    folder = folders[source]
    names = corpus.sources_of(folder)
    tmp = fresh(os.path.join(args.work, "convert-%s-%s" % (source, to)))
    iconv_out = fresh(os.path.join(tmp, "iconv"))
    nkf_out = fresh(os.path.join(tmp, "nkf"))
    iconv_loop = 'for f in *.txt; do iconv -f "$0" -t "$1" "$f" > "$2/$f" || exit 1; done'
    nkf_loop = 'for f in *.txt; do nkf -x --ic="$0" --oc="$1" "$f" > "$2/$f" || exit 1; done'

    def morvelle(jobs):
        return lambda: run_timed([batch, "-j", str(jobs), "convert", "--to", to] + names,
                                 cwd=folder)[0]

    tools = [
        ("morvelle -j 1", morvelle(1)),
        ("iconv", lambda: run_timed(["bash", "-c", iconv_loop, ifrom, ito, iconv_out],
                                    cwd=folder)[0]),
        ("morvelle -j 2", morvelle(2)),
        ("nkf -x", lambda: run_timed(["bash", "-c", nkf_loop, nic, noc, nkf_out], cwd=folder)[0]),
    ]
    medians = alternate(tools, args.runs)
    same = 0
    for n in names:
        with open(os.path.join(folder, n + ".exp"), "rb") as a, \
                open(os.path.join(iconv_out, n), "rb") as b:
            mine, theirs = a.read(), b.read()
        if to == "ucs2" and theirs.startswith(b"\xfe\xff"):
            # glibc's "UTF-16" writes big-endian with a BOM; compare the characters.
            theirs = b"\xff\xfe" + theirs[2:].decode("utf-16-be").encode("utf-16-le")
        same += mine == theirs
        os.unlink(os.path.join(folder, n + ".exp"))
    shutil.rmtree(tmp)
    return medians, same, len(names)


def bench_big(args, batch, folders):
    path = corpus.big_file(args.work, folders["cp932"], args.big_mb)
    size = os.path.getsize(path)
    expressions = []
    for perl_rule, _ in RULE_SETS[5]:
        expressions += ["-e", perl_rule]
    seconds, kib = run_timed([batch, "-j", "1", "replace"] + expressions + [path])
    os.unlink(path + ".exp") if os.path.exists(path + ".exp") else None
    return size, seconds, kib * 1024


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


def machine():
    model = platform.processor() or "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    return "%s, %d cores, %.0f GiB, %s %s" % (model, os.cpu_count(), mem, platform.system(),
                                              platform.release())


def version(cmd):
    try:
        out = subprocess.run(cmd, capture_output=True, text=True).stdout + \
            subprocess.run(cmd, capture_output=True, text=True).stderr
    except OSError:
        return "?"
    for line in out.splitlines():
        if line.strip():
            return line.strip()
    return "?"


def ratio(peer, mine):
    return "%.2f×" % (peer / mine) if mine > 0 else "-"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench-batch"))
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--big-mb", type=int, default=500)
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
    print("memory: one %d MB file, 5 rules ..." % args.big_mb, flush=True)
    big = bench_big(args, batch, folders)
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
    w("`morvelle-batch -j N convert --to CODE FILES` recognises each file's code itself; iconv is "
      "told the source code; `nkf -x --ic --oc` likewise. Both peers run once per file from one "
      "shell loop.")
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
    w("## Memory and start-up")
    w("")
    size, seconds, peak = big
    w("| measure | result |")
    w("|---|---|")
    w("| one %.0f MB CP932 file, replace with 5 rules, -j 1 | peak %.0f MB = %.2f× the file "
      "(target at most 4×), %.1f s |" % (size / 2**20, peak / 2**20, peak / size, seconds))
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
    worst_iconv = min(m["iconv"] / m["morvelle -j 1"] for _, m, _, _ in convert_rows)
    worst_nkf = min(m["nkf -x"] / m["morvelle -j 1"] for _, m, _, _ in convert_rows)
    w("- convert, slowest direction: %.2f× iconv (target 3×), %.2f× nkf (target 10×)" %
      (worst_iconv, worst_nkf))
    w("- memory: %.2f× the file (target at most 4×)" % (peak / size))
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
