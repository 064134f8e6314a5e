"""Case mappings and display widths of every code point, checked against the
Unicode character database files (Debian unicode-data, /usr/share/unicode).

tests/progs/unicode_oracle lists every code point whose mapping or width is
not the trivial one; this test derives the same list from UnicodeData.txt
and EastAsianWidth.txt and compares the two.
"""
import os
import struct
import subprocess
import sys

BUILD = sys.argv[1]
PROG = os.path.join(BUILD, "tests", "unicode_oracle")
UCD = os.environ.get("ZEL_UCD", "/usr/share/unicode")


def data_lines(name):
    with open(os.path.join(UCD, name), encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [x.strip() for x in line.split(";")]


def expected_table():
    category, upper, lower = {}, {}, {}
    first = None
    for f in data_lines("UnicodeData.txt"):
        cp = int(f[0], 16)
        if f[1].endswith("First>"):
            first = cp
            continue
        for c in range(first if f[1].endswith("Last>") else cp, cp + 1):
            category[c] = f[2]
        first = None
        if f[12]:
            upper[cp] = int(f[12], 16)
        if f[13]:
            lower[cp] = int(f[13], 16)
    upper[0xDF] = 0x53  # sharp s to S, the one pair beyond the simple mappings

    east_asian = {}
    for f in data_lines("EastAsianWidth.txt"):
        lo, _, hi = f[0].partition("..")
        for c in range(int(lo, 16), int(hi or lo, 16) + 1):
            east_asian[c] = f[1]

    rows = {}
    for cp in range(0x110000):
        cat, ea = category.get(cp, "Cn"), east_asian.get(cp, "N")
        if cp == 0:
            width = 0
        elif cp < 0x20 or 0x7F <= cp < 0xA0:
            width = 1
        elif cat in ("Mn", "Me") or 0x1160 <= cp <= 0x11FF:
            width = 0
        elif ea in ("W", "F"):
            width = 2
        else:
            width = 1
        cjk = 2 if ea == "A" and cat not in ("Mn", "Me", "Cf") else width
        up, low = upper.get(cp, cp), lower.get(cp, cp)
        if up != cp or low != cp or width != 1 or cjk != 1:
            rows[cp] = (up, low, width, cjk)
    return rows


def main():
    if not os.path.exists(os.path.join(UCD, "UnicodeData.txt")):
        print(f"the Unicode data files are missing from {UCD} (apt-get install unicode-data)")
        return 1
    proc = subprocess.run([PROG], input=b"T" + struct.pack("<I", 0), capture_output=True, timeout=600)
    if proc.returncode != 0:
        print("unicode_oracle failed:", proc.returncode, proc.stderr.decode(errors="replace")[-2000:])
        return 1
    got = {}
    for line in proc.stdout.decode().splitlines():
        cp, up, low, width, cjk = line.split()
        got[int(cp, 16)] = (int(up, 16), int(low, 16), int(width), int(cjk))
    expected = expected_table()
    wrong = sorted(cp for cp in set(got) | set(expected) if got.get(cp) != expected.get(cp))
    for cp in wrong[:20]:
        print(f"U+{cp:04X}: runtime {got.get(cp)}, data {expected.get(cp)} (upper, lower, width, cjk width)")
    if wrong:
        print(f"{len(wrong)} code points differ")
        return 1
    print(f"ok: {len(expected)} code points with a mapping or a width other than 1")
    return 0


if __name__ == "__main__":
    sys.exit(main())
