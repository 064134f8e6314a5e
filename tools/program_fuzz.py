#!/usr/bin/env python3
"""Random-program fuzzer for the zel evaluator.

Writes small random Zel programs built from the boot library's natives and
actions (no I/O, no endless loops), runs each through zel and keeps those that
crash: ended by a signal, a "*** Runtime Error" report, an "*** Internal Error"
other than the plain not-done / no-memory / stack-overflow ones, or an
AddressSanitizer / UBSan report.  Best run against a sanitizer build:

    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON
    cmake --build build/asan --target zel
    python3 tools/program_fuzz.py --zel build/asan/zel --count 2000 --seed 1 --out /tmp/fuzz
    python3 tools/program_fuzz.py --zel build/asan/zel --gc-stress ...   # collect at every safe point

Each faulting program is saved as OUT/fault-<seed>.zel with its output in
OUT/fault-<seed>.txt; timeouts (5 s) are listed but not saved.
"""
import argparse, os, random, re, subprocess, tempfile
from concurrent.futures import ThreadPoolExecutor

LITS = ["0", '"😀x"', "1x2", "50%", "12:30", "$1.5", "<tag>", "%file", "a@b.c", "1", "-1", "2147483647", "-2147483648", "1.5", "-0.0", "1e308", "-1e308",
        "1e-308", '""', '"abc"', '"héllo"', '"日本"', '#"a"', '#"^@"', "#iss", "/ref",
        "'lit", "none", "true", "false", "[]", "[1 2 3]", "[a b [c]]", '["x" 2.5 #"z"]',
        "(1 + 2)", "a/b", "x/1", "integer!", "block!", "string!", "b/2", ":a", "'a",
        "#{0102}", "[[1 2] [3 4]]", "[b: 2 c: 3]"]
NUMS = ["0", "1", "2", "3", "-1", "5", "100", "2147483647", "-2147483648", "1.5",
        "1e308", "-0.0", "n", "a", "I + I", "I - I", "I * I", "I / I", "I // I",
        "I ** I", "negate I", "absolute I", "round I", "length? S", "index? S",
        "random 10", "to integer! I", "to float! I", "power I I", "remainder I I",
        "complement I", "I and I", "I or I", "I xor I", "round/to I I"]
LEX = list("[]()/:'#^\"{}<>%$@.,;-+e0123456789aZ \n") + [
    "#{", "#\"", "2147483648", "1e400", "0x", "a/b", "<a>", "^(", "^(1F600)", "é", "😀",
    "#[none]", "#(", "1x2", "3.4.5", "12:30", "1-Jan-2000", "$1", "50%", "http://", "@"]
VARS = ["a", "b", "x", "s", "code", "n", "body"]
SERIES = ["s", "x", "b", "code", "body", "[1 2 3]", '"abcdef"', "copy s", "next x",
          "tail code", "head s", "at s 2", "back tail x", "copy/deep b", "junk"]
# Templates: E any expression, I number, S series, V variable, B statements,
# T random source text.
EXPRS = [
    "L", "L", "V", "I", "I", "E = E", "E < E", "E == E", "E =? E", "not E", "even? I",
    "odd? I", "type? E", "mold E", "form E", "mold/only E", "mold/part E I", "mold/flat E",
    "to string! E", "to block! E", "random/only S", "make block! I", "make string! I",
    "append S E", "append/only S E", "append/dup S E I", "append/part S S I", "insert S E",
    "insert/part S E I", "insert/only S E", "remove S", "remove/part S I", "change S E",
    "change/part S E I", "change/dup S E I", "change/only S E", "clear S", "copy S",
    "copy/part S I", "copy/deep S", "skip S I", "at S I", "head S", "tail S", "next S",
    "back S", "pick S I", "poke S I E", "find S E", "find/last S E", "find/reverse S E",
    "find/skip S E I", "find/tail S E", "select S E", "select/skip S E I", "sort S",
    "sort/reverse S", "sort/skip S I", "sort/compare S func [p q] [B p < q]",
    "sort/part S I", "reverse S", "reverse/part S I", "take S", "take/last S",
    "take/part S I", "swap S S", "move S S", "move/part S S I", "trim S", "trim/all S",
    "put S E E", "head? S", "tail? S", "reduce [E E]", "reduce S", "reduce/into S S",
    "do S", "do [B]", "try [B]", "try/all [B]", "catch [B]", "catch [throw E]",
    "catch/name [throw/name E 'w] 'w", "if E [B]", "unless E [B]", "either E [B] [B]",
    "any [E E]", "all [E E]", "case [E [B] true [B]]", "case/all [E [B] E [B]]",
    "switch E [1 [B] \"abc\" [B]]", "switch/default E [2 [B]] [B]", "loop 3 [B]",
    "repeat i 4 [B]", "foreach v S [B]", "foreach [v w] S [B]", "forall x [B]",
    "forall body [B]", "remove-each v S [B E]", "remove-each [v w] S [E]",
    "c9: 0 while [(c9: c9 + 1) < 5] [B]", "c9: 0 until [B (c9: c9 + 1) > 3]",
    "apply :append [S E]", "apply/all :f [E E E]", "apply/safer :f [E]",
    "apply 'pick [S I]", "apply :f [E true E]", "f E", "f/r E E", "g", "h E", "k I",
    "(B)", "get 'V", "get/any 'V", "set 'V E", "set [a b] S", "set/some [a b] S",
    "transcode E", "transcode T", "transcode/next T", "transcode/one T", "to block! T", "transcode/one S", "transcode/next S",
    "do/next S 'p", "reflect :f 'body", "reflect :f 'spec", "V: E", "code/1", "x/(I)",
    "s/(I)", "b/1/2", "x/1: E", ":V", "'V", "print E", "prin E", "make object! [z: E]",
    "to paren! S", "to path! S", "first-of S", "junk",
]
STMTS = ["E", "E", "E", "E", "break", "continue", "return E", "exit", "throw E",
         "break/return E", "clear code", "remove/part code I", "append code [E]",
         "insert code [E]", "change code [E]", "reverse code", "sort code", "clear body",
         "append body [E]", "insert body [E]", "f: func [p /r q] [B]", "g: does [B]",
         "h: has [t] [t: E B]", "k: func [m] [if m > 0 [k m - 1] B]",
         "f: function [p] [w: E B]", "body: reflect :f 'body", "n: 0", "x: E", "s: S"]
PRELUDE = """a: 1 b: [1 2 3] x: [4 5 6 7] s: "hello" n: 0 p: x code: [1]
f: func [p /r q] [p] g: does [1] h: func [t] [t] k: func [m] [m]
body: reflect :f 'body first-of: func [z] [pick z 1]
junk: does [loop 3 [append/dup make block! 4 "x" 500] copy "junk"]"""


def gen(t, d, r):
    """Expand the placeholders of template t; d is the nesting depth."""
    def one(m):
        k = m.group(0)
        if d > 3 and k in "ESBI":  # deep enough: leaves only
            k = {"E": "L", "S": "s", "B": "L", "I": "1"}[k]
        if k == "E":
            return gen(r.choice(EXPRS), d + 1, r)
        if k == "I":
            return gen(r.choice(NUMS), d + 1, r)
        if k == "S":
            return r.choice(SERIES) if r.random() < .7 else gen(r.choice(EXPRS), d + 1, r)
        if k == "B":
            return " ".join(gen(r.choice(STMTS), d + 1, r) for _ in range(r.randint(1, 3)))
        if k == "T":  # random source text, as a string literal
            text = "".join(r.choice(LEX) for _ in range(r.randint(1, 12)))
            return '"' + text.replace("^", "^^").replace('"', '^"') + '"'
        return r.choice({"L": LITS, "V": VARS}[k]) if k in "LV" else k
    return re.sub(r"\b[ESBILVT]\b", one, t)


def program(seed):
    r = random.Random(seed)
    lines = ["Zel []", PRELUDE]
    for _ in range(r.randint(1, 20)):
        body = " ".join(gen(r.choice(STMTS), 1, r) for _ in range(r.randint(1, 3)))
        line = r.choice([body, f"print mold ({body})", f"code: [{body}] do code",
                         f"code: [{body}] print mold reduce code"])
        lines.append(line if r.random() < .1 else f"try/all [{line}]")
    return "\n".join(lines) + "\n"


def run(zel, seed, stress):
    text = program(seed)
    with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
        f.write(text)
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0", UBSAN_OPTIONS="print_stacktrace=1")
    if stress:
        env["ZEL_GC_STRESS"] = "1"
    try:
        p = subprocess.run([zel, f.name], capture_output=True, timeout=5, env=env)
        out = (p.stderr + p.stdout).decode("utf-8", "replace")
        bad = p.returncode < 0 or re.search(
            r"AddressSanitizer|runtime error:|\*\*\* Runtime Error|"
            r"\*\*\* Internal Error: (?!not-done|no-memory|stack-overflow)", out)
        return seed, text, ("fault", out + f"\n[exit {p.returncode}]") if bad else None
    except subprocess.TimeoutExpired:
        return seed, text, ("timeout", "")
    finally:
        os.unlink(f.name)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--count", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=0)
    ap.add_argument("--zel", default="build/asan/zel")
    ap.add_argument("--out", default="fuzz-out")
    ap.add_argument("--gc-stress", action="store_true")
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    seeds = range(a.seed, a.seed + a.count)
    with ThreadPoolExecutor(4) as pool:
        for seed, text, res in pool.map(lambda s: run(a.zel, s, a.gc_stress), seeds):
            if res and res[0] == "fault":
                with open(f"{a.out}/fault-{seed}.zel", "w") as f:
                    f.write(text)
                with open(f"{a.out}/fault-{seed}.txt", "w") as f:
                    f.write(res[1])
                first = next((l for l in res[1].splitlines() if re.search(
                    r"ERROR: Address|runtime error:|\*\*\* (Runtime|Internal)", l)), "signal")
                print(f"fault   seed {seed}: {first[:110]}", flush=True)
            elif res:
                print(f"timeout seed {seed}", flush=True)


if __name__ == "__main__":
    main()
