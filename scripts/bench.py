#!/usr/bin/env python3
"""Times every whole-sound command of aurecho-fx against a plain copy and SoX's nearest
command on a 10-minute 44100 Hz 16-bit stereo file, with peak memory, and writes the
results as a Markdown table (`make bench`).

Runs are interleaved (one of each command per round, five rounds) so that load from
other work on a shared machine falls on all commands alike: compare the ratios within
one run, not seconds between runs.
"""
import argparse
import json
import math
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timezone

MB = 1e6
MIB = 1 << 20
SAMPLE_RATE = 44100
MIDDLE_SECONDS = 300  # the middle of the 10-minute file

# Knob offsets of the equalized output: every band away from flat, so all ten sections
# work, as in SoX's ten bands below.
EQ_KNOBS = [12, 8, 4, -4, -8, -8, -4, 4, 8, 12]
EQ_CENTRES = [31, 82, 125, 250, 500, 1000, 2000, 4000, 8000, 16000]


def sox_equalizer():
    # The same sections: width Q = sqrt(2), gain 1 + 0.05 x knob at each centre.
    args = []
    for hz, knob in zip(EQ_CENTRES, EQ_KNOBS):
        args += ["equalizer", str(hz), "1.414q", "%.3f" % (20 * math.log10(1 + 0.05 * knob))]
    return args


# The commands, in the order of the table. `tool` holds the operation and its arguments
# after IN OUT ({insert} is the 1-minute file); `sox` holds SoX's nearest command as
# input options, output options and effects (None where SoX has none). An operation the
# tool does not know yet is skipped with a note; it joins the table once it lands. Keep
# the arguments as the tool's usage text gives them.
COMMANDS = [
    {"name": "volume up", "tool": ["volume-up"], "sox": ([], [], ["vol", "1.25"])},
    {"name": "volume down", "tool": ["volume-down"], "sox": ([], [], ["vol", "0.75"])},
    {"name": "speed up", "tool": ["speed-up"], "sox": ([], [], ["speed", "2"])},
    {"name": "speed down", "tool": ["speed-down"], "sox": ([], [], ["speed", "0.5"])},
    {"name": "echo", "tool": ["echo"], "sox": ([], [], ["echo", "1", "1", "350", "0.7", "700", "0.49", "1050", "0.343"])},
    {"name": "reverse", "tool": ["reverse"], "sox": ([], [], ["reverse"])},
    {"name": "equalize", "tool": ["equalize"] + [str(k) for k in EQ_KNOBS], "sox": ([], [], sox_equalizer()),
     "sox_label": "equalizer F 1.414q G, ten bands"},
    {"name": "convert 8-bit mono 22050", "tool": ["convert", "8", "22050", "1"],
     "sox": ([], ["-b", "8", "-c", "1", "-r", "22050"], [])},
    {"name": "convert 48000", "tool": ["convert", "16", "48000", "2"], "sox": ([], ["-r", "48000"], [])},
    {"name": "insert 1 min at middle", "tool": ["insert", "{insert}", str(MIDDLE_SECONDS)], "sox": None},
    {"name": "delete before middle", "tool": ["delete-before", str(MIDDLE_SECONDS)],
     "sox": ([], [], ["trim", str(MIDDLE_SECONDS)])},
    {"name": "delete after middle", "tool": ["delete-after", str(MIDDLE_SECONDS)],
     "sox": ([], [], ["trim", "0", str(MIDDLE_SECONDS)])},
    {"name": "save", "tool": ["save"], "sox": ([], [], [])},
    # Opening a file of another format: the 10-minute 24-bit 96 kHz file to 16-bit 48 kHz.
    {"name": "open 24-bit 96 kHz", "tool": ["save"], "input": "hires", "sox": ([], ["-b", "16", "-r", "48000"], []),
     "label": "save (in: 24-bit 96 kHz stereo)"},
    # The waveform's summary: it prints (`out` stands for OUT) and writes no file, so it is
    # compared with a plain read (`baseline`), not with the copy.
    {"name": "peaks 1000", "tool": ["peaks", "1000"], "out": "-", "baseline": "read", "sox": None},
]

# Run once each on the 60-minute file, for peak memory.
MEMORY_COMMANDS = ["volume up", "echo", "reverse", "equalize", "peaks 1000"]


class Run:
    def __init__(self, seconds, peak_kib):
        self.seconds = seconds
        self.peak_kib = peak_kib


def warm(paths):
    """Reads the files, so that every run finds its input in the page cache (the kernel
    may have dropped it since the last run)."""
    for path in paths:
        with open(path, "rb", buffering=0) as f:
            while f.read(8 * MIB):
                pass


def run_measured(argv, out_path, time_log, inputs=()):
    """Runs argv under /usr/bin/time -v with a fresh output; wall seconds, peak RSS, exit."""
    for p in (out_path, out_path + ".aurecho-tmp"):
        if os.path.exists(p):
            os.remove(p)
    # Every run starts with no dirty pages of the runs before it to write back.
    os.sync()
    warm(inputs)
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-v", "-o", time_log] + argv,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    peak = 0
    with open(time_log) as f:
        m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read())
        if m:
            peak = int(m.group(1))
    return proc.returncode, proc.stderr, Run(seconds, peak)


def sox_argv(sox, command, inp, out):
    in_opts, out_opts, effects = command
    # -D: no dither, as the tool rounds without it; -V1: errors only.
    return [sox, "-D", "-V1"] + in_opts + [inp] + out_opts + [out] + effects


def tool_argv(tool, args, inp, out, insert):
    return [tool, inp, out] + [a.replace("{insert}", insert) for a in args]


def sh(cmd):
    subprocess.run(cmd, check=True)


def make_inputs(sox, workdir, minutes, memory_minutes):
    """The noise-plus-tones input, its 1-minute insert and the long file for memory."""
    inp = os.path.join(workdir, "in.wav")
    seconds = minutes * 60
    recipe = ("synth %d whitenoise whitenoise synth %d sine mix 110 sine mix 1000 "
              "synth %d sine mix 5000 sine mix 7000 vol 0.7" % (seconds, seconds, seconds))
    stamp = os.path.join(workdir, "in.recipe")
    if not (os.path.exists(inp) and os.path.exists(stamp) and open(stamp).read() == recipe):
        print("bench: generating %d minutes of noise and tones" % minutes, flush=True)
        sh([sox, "-D", "-V1", "-r", str(SAMPLE_RATE), "-c", "2", "-n", "-b", "16", inp] + recipe.split())
        with open(stamp, "w") as f:
            f.write(recipe)
        for old in ("insert.wav", "long.wav"):
            if os.path.exists(os.path.join(workdir, old)):
                os.remove(os.path.join(workdir, old))
    insert = os.path.join(workdir, "insert.wav")
    if not os.path.exists(insert):
        sh([sox, "-D", "-V1", inp, insert, "trim", "120", "60"])
    long_wav = os.path.join(workdir, "long.wav")
    if memory_minutes and not os.path.exists(long_wav):
        print("bench: making the %d-minute file" % memory_minutes, flush=True)
        copies = max(1, memory_minutes // minutes)
        sh([sox, "-D", "-V1"] + [inp] * copies + [long_wav])
    hires = os.path.join(workdir, "in-hires.wav")
    hires_recipe = recipe  # the same noise and tones, at 96 kHz in 24 bits
    hires_stamp = os.path.join(workdir, "in-hires.recipe")
    if not (os.path.exists(hires) and os.path.exists(hires_stamp) and open(hires_stamp).read() == hires_recipe):
        print("bench: generating %d minutes at 96 kHz, 24 bits" % minutes, flush=True)
        sh([sox, "-D", "-V1", "-r", "96000", "-c", "2", "-n", "-b", "24", hires] + hires_recipe.split())
        with open(hires_stamp, "w") as f:
            f.write(hires_recipe)
    return inp, insert, long_wav, hires


def probe(argv, out_path, time_log, usage, op):
    """None when the command runs; otherwise why it is skipped."""
    code, err, _ = run_measured(argv, out_path, time_log)
    if code == 0:
        return None
    first = err.strip().splitlines()[0] if err.strip() else ""
    if code == 2 and usage is not None:
        if not re.search(r"\b%s\b" % re.escape(op), usage):
            return "not in this build of aurecho-fx yet"
        return "aurecho-fx refused the arguments (exit 2); see its usage text"
    return "failed (exit %d): %s" % (code, first)


def fmt_ratio(r):
    return "—" if r is None else "%.2f" % r


def spread(runs):
    s = [r.seconds for r in runs]
    return "%.3f–%.3f" % (min(s), max(s))


def median_s(runs):
    return statistics.median(r.seconds for r in runs)


def peak_mib(runs):
    return max(r.peak_kib for r in runs) / 1024


def machine_line():
    model = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            m = re.search(r"model name\s*:\s*(.*)", f.read())
            if m:
                model = m.group(1).strip()
    except OSError:
        pass
    return "%s, %d cores" % (model, os.cpu_count() or 0)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tool", required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--sox", default=shutil.which("sox") or "sox")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--minutes", type=int, default=10)
    ap.add_argument("--memory-minutes", type=int, default=60)
    ap.add_argument("--only", help="comma-separated command names (for a quick look)")
    ap.add_argument("--summary-bench", help="the redraw benchmark (default: summary_bench beside --tool)")
    args = ap.parse_args()

    workdir = os.path.abspath(args.dir)
    os.makedirs(workdir, exist_ok=True)
    tool = os.path.abspath(args.tool)
    began = time.time()
    load_before = os.getloadavg()
    inp, insert, long_wav, hires = make_inputs(args.sox, workdir, args.minutes, args.memory_minutes)
    inputs = {"main": inp, "hires": hires}
    input_of = lambda c: inputs[c.get("input", "main")]
    out = os.path.join(workdir, "out.wav")
    size = os.path.getsize(inp)
    time_log = tempfile.NamedTemporaryFile(prefix="bench-time-", dir=workdir, delete=False).name

    usage_proc = subprocess.run([tool], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    usage = usage_proc.stdout if usage_proc.returncode == 2 else None

    commands = COMMANDS
    if args.only:
        wanted = set(args.only.split(","))
        commands = [c for c in COMMANDS if c["name"] in wanted]

    # The rows that run, each with its argv; skipped ones with their reason. The probe is
    # also each command's warm-up run.
    copy_argv = ["sh", "-c", 'cat "$1" > "$2"', "cat", inp, out]
    # The tool flushes its output to disk before it replaces the file; this is the copy
    # that does the same.
    synced_copy_argv = ["sh", "-c", 'cat "$1" > "$2" && sync "$2"', "cat", inp, out]
    jobs = [("copy", copy_argv), ("synced copy", synced_copy_argv)]
    # The baseline of the commands that only read.
    read_argv = ["sh", "-c", 'cat "$1" > /dev/null', "cat", inp]
    if any("baseline" in c for c in commands):
        jobs.append(("read", read_argv))
    skipped = {}
    sox_skipped = {}
    written = {}  # output bytes of the commands that do not write what they read
    for c in commands:
        argv = tool_argv(tool, c["tool"], input_of(c), c.get("out", out), insert)
        why = probe(argv, out, time_log, usage, c["tool"][0])
        if why:
            skipped[c["name"]] = why
            continue
        if "out" not in c and \
                abs(os.path.getsize(out) - os.path.getsize(input_of(c))) > os.path.getsize(input_of(c)) // 10:
            written[c["name"]] = (os.path.getsize(out), os.path.getsize(input_of(c)))
        jobs.append((c["name"], argv))
        if c["sox"] is not None:
            sargv = sox_argv(args.sox, c["sox"], input_of(c), out)
            why = probe(sargv, out, time_log, None, "")
            if why:
                sox_skipped[c["name"]] = why
            else:
                jobs.append(("sox:" + c["name"], sargv))

    runs = {name: [] for name, _ in jobs}
    for r in range(args.rounds):
        print("bench: round %d of %d" % (r + 1, args.rounds), flush=True)
        for name, argv in jobs:
            code, err, result = run_measured(argv, out, time_log, (inp, insert, hires))
            if code != 0:
                sys.exit("bench: %s failed (exit %d): %s" % (name, code, err.strip()))
            runs[name].append(result)

    memory = []
    if args.memory_minutes:
        long_size = os.path.getsize(long_wav)
        by_name = {c["name"]: c for c in commands}
        for name in MEMORY_COMMANDS:
            if name not in by_name or name in skipped:
                continue
            print("bench: %s on the %d-minute file" % (name, args.memory_minutes), flush=True)
            argv = tool_argv(tool, by_name[name]["tool"], long_wav, by_name[name].get("out", out), insert)
            code, err, result = run_measured(argv, out, time_log, (long_wav,))
            memory.append((name, code, result))
    # Redraws from the summary are far too quick to time as processes: the program times them.
    summary_bench = args.summary_bench or os.path.join(os.path.dirname(tool), "summary_bench")
    redraws = None
    if os.path.exists(summary_bench):
        print("bench: redraws from the summary", flush=True)
        proc = subprocess.run([summary_bench], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        redraws = (proc.returncode, proc.stdout.strip())
    for p in (out, time_log):
        if os.path.exists(p):
            os.remove(p)
    load_after = os.getloadavg()

    copy = median_s(runs["copy"])
    lines = []
    lines.append("Input: %d minutes, 44100 Hz 16-bit stereo noise and tones, %.1f MB; %d interleaved rounds, "
                 "median and range of wall seconds; peak resident memory over all rounds." %
                 (args.minutes, size / MB, args.rounds))
    lines.append("")
    lines.append("| command | median s | range s | MB/s | × copy | × SoX | peak MiB |")
    lines.append("|---|---:|---:|---:|---:|---:|---:|")

    # × copy compares throughput, so a row with an input of its own compares fairly.
    def row(label, rs, sox_rs, bytes_in=size, base=None):
        m = median_s(rs)
        vs_sox = median_s(sox_rs) / m if sox_rs else None
        lines.append("| %s | %.3f | %s | %.0f | %s | %s | %.1f |" % (
            label, m, spread(rs), bytes_in / MB / m, fmt_ratio((base or copy) / m * bytes_in / size),
            fmt_ratio(vs_sox), peak_mib(rs)))

    row("copy: `cat in > out`", runs["copy"], None)
    row("copy and flush: `cat in > out && sync out`", runs["synced copy"], None)
    if "read" in runs:
        row("read: `cat in > /dev/null`", runs["read"], None)
    misses = []
    for c in commands:
        name = c["name"]
        if name in skipped:
            lines.append("| %s (skipped, see below) | — | — | — | — | — | — |" % name)
            continue
        sox_rs = runs.get("sox:" + name)
        label = c.get("label") or " ".join(c["tool"]).replace("{insert}", "insert.wav")
        base = median_s(runs[c["baseline"]]) if "baseline" in c else None
        row("`%s`" % label + (" (× %s, not copy)" % c["baseline"] if base else ""), runs[name], sox_rs,
            os.path.getsize(input_of(c)), base)
        m = median_s(runs[name])
        if base:
            if m > 1.5 * base:
                misses.append("%s: %.2f × the %s's time" % (name, m / base, c["baseline"]))
        elif name != "equalize" and "input" not in c and copy / m < 0.5:
            misses.append("%s: %.2f of the copy's throughput" % (name, copy / m))
        if sox_rs and median_s(sox_rs) / m <= 1:
            misses.append("%s: not faster than SoX (%.2f)" % (name, median_s(sox_rs) / m))
        if peak_mib(runs[name]) >= 32:
            misses.append("%s: %.1f MiB peak" % (name, peak_mib(runs[name])))

    lines.append("")
    lines.append("SoX 14.4 on the same input (`sox -D` input [options] output [effects]: no dither, as the tool):")
    lines.append("")
    lines.append("| SoX command, nearest to | median s | range s | MB/s | × copy | peak MiB |")
    lines.append("|---|---:|---:|---:|---:|---:|")
    for c in commands:
        rs = runs.get("sox:" + c["name"])
        if not rs:
            continue
        in_opts, out_opts, effects = c["sox"]
        text = c.get("sox_label") or " ".join(out_opts + effects) or "(plain copy)"
        m = median_s(rs)
        bytes_in = os.path.getsize(input_of(c))
        lines.append("| `%s` (%s) | %.3f | %s | %.0f | %s | %.1f |" % (
            text, c["name"], m, spread(rs), bytes_in / MB / m, fmt_ratio(copy / m * bytes_in / size), peak_mib(rs)))

    if memory:
        lines.append("")
        lines.append("The %d-minute file (%.0f MB), one run each:" % (args.memory_minutes, long_size / MB))
        lines.append("")
        lines.append("| command | s | peak MiB |")
        lines.append("|---|---:|---:|")
        for name, code, result in memory:
            if code != 0:
                lines.append("| %s | failed (exit %d) | — |" % (name, code))
                misses.append("%s on the long file failed" % name)
                continue
            lines.append("| %s | %.2f | %.1f |" % (name, result.seconds, result.peak_kib / 1024))
            if result.peak_kib / 1024 >= 32:
                misses.append("%s on the long file: %.1f MiB peak" % (name, result.peak_kib / 1024))

    if redraws:
        code, text = redraws
        lines.append("")
        lines.extend(text.splitlines())
        # The last column of each row of the table is its slowest redraw.
        slowest = [float(l.rstrip(" |").split("|")[-1]) for l in text.splitlines() if re.match(r"\| \d+ \|", l)]
        if code != 0 or not slowest:
            misses.append("summary_bench failed (exit %d)" % code)
        elif max(slowest) >= 5:
            misses.append("a redraw from the summary took %.2f ms" % max(slowest))
    else:
        misses.append("no summary_bench beside the tool (build its target summary_bench)")

    lines.append("")
    for name, (n, read) in written.items():
        lines.append("- %s writes %.0f MB for the %.0f MB it reads; MB/s counts the input." % (name, n / MB, read / MB))
    for name, why in skipped.items():
        lines.append("- Skipped %s: %s." % (name, why))
    for name, why in sox_skipped.items():
        lines.append("- SoX's peer of %s skipped: %s." % (name, why))
    lines.append("- Targets: ≥ 0.5 × the copy's throughput (the equalizer excepted), faster than SoX, under 32 MiB; "
                 "peaks within 1.5 × the plain read's time, a redraw from the summary under 5 ms. "
                 + ("Missed: " + "; ".join(misses) + "." if misses else "All met in this run."))
    lines.append("- The tool flushes its output to disk before it replaces the file (nothing is lost on a crash); "
                 "the plain copy and SoX do not. The second row is the copy that does.")
    lines.append("- Machine: %s; load average %.2f before, %.2f after; %s; %.0f s in all. A shared machine: "
                 "compare the ratios of one run, not seconds between runs." % (
                     machine_line(), load_before[0], load_after[0],
                     datetime.now(timezone.utc).strftime("%Y-%m-%d %H:%M UTC"), time.time() - began))

    with open(os.path.join(workdir, "bench-runs.json"), "w") as f:
        json.dump({name: [[r.seconds, r.peak_kib] for r in rs] for name, rs in runs.items()}, f, indent=1)
    text = "\n".join(lines) + "\n"
    with open(os.path.join(workdir, "bench.md"), "w") as f:
        f.write(text)
    print()
    print(text, end="")


if __name__ == "__main__":
    main()
