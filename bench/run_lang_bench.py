#!/usr/bin/env python3
"""Cross-language benchmark: the programs in bench/lang/ in Zel, Python 3 and Lua 5.4.

Each program NAME exists as NAME.zel, NAME.py and NAME.lua and prints one
result line. Every program runs --runs times per language (the languages take
turns, so a change in machine load hits all three alike); the table shows the
median wall time of each and Zel's ratio to Python and to Lua. The three
outputs must agree: a mismatch or a failed run makes the exit status 1.

Goal: Zel no slower than CPython 3.11 and within 3x of Lua 5.4 on every program.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LANG_DIR = os.path.join(HERE, "lang")
ROOT = os.path.dirname(HERE)

# The Zel goal: a ratio to Python of at most 1, to Lua of at most 3.
GOAL_PYTHON = 1.0
GOAL_LUA = 3.0

LANGS = ("zel", "py", "lua")


def default_python():
    """Debian's CPython (the one `make deps` installs) when present, else python3 on PATH."""
    return "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else "python3"


def parse_args(argv):
    """The command line: interpreters, number of runs, program filter, time limit."""
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--runs", type=int, default=5, help="runs per program and language (default 5)")
    p.add_argument("--zel", default=os.path.join(ROOT, "build", "release", "zel"),
                   help="the Zel interpreter (default build/release/zel)")
    p.add_argument("--python", default=default_python(), help="the Python 3 interpreter")
    p.add_argument("--lua", default="lua5.4", help="the Lua 5.4 interpreter")
    p.add_argument("--timeout", type=float, default=600.0, help="seconds allowed for one run")
    p.add_argument("programs", nargs="*", help="program names to run (default: all in bench/lang)")
    args = p.parse_args(argv)
    if args.runs < 1:
        p.error("--runs must be at least 1")
    return args


def find_programs(names):
    """The program names that have all three sources, sorted; unknown or incomplete names fail."""
    found = sorted({f.rsplit(".", 1)[0] for f in os.listdir(LANG_DIR) if f.endswith(".zel")})
    wanted = names or found
    for name in wanted:
        missing = [ext for ext in LANGS if not os.path.isfile(os.path.join(LANG_DIR, f"{name}.{ext}"))]
        if missing:
            sys.exit(f"bench/lang/{name}: missing " + ", ".join(f"{name}.{ext}" for ext in missing))
    return wanted


def check_tools(args):
    """Stops with a message when an interpreter is missing; returns the command per language."""
    cmds = {"zel": args.zel, "py": args.python, "lua": args.lua}
    for lang, cmd in cmds.items():
        if shutil.which(cmd) is None:
            sys.exit(f"{lang} interpreter not found: {cmd}")
    return cmds


def version_of(cmd, flag):
    """One line naming an interpreter's version, for the table header."""
    try:
        out = subprocess.run([cmd, flag], capture_output=True, text=True, timeout=30)
        return (out.stdout or out.stderr).strip().splitlines()[0]
    except (OSError, subprocess.SubprocessError, IndexError):
        return "unknown version"


def run_once(cmd, path, timeout):
    """Runs one program once: (wall seconds, stripped stdout) or raises RuntimeError."""
    start = time.perf_counter()
    try:
        proc = subprocess.run([cmd, path], capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise RuntimeError(f"timed out after {timeout:g} s")
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        err = proc.stderr.strip() or proc.stdout.strip()
        raise RuntimeError(f"exit status {proc.returncode}: {err[-400:]}")
    return elapsed, proc.stdout.strip()


def bench_program(name, cmds, runs, timeout):
    """Times one program in every language; returns (medians, outputs, errors) keyed by language."""
    times = {lang: [] for lang in LANGS}
    outputs, errors = {}, {}
    for _ in range(runs):
        for lang in LANGS:
            if lang in errors:
                continue
            try:
                t, out = run_once(cmds[lang], os.path.join(LANG_DIR, f"{name}.{lang}"), timeout)
            except RuntimeError as e:
                errors[lang] = str(e)
                continue
            times[lang].append(t)
            if outputs.setdefault(lang, out) != out:
                errors[lang] = f"output changed between runs: {outputs[lang]!r} then {out!r}"
    medians = {lang: statistics.median(ts) for lang, ts in times.items() if ts and lang not in errors}
    return medians, outputs, errors


def fmt_time(t):
    """A median time for the table, or a dash when there is none."""
    return f"{t:8.3f}" if t is not None else f"{'-':>8}"


def fmt_ratio(a, b):
    """Zel's time over another language's, or a dash when one is missing."""
    return f"{a / b:8.2f}x" if a is not None and b else f"{'-':>9}"


def verdict(zel, py, lua):
    """Which parts of the goal a program meets."""
    if zel is None or py is None or lua is None:
        return "n/a"
    misses = []
    if zel / py > GOAL_PYTHON:
        misses.append("slower than Python")
    if zel / lua > GOAL_LUA:
        misses.append(f"over {GOAL_LUA:g}x Lua")
    return "met" if not misses else "; ".join(misses)


def main(argv):
    """Runs the suite, prints the table and returns the exit status."""
    args = parse_args(argv)
    programs = find_programs(args.programs)
    cmds = check_tools(args)
    print(f"zel:    {cmds['zel']}")
    print(f"python: {cmds['py']} ({version_of(cmds['py'], '--version')})")
    print(f"lua:    {cmds['lua']} ({version_of(cmds['lua'], '-v')})")
    print(f"median wall time in seconds of {args.runs} run(s); ratio = Zel time / other time")
    print(f"goal: Zel/Python <= {GOAL_PYTHON:g}, Zel/Lua <= {GOAL_LUA:g}\n")
    header = f"{'program':<10}{'zel':>8}{'python':>8}{'lua':>8}{'zel/py':>9}{'zel/lua':>9}  goal"
    print(header)
    print("-" * len(header))
    failed = False
    notes = []
    for name in programs:
        medians, outputs, errors = bench_program(name, cmds, args.runs, args.timeout)
        z, p, l = (medians.get(lang) for lang in LANGS)
        print(f"{name:<10}{fmt_time(z)}{fmt_time(p)}{fmt_time(l)}{fmt_ratio(z, p)}{fmt_ratio(z, l)}"
              f"  {verdict(z, p, l)}", flush=True)
        for lang, err in errors.items():
            failed = True
            notes.append(f"{name}.{lang}: {err}")
        if len(set(outputs.values())) > 1:
            failed = True
            notes.append(f"{name}: outputs differ: "
                         + ", ".join(f"{lang}={out!r}" for lang, out in outputs.items()))
    for note in notes:
        print("FAIL " + note)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
