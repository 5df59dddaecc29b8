"""The rows of make bench about scale: a folder of many small files, the memory of one large
file, and sd, a peer that uses every core.

Each returns what run.py prints; ratios are peer / Morvelle, so above 1 means Morvelle is
faster (or, for memory, the ratio is Morvelle's peak over the file's size)."""

import os
import shutil

import bench_corpus as corpus
from common import alternate, compare_outputs, fresh, run_process, write_rules

HERE = os.path.dirname(os.path.abspath(__file__))

# The rules of the many-small-files row: literal, captures, /i with a case change, a script
# class with many matches, punctuation.
SMALL_RULES = [
    ("s/東京/大阪/g", None),
    ("s/(\\d+)/<$1>/g", None),
    ("s/\\b(the|and|of)\\b/\\U$1/gi", None),
    ("s/\\p{Katakana}+/カ/g", None),
    ("s/。/．/g", None),
]
# Rules that change a large file all over, for its memory.
MEMORY_RULES = ["s/(\\d+)/<$1>/g", "s/の/ノ/g"]
# A rule whose text the large file lacks: the file is checked and copied, never decoded.
ABSENT_RULE = "s/東京東京都/大阪府/g"


def expressions(rules):
    out = []
    for rule in rules:
        out += ["-e", rule if isinstance(rule, str) else rule[0]]
    return out


def small_files(args, batch, failures):
    """Morvelle -j 1 beside perl on characters over ~2,000 Shift_JIS files, and the pass
    without rules (a conversion to their own code) beside a plain read + temporary file +
    rename of the same files."""
    folder = corpus.small_files(args.work)
    names = corpus.sources_of(folder)
    tmp = fresh(os.path.join(args.work, "small-run"))
    rules = os.path.join(tmp, "rules.utf8")
    write_rules(rules, SMALL_RULES, "utf-8")
    perl_out = fresh(os.path.join(tmp, "perl"))
    perl = [shutil.which("perl"), os.path.join(HERE, "perl_replace.pl"), "chars", "cp932", rules,
            perl_out]
    plain = os.path.join(args.build, "bench", "batch", "morvelle_plain_copy")
    tools = [
        ("morvelle", lambda: run_process([batch, "-j", "1", "replace"] +
                                         expressions(SMALL_RULES) + names, cwd=folder).wall),
        ("perl", lambda: run_process(perl + names, cwd=folder).wall),
        # A replacement without rules is refused; a conversion to the files' own code is the
        # same pass: recognise, check every byte, copy.
        ("morvelle without rules", lambda: run_process(
            [batch, "-j", "1", "convert", "--to", "sjis"] + names, cwd=folder).wall),
        ("plain copy", lambda: run_process([plain] + names, cwd=folder).wall),
    ]
    medians = alternate(tools, args.runs)
    # The last pass was the plain copy: the outputs are its; make Morvelle's again to compare.
    run_process([batch, "-j", "1", "replace"] + expressions(SMALL_RULES) + names, cwd=folder)
    bad = compare_outputs(folder, perl_out, names)
    if bad:
        failures.append("many small files: %d of %d outputs differ from perl on characters "
                        "(first: %s)" % (len(bad), len(names), bad[0]))
    for n in names:
        os.unlink(os.path.join(folder, n + ".exp"))
    shutil.rmtree(tmp)
    return medians, len(names), corpus.size_of(folder), len(bad)


def memory(args, batch, folders, size_mb):
    """Peak resident memory of one morvelle-batch process on one large CP932 file: replacing
    with rules that change it all over, and converting it to UTF-8."""
    path = corpus.big_file(args.work, folders["cp932"], size_mb)
    size = os.path.getsize(path)
    replaced = run_process([batch, "-j", "1", "replace"] + expressions(MEMORY_RULES) + [path])
    converted = run_process([batch, "-j", "1", "convert", "--to", "utf8", path])
    # The run compared with perl starts as perl's does, without an output to replace and with the
    # earlier runs' writes on disk: freeing the 270 MB the conversion wrote, or waiting for them
    # to be written, would be counted against it.
    os.unlink(path + ".exp")
    os.sync()
    absent = run_process([batch, "-j", "1", "replace", "-e", ABSENT_RULE, path])
    # perl on bytes, the fastest peer, reading the file whole as Morvelle does.
    tmp = fresh(os.path.join(args.work, "absent-run"))
    rules = os.path.join(tmp, "rules.cp932")
    write_rules(rules, [(ABSENT_RULE, None)], "cp932")
    os.sync()
    perl = run_process([shutil.which("perl"), os.path.join(HERE, "perl_replace.pl"), "bytes", "-",
                        rules, tmp, path])
    os.unlink(path + ".exp")
    return size, replaced, converted, (absent, perl)


def sd_row(args, batch, folders, rules, failures):
    """CPU seconds (user + sys) of Morvelle and of sd over the UTF-8 corpus, one sd process per
    rule (sd takes one), on a fresh copy each time since sd edits in place. sd runs on every
    core, so CPU time is the fair measure; wall time is shown beside it."""
    sd = shutil.which("sd")
    if not sd:
        return None
    folder = folders["utf8"]
    names = corpus.sources_of(folder)
    copy = os.path.join(args.work, "sd-copy")
    sd_rules = []
    for perl_rule, _ in rules:
        _, find, replace, flags = perl_rule.split("/")
        sd_rules.append((find, replace, "i" if "i" in flags else "c"))

    def run_sd():
        fresh(copy)
        for n in names:
            shutil.copyfile(os.path.join(folder, n), os.path.join(copy, n))
        wall = cpu = 0.0
        for find, replace, flag in sd_rules:
            t = run_process([sd, "-f", flag, find, replace] + names, cwd=copy)
            wall += t.wall
            cpu += t.cpu
        return wall, cpu

    def run_morvelle(jobs):
        t = run_process([batch, "-j", str(jobs), "replace"] + expressions(rules) + names,
                        cwd=folder)
        return t.wall, t.cpu

    tools = [("morvelle -j 2", lambda: run_morvelle(2)), ("sd", run_sd),
             ("morvelle -j 1", lambda: run_morvelle(1))]
    times = {name: [] for name, _ in tools}
    for _ in range(args.runs):
        for name, action in tools:
            times[name].append(action())
    medians = {name: (sorted(w for w, _ in v)[len(v) // 2], sorted(c for _, c in v)[len(v) // 2])
               for name, v in times.items()}
    bad = [n for n in names if open(os.path.join(folder, n + ".exp"), "rb").read() !=
           open(os.path.join(copy, n), "rb").read()]
    if bad:
        failures.append("sd: %d of %d outputs differ from Morvelle's (first: %s)" %
                        (len(bad), len(names), bad[0]))
    for n in names:
        os.unlink(os.path.join(folder, n + ".exp"))
    shutil.rmtree(copy)
    return medians, len(bad)
