"""Traced evaluation gives the same results as plain evaluation.

Plain evaluation takes short cuts (frameless blocks, calls fetched by the
descriptor summary, integer operators in place); `do/trace` goes the general
way, marking every frame. Both must agree on every value, every side effect
and every error, so the same code is run both ways and the outputs compared:
every script test (except those about tracing itself) and generated
programs of calls, refinements, operators, assignments, control flow and
loops, each run inside `try`, printing its result and the state it leaves.
The programs also run code again after, and while, it is changed: the
functions, operators and values its words name are redefined between
passes and inside expressions, and a block rewrites itself as it runs.
Set ZEL_PROGRAM_SEED to repeat a run."""
import glob
import os
import random
import subprocess
import sys
import tempfile

BUILD = sys.argv[1]
ZEL = os.path.join(BUILD, "zel")
SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts")
SEED = int(os.environ.get("ZEL_PROGRAM_SEED", random.randrange(1 << 32)))
rng = random.Random(SEED)
results = {"passed": 0, "failed": 0}

TRACER = "zel-quiet-tracer: func [event code offset value ref frame] [[end] none]\n"


def traced(text):
    return TRACER + "do/trace [\n" + text + "\n] :zel-quiet-tracer\n"


def run(text, tmp):
    path = os.path.join(tmp, "program.zel")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    try:
        r = subprocess.run([ZEL, path], capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return "timeout", []
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def compare(name, text, tmp):
    plain_status, plain = run(text, tmp)
    traced_status, trace = run(traced(text), tmp)
    # A run past the time limit says nothing about its output: on a busy
    # machine, under the sanitizers, a long script may end one way and not
    # the other.
    if "timeout" in (plain_status, traced_status):
        print(f"{name}: runs too long (plain {plain_status}, traced {traced_status}); not compared")
        return
    if plain == trace and plain_status == traced_status:
        results["passed"] += 1
        return
    results["failed"] += 1
    where = next((k for k, (a, b) in enumerate(zip(plain, trace)) if a != b), min(len(plain), len(trace)))
    print(f"FAIL {name}: status {plain_status} plain, {traced_status} traced; first difference at line {where}")
    print("  plain: ", plain[where] if where < len(plain) else "(end)")
    print("  traced:", trace[where] if where < len(trace) else "(end)")
    keep = f"/tmp/zel-traced-seed{SEED}-{name.replace('/', '_')}.zel"
    with open(keep, "w", encoding="utf-8") as f:
        f.write(text)
    print("  program kept in", keep)


# Generated programs -------------------------------------------------------

VARS = ["x", "y", "n"]
NUMBERS = ["0", "1", "2", "3", "-1", "7", "2147483647", "-2147483648", "1.5", "-0.5"]
OPERATORS = ["+", "-", "*", "<", ">", "=", "<>", "<=", ">=", "pl"]
# The operators a program may redefine are made again first (a program
# starts with the state the one before left).
PRELUDE = ("set '+ make op! :add set '< make op! :lesser? pl: make op! func [a b] [a * 10 + b] "
           "x: 1 y: 2 n: 3 b: copy [] f: func [a] [a + 1] g: func [a /r c] [either r [a * c] [a]] "
           "h: func [p /a q /b s] [reduce [p a q b s]] k: func [v] [if v = 3 [return 10] v] "
           "m: func [a b /local c] [c: a loop 2 [if c = 3 [break] c: c + 1] reduce [c b]] "
           "w: function [v] [t: v * 2 if t > 4 [exit] t] bb: [n + 1]\n")
# New values for the words the code calls: other arities, refinements,
# natives, plain values, another body. + and < stay operators under which
# the counted loops below still end (a counter still grows, a bound still
# holds), or stop being operators so that the loops fail.
REDEFINITIONS = [
    "f: func [a b] [a * b]", "f: func [a] [a - 1]", "f: :negate", "f: 5", "f: does [7]",
    "f: make op! :subtract", "change next reflect :f 'body '*",
    "g: func [a /r c] [either r [a - c] [a * 2]]", "g: func [a b /r c] [reduce [a b r c]]",
    "g: func [a /s c] [a]", "g: :f", "h: func [p /b s /a q] [reduce [s q p]]", "x: :negate",
    "set '+ make op! func [a b] [add a b]", "set '+ make op! func [a b] [add add a b 1]",
    "set '< make op! :lesser-or-equal?", "set '< make op! :greater?", "set '< :lesser?",
    "pl: make op! func [a b] [a - b]", "pl: make op! :multiply", "pl: 100",
]
# Changes that bb makes to itself while it runs: in place, growing (at the
# end, or before the running code so that it moves), shrinking.
BB_CHANGES = [
    "change bb [n * 2]", "poke bb 2 '-", "poke bb 1 'f", "change at bb 3 [f 2 3]", "append bb [x: n]",
    "append bb [g/r 2 3]", "insert bb [y: 3]", "insert/dup bb [0] 12", "clear bb", "remove bb",
]


def atom(depth):
    r = rng.random()
    if r < 0.3:
        return rng.choice(NUMBERS)
    if r < 0.55:
        return rng.choice(VARS)
    if r < 0.6:
        return ":" + rng.choice(VARS)
    if r < 0.65:
        return '"s"'
    if r < 0.7 and depth > 0:
        return "(" + expr(depth - 1) + ")"
    if r < 0.73 and depth > 0:
        # Redefined inside an expression: an operator's left operand, an
        # argument of the call that names the word redefined.
        return "(" + rng.choice(REDEFINITIONS) + " " + expr(depth - 1) + ")"
    return rng.choice(NUMBERS)


def expr(d):
    if d <= 0:
        return atom(0)
    e = lambda: expr(d - 1)
    blk = lambda: "[" + block(d - 1) + "]"
    forms = [
        (25, lambda: atom(d) + " " + rng.choice(OPERATORS) + " " + e()),
        (8, lambda: rng.choice(VARS) + ": " + e()),
        (7, lambda: "either " + e() + " " + blk() + " " + blk()),
        (5, lambda: "if " + e() + " " + blk()),
        (3, lambda: "unless " + e() + " " + blk()),
        # Branches that are not literal blocks, and an operator after them.
        (1, lambda: "if " + e() + " bb"),
        (1, lambda: "either " + e() + " " + blk() + " " + rng.choice(["bb", "x", "(bb)"])),
        (1, lambda: "either " + e() + " " + blk() + " " + blk() + " " + rng.choice(OPERATORS) + " " + e()),
        (1, lambda: "if " + e() + " " + blk() + " " + rng.choice(OPERATORS) + " " + e()),
        (5, lambda: "f " + e()),
        (4, lambda: "g/r " + e() + " " + e()),
        (3, lambda: "g " + e()),
        (3, lambda: "h/b/a " + e() + " " + e() + " " + e()),
        # Appended values are never a variable: one may hold b itself, and
        # appending b to b in nested loops grows without bound.
        (3, lambda: "append b " + rng.choice(NUMBERS)),
        (2, lambda: "length? b"),
        (3, lambda: "pick b " + rng.choice(["1", "2", "3", "n"])),
        (3, lambda: "repeat i " + rng.choice(["0", "1", "3"]) + " " + blk()),
        (2, lambda: "loop 2 [" + block(d - 1) + " if n > 5 [break/return n]]"),
        (2, lambda: "all " + blk()),
        (2, lambda: "any " + blk()),
        (2, lambda: "do " + blk()),
        (2, lambda: "reduce " + blk()),
        (2, lambda: "k " + e()),
        (2, lambda: "not " + e()),
        (2, lambda: 'copy/part "abcdef" ' + rng.choice(["1", "2", "n"])),
        (2, lambda: "append/only b " + blk()),
        (2, lambda: "append/dup b " + rng.choice(NUMBERS) + " " + rng.choice(["0", "2"])),
        (2, lambda: "h/a/b " + e() + " " + e() + " " + e()),
        (2, lambda: "h/a " + e() + " " + e()),
        (2, lambda: "x: y: " + e()),
        (2, lambda: "m " + e() + " " + e()),
        (2, lambda: "w " + e()),
        (2, lambda: "switch " + e() + " [1 " + blk() + " 2 " + blk() + "]"),
        (2, lambda: "case [" + e() + " " + blk() + " true " + blk() + "]"),
        (2, lambda: "foreach v [1 2] [" + block(d - 1) + "]"),
        (2, lambda: "catch [" + block(d - 1) + " throw " + e() + "]"),
        # Loop counters that no other code assigns (one per depth, so nested
        # loops have their own), so every loop ends.
        (1, lambda: f"c{d}: 0 while [c{d} < 3] [c{d}: c{d} + 1 " + block(d - 1) + "]"),
        (1, lambda: f"c{d}: 0 until [c{d}: c{d} + 1 " + block(d - 1) + f" c{d} > 2]"),
        (1, lambda: ":f " + e()),
        (1, lambda: "apply :g [" + e() + " true " + e() + "]"),
        # The same code run again: unchanged, with its words' values of
        # other types, with a word redefined between the passes.
        (2, lambda: "loop 3 [" + block(d - 1) + "]"),
        (1, lambda: "foreach v [1 -0.5 2147483647] [" + rng.choice(VARS) + ": v " + block(d - 1) + "]"),
        (2, lambda: "repeat i 3 [" + block(d - 1) + " if i = 2 [" + rng.choice(REDEFINITIONS) + "]]"),
        (2, lambda: rng.choice(REDEFINITIONS)),
        # bb run while it changes itself, and run again.
        (2, lambda: "do append bb [" + rng.choice(BB_CHANGES) + "]"),
        (1, lambda: "do bb"),
        (10, lambda: atom(d)),
    ]
    pick = rng.uniform(0, sum(w for w, _ in forms))
    for weight, make in forms:
        pick -= weight
        if pick <= 0:
            return make()
    return atom(d)


def block(d):
    return " ".join(expr(d) for _ in range(rng.randint(0, 3)))


def program():
    return (PRELUDE + "set/any 'r try [" + block(4) + "] t: type? get/any 'r "
            'print either error! = t ["error"] [either unset! = t ["unset"] [mold :r]] '
            "print mold reduce [x y n b]\n")


with tempfile.TemporaryDirectory() as tmp:
    for path in sorted(glob.glob(os.path.join(SCRIPTS, "**", "*.zel"), recursive=True)):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if "trace" in text:
            continue  # what tracing itself reports differs by design
        compare(os.path.relpath(path, SCRIPTS), text, tmp)
    for n in range(4):
        compare(f"generated-{n}", "".join(program() for _ in range(150)), tmp)

print(f"seed {SEED}: {results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
