"""The runtime's UTF-8 and UTF-16 codecs checked against Python's codecs.

Thousands of random, valid and deliberately broken byte strings go through
tests/progs/unicode_oracle in one process; every answer is compared with
what Python's own decoders and encoders say about the same bytes.
"""
import codecs
import os
import random
import struct
import subprocess
import sys

BUILD = sys.argv[1]
PROG = os.path.join(BUILD, "tests", "unicode_oracle")
rng = random.Random(20240611)
failures = []


def record(mode, payload):
    return mode.encode() + struct.pack("<I", len(payload)) + payload


# ---- inputs ----

INTERESTING = [
    0x00, 0x7F, 0x80, 0xFF, 0x100, 0x7FF, 0x800, 0xFFF, 0x1000, 0xD7FF, 0xE000, 0xFEFF, 0xFFFD,
    0xFFFF, 0x10000, 0x1F600, 0xFFFFF, 0x100000, 0x10FFFF, 0x0A, 0x0D,
]
NASTY = [
    b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\x80", b"\xe0\x9f\xbf", b"\xed\xa0\x80", b"\xed\xbf\xbf",
    b"\xf0\x80\x80\x80", b"\xf0\x8f\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xf8\x88\x80\x80\x80",
    b"\xfe", b"\xff", b"\x80", b"\xbf", b"\xc2", b"\xe2\x82", b"\xf0\x9f\x98", b"\xef\xbb\xbf", b"\r\n", b"\r",
]


def random_char():
    r = rng.random()
    if r < 0.45:
        return rng.randrange(0x20, 0x7F)
    if r < 0.55:
        return rng.choice(INTERESTING)
    if r < 0.7:
        return rng.randrange(0x80, 0x800)
    if r < 0.85:
        cp = rng.randrange(0x800, 0x10000)
        return cp if not 0xD800 <= cp <= 0xDFFF else 0x20AC
    return rng.randrange(0x10000, 0x110000)


def random_text(n):
    return "".join(chr(random_char()) for _ in range(n))


def mutate(b):
    b = bytearray(b)
    for _ in range(rng.randrange(1, 4)):
        kind = rng.randrange(5)
        pos = rng.randrange(len(b) + 1)
        if kind == 0 and b:
            b[min(pos, len(b) - 1)] = rng.randrange(256)
        elif kind == 1:
            b[pos:pos] = rng.choice(NASTY)
        elif kind == 2 and b:
            del b[min(pos, len(b) - 1)]
        elif kind == 3:
            b = b[:pos]
        else:
            b[pos:pos] = bytes([rng.randrange(0x80, 0xC0)])
    return bytes(b)


def byte_inputs(count):
    out = [b"", b"\xef\xbb\xbf", b"\xef\xbb", b"A\xe2\x82", b"a\r\nb\rc", b"\xc3A"] + NASTY
    out += [bytes([a, b]) for a in range(0xC0, 0x100, 3) for b in (0x41, 0x80, 0x9F, 0xA0, 0xBF, 0xC0)]
    while len(out) < count:
        r = rng.random()
        text = random_text(rng.randrange(0, 30)).encode("utf-8", "surrogatepass")
        if r < 0.3:
            out.append(text)
        elif r < 0.6:
            out.append(mutate(text))
        elif r < 0.75:
            out.append(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 24))))
        elif r < 0.9:
            # Long ASCII runs with line ends, then something wide or broken.
            run = "".join(rng.choice("abcdefgh\r\n") for _ in range(rng.randrange(8, 40)))
            tail = rng.choice([b"", b"\xe2\x82\xac", b"\xf0\x9f\x98\x80", b"\xff", b"\xe2\x82", b"\r"])
            out.append(run.encode() + tail + run.encode())
        else:
            out.append(b"\xef\xbb\xbf" + mutate(text) if text else b"\xef\xbb\xbf\xef\xbb\xbf")
    return out


# ---- what Python says ----

def error_spans(data):
    """The text and the (start, end) of each ill-formed part, under 'replace' rules."""
    spans = []

    def handler(exc):
        spans.append((exc.start, exc.end))
        return ("\ufffd", exc.end)

    codecs.register_error("zel-record", handler)
    return data.decode("utf-8", "zel-record"), spans


def python_steps(data):
    """(code point or None, byte length) per decoder step, under 'replace' rules."""
    text, spans = error_spans(data)
    steps, pos, bad = [], 0, iter(spans)
    for ch in text:
        span = next(bad) if ch == "\ufffd" and pos < len(data) and data[pos:pos + 3] != b"\xef\xbf\xbd" else None
        if span:
            steps.append((None, span[1] - span[0]))
            pos = span[1]
        else:
            n = len(ch.encode("utf-8"))
            steps.append((ord(ch), n))
            pos += n
    return steps


def python_load(data, keep_tail, crlf, skip_bom=True):
    """The loader's answer: ('OK', unit, left, cps) or ('ERR', offending bytes)."""
    if skip_bom and len(data) >= 3 and data[:3] == b"\xef\xbb\xbf":
        data = data[3:]
    dec = codecs.getincrementaldecoder("utf-8")("strict")
    try:
        text = dec.decode(data, final=False)
    except UnicodeDecodeError as e:
        return ("ERR", data[e.start:e.start + 4])
    left = len(dec.getstate()[0])
    if left:
        # Python's incremental decoder holds back some tails that can never
        # complete (ED A0 ...); a tail is cut off only when all of it is one
        # ill-formed part under the final decoder.
        tail = data[len(data) - left:]
        spans = error_spans(tail)[1]
        if spans != [(0, left)]:
            return ("ERR", tail[spans[0][0]:spans[0][0] + 4])
    if left and not keep_tail:
        return ("ERR", data[len(data) - left:])
    if crlf:
        text = text.replace("\r\n", "\n").replace("\r", "\n")
    cps = [ord(c) for c in text]
    unit = 1 if max(cps, default=0) <= 0xFF else 2 if max(cps) <= 0xFFFF else 4
    return ("OK", unit, left, cps)


def parse_load(line):
    parts = line.split()
    if parts[0] == "ERR":
        if parts[1] != "invalid-utf8":
            return ("BAD-ID", parts[1:])
        return ("ERR", bytes.fromhex(parts[2]) if len(parts) > 2 else b"")
    unit = parts[1] if parts[1] == "-" else int(parts[1])
    return ("OK", unit, int(parts[2]), [int(x, 16) for x in parts[3:]])


def check(name, data, got, expected):
    if got != expected and len(failures) < 20:
        failures.append(f"{name} {data.hex()}: got {got}, expected {expected}")
    elif got != expected:
        failures.append(name)


def main():
    inputs = byte_inputs(12000)
    utf16_inputs = []
    for _ in range(3000):
        units = [rng.choice([random_char(), rng.randrange(0xD800, 0xE000), 0x0D]) for _ in range(rng.randrange(0, 12))]
        utf16_inputs.append(b"".join(struct.pack("<H", u & 0xFFFF) if u < 0x10000 else
                                     chr(u).encode("utf-16-le") for u in units))
    texts = [random_text(rng.randrange(0, 25)) for _ in range(3000)] + ["", "\n", "a\nb", "\U0010ffff\n"]

    stream = bytearray()
    for data in inputs:
        for mode in "FLlRC":
            stream += record(mode, data)
    for data in utf16_inputs:
        stream += record("U", data)
    for text in texts:
        stream += record("E", text.encode("utf-32-le"))

    proc = subprocess.run([PROG], input=bytes(stream), capture_output=True, timeout=600)
    if proc.returncode != 0:
        print("unicode_oracle failed:", proc.returncode, proc.stderr.decode(errors="replace")[-2000:])
        return 1
    lines = iter(proc.stdout.decode().splitlines())

    for data in inputs:
        steps = []
        for item in next(lines).split():
            if ":" not in item:
                steps.append(item)  # a mismatch marker
                continue
            cp, n = item.split(":")
            steps.append((None if cp == "X" else int(cp, 16), int(n)))
        check("fast", data, steps, python_steps(data))
        check("load", data, parse_load(next(lines)), python_load(data, True, False))
        check("load-no-left", data, parse_load(next(lines)), python_load(data, False, False))
        check("load-crlf", data, parse_load(next(lines)), python_load(data, True, True))
        expected = python_load(data, True, False, skip_bom=False)
        if expected[0] == "OK":
            expected = ("OK", "-", expected[2], expected[3])
        check("char", data, parse_load(next(lines)), expected)

    for data in utf16_inputs:
        highs = data[1::2]
        unit = 4 if any(0xD8 <= h <= 0xDF for h in highs) else 2 if any(highs) else 1
        text = data.decode("utf-16-le", "replace")
        check("utf16", data, next(lines), " ".join(["OK", str(unit)] + [f"{ord(c):x}" for c in text]))

    for text in texts:
        utf8 = text.encode("utf-8")
        utf16 = text.replace("\n", "\r\n").encode("utf-16-le")
        expected = f"OK {utf8.hex() or '-'} {utf16.hex() or '-'} {len(utf8)}"
        check("encode", text.encode("utf-32-le"), next(lines), expected)

    if failures:
        print(f"{len(failures)} mismatches; first ones:")
        for f in failures[:20]:
            print(" ", f)
        return 1
    print(f"ok: {len(inputs)} byte strings x 5 decoders, {len(utf16_inputs)} UTF-16 inputs, {len(texts)} texts")
    return 0


if __name__ == "__main__":
    sys.exit(main())
