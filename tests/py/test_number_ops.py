"""integer! arithmetic and the round action, checked from outside.

Integer arithmetic runs through the action table on random 32-bit operands
(boundaries included) and is compared with Python's unbounded integers: a
result that leaves 32 bits must be the float of the exact result; an inexact
division the float quotient. round and its refinements are compared with
Python's decimal quantize in the matching rounding mode, for integer! values
and for float! values with power-of-two scales (where the float computation
is exact). Set ZEL_NUMBER_SEED to repeat a run."""
import math
import os
import random
import subprocess
import sys
from decimal import (Decimal, localcontext, ROUND_CEILING, ROUND_DOWN, ROUND_FLOOR,
                     ROUND_HALF_DOWN, ROUND_HALF_EVEN, ROUND_HALF_UP)

BUILD = sys.argv[1]
PROG = os.path.join(BUILD, "tests", "number_probe")
SEED = int(os.environ.get("ZEL_NUMBER_SEED", random.randrange(1 << 32)))
rng = random.Random(SEED)
MIN, MAX = -(1 << 31), (1 << 31) - 1
results = {"passed": 0, "failed": 0}
shown = [0]


def check(name, got, want, detail):
    if got == want:
        results["passed"] += 1
        return
    results["failed"] += 1
    if shown[0] < 20:
        shown[0] += 1
        print(f"FAIL {name} (seed {SEED}): {detail}: got {got!r}, want {want!r}")


def probe(lines):
    out = subprocess.run([PROG], input="\n".join(lines) + "\n", capture_output=True, text=True, check=True).stdout
    answers = out.split("\n")[:-1]
    assert len(answers) == len(lines), (len(answers), len(lines))
    return answers


def as_float(x):
    return "f " + float(x).hex()


def parse(answer):
    kind, _, value = answer.partition(" ")
    if kind == "f":
        return "f " + float.fromhex(value).hex()
    return answer


# ---- integer arithmetic ----------------------------------------------------

EDGES = [MIN, MIN + 1, MIN + 2, -65536, -46341, -46340, -2, -1, 0, 1, 2, 3, 46340, 46341, 65535, 65536,
         MAX - 1, MAX]


def operand():
    r = rng.random()
    if r < 0.3:
        return rng.choice(EDGES)
    if r < 0.5:
        return rng.randint(-100, 100)
    if r < 0.6:
        return rng.choice(EDGES) + rng.randint(-3, 3)
    return rng.randint(MIN, MAX)


def clamp(v):
    return max(MIN, min(MAX, v))


def wrap_ok(v):
    return MIN <= v <= MAX


def expected_math(op, a, b):
    if op <= 2:
        exact = (a + b, a - b, a * b)[op]
        return f"i {exact}" if wrap_ok(exact) else as_float(exact)
    if op in (3, 4):
        if b == 0:
            return "e zero-divide"
        if a == MIN and b == -1:
            return "e overflow"
        if op == 4:
            r = abs(a) % abs(b)
            return f"i {-r if a < 0 else r}"
        if a % b == 0:
            return f"i {a // b}"
        return as_float(float(a) / float(b))
    return f"i {(a | b, a & b, a ^ b)[op - 5]}"


cases = []
for _ in range(200_000):
    a, b = clamp(operand()), clamp(operand())
    cases.append((rng.randrange(8), a, b))
answers = probe([f"M {op} {a} {b}" for op, a, b in cases])
for (op, a, b), got in zip(cases, answers):
    check("integer math", parse(got), expected_math(op, a, b), f"op {op} {a} {b}")

# ---- round ------------------------------------------------------------------

MODES = {"-": ROUND_HALF_UP, "e": ROUND_HALF_EVEN, "d": ROUND_DOWN, "h": ROUND_HALF_DOWN,
         "f": ROUND_FLOOR, "c": ROUND_CEILING, "u": None}


def quantize(q, mode):
    """q rounded to a whole number by the mode (u: ties toward +infinity)."""
    if mode == "u":
        tie = (q * 2) == (q * 2).to_integral_value() and q != q.to_integral_value()
        return q.quantize(Decimal(1), rounding=ROUND_CEILING if tie else ROUND_HALF_UP)
    return q.quantize(Decimal(1), rounding=MODES[mode])


def expected_int_round(v, s, mode):
    s = abs(s)
    if s == 0:
        return f"i {v}"
    with localcontext() as ctx:
        ctx.prec = 80
        r = quantize(Decimal(v) / Decimal(s), mode) * s
    return f"i {int(r)}" if wrap_ok(int(r)) else "e overflow"


SCALES = [1, 2, 3, 5, 7, 10, 16, 100, 1000, 10 ** 6, 10 ** 9, MAX, MIN, -10, 0]
cases = []
for _ in range(100_000):
    v = operand()
    s = rng.choice(SCALES) if rng.random() < 0.6 else operand()
    if rng.random() < 0.2:  # exact halves
        s = rng.choice([2, 10, 100, 1000, 1 << 20])
        v = (rng.randint(-(MAX // s), MAX // s) * s) + s // 2 * rng.choice([1, -1])
    cases.append((clamp(v), clamp(s), rng.choice(list(MODES))))
answers = probe([f"R {v} {s} {m}" for v, s, m in cases])
for (v, s, m), got in zip(cases, answers):
    check("integer round", got, expected_int_round(v, s, m), f"round/to {v} {s} mode {m}")


def random_double():
    r = rng.random()
    if r < 0.3:  # exact halves and quarters
        return rng.randint(-10 ** 6, 10 ** 6) + rng.choice([0.5, 0.25, 0.75, -0.5])
    if r < 0.5:
        return rng.uniform(-1000, 1000)
    return math.ldexp(rng.uniform(-1, 1), rng.randint(-60, 80))


def expected_float_round(x, s, mode):
    with localcontext() as ctx:
        ctx.prec = 2000
        q = Decimal(x) / Decimal(s)
        r = quantize(q, mode) * Decimal(s)
    return as_float(float(r))


cases = []
for _ in range(100_000):
    x = random_double()
    s = math.ldexp(1.0, rng.randint(-20, 20))
    cases.append((x, s, rng.choice(list(MODES))))
answers = probe([f"G {x.hex()} {s.hex()} {m}" for x, s, m in cases])
for (x, s, m), got in zip(cases, answers):
    want = expected_float_round(x, s, m)
    # A zero result keeps the sign the rounding gives it; compare values.
    check("float round", float.fromhex(parse(got)[2:]) if got.startswith("f") else got,
          float.fromhex(want[2:]), f"round/to {x!r} {s!r} mode {m}")

cases = [(random_double(), rng.choice(list(MODES))) for _ in range(50_000)]
answers = probe([f"N {x.hex()} {m}" for x, m in cases])
for (x, m), got in zip(cases, answers):
    want = expected_float_round(x, 1.0, m)
    check("float round (no /to)", float.fromhex(parse(got)[2:]) if got.startswith("f") else got,
          float.fromhex(want[2:]), f"round {x!r} mode {m}")

print(f"{results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
