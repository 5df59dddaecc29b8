"""The rows of make bench about speed: replacement beside perl and sed, conversion beside
iconv and nkf, on the corpus of bench_corpus.py."""

import os
import shutil
import subprocess

import bench_corpus as corpus
from common import alternate, compare_outputs, fresh, run_timed, sed_script, write_rules

HERE = os.path.dirname(os.path.abspath(__file__))

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
