"""Number to text and text to number, checked against Python's float repr,
its correctly rounded formatting and float(), over a million random doubles.

Python's texts are mapped to the runtime's forms here, from the rules alone:
plain notation for decimal-point positions -6..17, else "d.ddde-x" with no "+"
and no leading zeros, ".0" kept under the fraction flag, the special texts.
Set ZEL_NUMCONV_SEED to repeat a run; the seed is printed on failure."""
import array
import math
import os
import random
import subprocess
import sys
from decimal import Decimal, getcontext

BUILD = sys.argv[1]
PROG = os.path.join(BUILD, "tests", "numconv_probe")
SEED = int(os.environ.get("ZEL_NUMCONV_SEED", random.randrange(1 << 32)))
rng = random.Random(SEED)
results = {"passed": 0, "failed": 0}
DIGITS_MAX = 24


def check(name, cond, detail=""):
    if cond:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print(f"FAIL {name} (seed {SEED}): {detail}")


def doubles_of(bits):
    return list(array.array("d", array.array("Q", bits).tobytes()))


def bits_of(values):
    return list(array.array("Q", array.array("d", values).tobytes()))


# ---- the runtime's forms, built from Python's digits -----------------------

def parse_python(text):
    """Digits (no leading or trailing zeros), point position and sign of a
    finite non-zero number as Python writes it ("1.5e-07", "123.0", "1e+16")."""
    negative = text.startswith("-")
    if negative:
        text = text[1:]
    mantissa, _, exponent = text.partition("e")
    whole, _, fraction = mantissa.partition(".")
    digits = whole + fraction
    point = len(whole) + (int(exponent) if exponent else 0)
    stripped = digits.lstrip("0")
    point -= len(digits) - len(stripped)
    return stripped.rstrip("0"), point, negative


def our_form(digits, point, negative, fraction):
    if point > 17 or point < -6:
        text = digits[0]
        if len(digits) > 1:
            text += "." + digits[1:]
        elif fraction:
            text += ".0"
        text += "e" + str(point - 1)
    elif point <= 0:
        text = "0." + "0" * -point + digits
    elif len(digits) <= point:
        text = digits + "0" * (point - len(digits)) + (".0" if fraction else "")
    else:
        text = digits[:point] + "." + digits[point:]
    return ("-" if negative else "") + text


def expected_forms(x, precision):
    """The texts with and without the fraction flag."""
    if math.isnan(x):
        return "1.#NaN", "1.#NaN"
    if math.isinf(x):
        return ("-1.#INF",) * 2 if x < 0 else ("1.#INF",) * 2
    if x == 0.0:
        sign = "-" if math.copysign(1.0, x) < 0 else ""
        return sign + "0.0", sign + "0"
    if precision > 0:
        parts = parse_python(format(x, f".{min(precision, DIGITS_MAX) - 1}e"))
        return our_form(*parts, True), our_form(*parts, False)
    text = repr(x)
    mantissa, e, exponent = text.partition("e")
    if not e:
        # repr's plain notation (positions -3..16) is ours with the flag.
        return text, text[:-2] if text.endswith(".0") else text
    point = int(exponent) + 1  # repr puts one digit before its point
    if point > 17 or point < -6:
        # Both use the exponent form: ours has no "+" and no leading zeros.
        tail = "e" + str(point - 1)
        return (mantissa if "." in mantissa else mantissa + ".0") + tail, mantissa + tail
    parts = parse_python(text)
    return our_form(*parts, True), our_form(*parts, False)


def expected_read(text, extra=0):
    """The double a text denotes (extra decimal exponent added), sign applied
    by subtraction from 0.0 so that no -0.0 results."""
    negative = text.startswith("-")
    body = text.lstrip("+-")
    mantissa, _, exponent = body.lower().partition("e")
    magnitude = float(f"{mantissa}e{(int(exponent) if exponent else 0) + extra}")
    return 0.0 - magnitude if negative else magnitude


# ---- the probe -------------------------------------------------------------

def run_probe(lines):
    data = ("\n".join(lines) + "\n").encode("latin-1")
    r = subprocess.run([PROG], input=data, capture_output=True, timeout=600)
    check("probe exit", r.returncode == 0, r.stderr.decode(errors="replace")[-2000:])
    return r.stdout.decode("latin-1").split("\n")[:-1]


def compare_lines(name, commands, want, describe):
    """Runs the commands and compares each answer line with the wanted one."""
    got = run_probe(commands)
    check(name + " line count", len(got) == len(want), f"{len(got)} of {len(want)}")
    if got == want:
        check(name, True)
        return
    bad = [i for i, (g, w) in enumerate(zip(got, want)) if g != w]
    for i in bad[:10]:
        check(name, False, f"{describe(i)}: got {got[i]!r}, want {want[i]!r}")
    check(name, not bad, f"{len(bad)} of {len(want)} differ")


def compare_forms(name, values, precisions):
    commands = [f"F {b:016x} {p}" for b, p in zip(bits_of(values), precisions)]
    want = [" ".join(expected_forms(x, p)) for x, p in zip(values, precisions)]
    compare_lines(name, commands, want, lambda i: f"{values[i]!r} precision {precisions[i]}")
    return want


def compare_reads(name, texts, extras, expected):
    """Each text must read as the expected double (any NaN as the quiet NaN)
    with no character left."""
    commands = [f"R {e} {t}" for t, e in zip(texts, extras)]
    expected = [math.nan if v != v else v for v in expected]
    want = [f"{b:016x} 0" for b in bits_of(expected)]
    compare_lines(name, commands, want, lambda i: f"{texts[i][:80]!r} extra {extras[i]}")


# ---- the samples -----------------------------------------------------------

def random_bits(n):
    """Random bit patterns: most uniform over all 64 bits (every exponent,
    infinities and NaNs included), some subnormal, some in the plain range."""
    out = []
    for _ in range(n):
        kind = rng.random()
        if kind < 0.70:
            out.append(rng.getrandbits(64))
        elif kind < 0.85:  # subnormal: exponent bits zero
            out.append((rng.getrandbits(1) << 63) | rng.getrandbits(52))
        else:  # magnitude about 1e-9 .. 1e19, the plain notation and its borders
            exponent = rng.randrange(1023 - 30, 1023 + 64)
            out.append((rng.getrandbits(1) << 63) | (exponent << 52) | rng.getrandbits(52))
    return out


def edge_values():
    """Powers of ten and two, their neighbours, the extremes."""
    values = [0.0, -0.0, math.inf, -math.inf, math.nan, 5e-324, -5e-324,
              2.2250738585072014e-308, 2.225073858507201e-308, 1.7976931348623157e308,
              9007199254740992.0, 9007199254740993.0, 0.1, 0.2, 0.3, 1 / 3]
    for k in range(-325, 310):
        values.append(float(f"1e{k}"))
    for k in range(-1074, 1024):
        values.append(math.ldexp(1.0, k))
    values += [math.nextafter(v, math.inf) for v in list(values) if math.isfinite(v)]
    values += [math.nextafter(v, -math.inf) for v in list(values) if math.isfinite(v)]
    return values


def random_decimal_text():
    """A decimal text: sign, 1-40 digits (sometimes hundreds), point somewhere,
    maybe an exponent; zeros before and after."""
    count = rng.choice([rng.randint(1, 20), rng.randint(1, 40), rng.randint(300, 900)])
    digits = str(rng.getrandbits(4 * count))[:count]
    digits = "0" * rng.choice([0, 0, 0, 2]) + digits + "0" * rng.choice([0, 0, 3])
    cut = rng.randint(0, len(digits))
    text = digits[:cut] + "." + digits[cut:] if rng.random() < 0.7 else digits
    if rng.random() < 0.6:
        text += rng.choice("eE") + rng.choice(["", "+", "-"]) + str(rng.randint(0, 340))
    return rng.choice(["", "", "-", "+"]) + text


def halfway_texts(n):
    """Texts at, just above and just below the point halfway between two
    neighbouring doubles: hundreds of digits, where rounding is hardest."""
    getcontext().prec = 1200
    out = []
    for x in doubles_of([rng.getrandbits(63) for _ in range(n)]):
        if not math.isfinite(x) or x == 0.0:
            continue
        up = math.nextafter(x, math.inf)
        if not math.isfinite(up):
            continue
        mid = (Decimal(x) + Decimal(up)) / 2
        tiny = Decimal(1).scaleb(mid.adjusted() - 800)
        out += [format(mid, "e"), format(mid + tiny, "e"), format(mid - tiny, "e")]
    return out


# ---- the checks ------------------------------------------------------------

# 1. A million random doubles: the shortest form against Python's repr, and
#    each form (and Python's own repr) read back to the same double.
values = doubles_of(random_bits(1_000_000)) + edge_values()
forms = compare_forms("shortest form", values, [0] * len(values))
finite = [x for x in values if math.isfinite(x)]
texts = [f.split(" ")[0] for f in forms]
# Reading a form gives the double back, but never -0.0.
compare_reads("read own form", texts, [0] * len(texts), [x + 0.0 for x in values])
reprs = [repr(x) for x in finite]
compare_reads("read python repr", reprs, [0] * len(reprs), [x + 0.0 for x in finite])

# 2. n significant digits, rounded to nearest with ties to even.
some = doubles_of(random_bits(200_000)) + [0.125, 0.375, 2.5, 1e23, 5e-324]
precisions = [rng.randint(1, 30) for _ in some]
compare_forms("precision form", some, precisions)

# 3. Decimal texts of every shape, with and without the extra exponent.
decimals = [random_decimal_text() for _ in range(100_000)] + halfway_texts(7_000)
extras = [rng.choice([0, 0, -2, rng.randint(-30, 30)]) for _ in decimals]
compare_reads("read decimal text", decimals, extras,
              [expected_read(t, e) for t, e in zip(decimals, extras)])

print(f"{results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
