"""What every benchmark row of bench/batch shares: timing whole processes, alternating the
tools of a comparison, writing rules for each peer, and naming the machine and the peers."""

import os
import platform
import shutil
import statistics
import subprocess
import tempfile
import time


class Timed:
    """Wall seconds, CPU seconds (user + sys) and peak resident KiB of one process."""

    def __init__(self, wall, cpu, kib):
        self.wall, self.cpu, self.kib = wall, cpu, kib


def run_process(cmd, cwd=None, env=None, shell=False, stdout=None):
    """Runs cmd once; stdout names a file for its standard output (else it is dropped).

    The peak comes from GNU time, not from this process's wait4: a child started from Python
    carries Python's own peak resident size across its exec, which would hide any tool's peak
    below it."""
    if shell:
        cmd = ["/bin/sh", "-c", cmd]
    with tempfile.NamedTemporaryFile("r", prefix="peak-") as peak:
        # Nothing left to write back from the tool before, so its outputs are not written on
        # this one's time.
        os.sync()
        sink = open(stdout, "wb") if stdout else subprocess.DEVNULL
        start = time.perf_counter()
        proc = subprocess.Popen(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name] + cmd,
                                cwd=cwd, env=env, stdout=sink, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(proc.pid, 0)
        elapsed = time.perf_counter() - start
        if stdout:
            sink.close()
        err = proc.stderr.read().decode("utf-8", "replace")
        proc.stderr.close()
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            shown = " ".join(cmd)
            shown = shown if len(shown) < 300 else shown[:300] + " ..."
            raise SystemExit("failed (%d): %s\n%s" % (proc.returncode, shown, err))
        kib = int(peak.read().split()[-1])
    return Timed(elapsed, usage.ru_utime + usage.ru_stime, kib)


def run_timed(cmd, cwd=None, env=None, shell=False):
    """Wall seconds and peak resident KiB of one command (its own process only)."""
    t = run_process(cmd, cwd, env, shell)
    return t.wall, t.kib


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
