#!/usr/bin/env python3
"""Generates the runtime's case-mapping and display-width tables.

Usage: python3 tools/gen_unicode_tables.py [UCD_DIR] [OUT_DIR]
  UCD_DIR defaults to /usr/share/unicode (Debian package unicode-data)
  OUT_DIR defaults to runtime/ next to this script's folder

Writes OUT_DIR/unicode_tables.h and OUT_DIR/unicode_tables.cpp. The data is
pinned: the script refuses a database of another version, so the committed
tables can always be reproduced from the same files.

What the tables hold:
- case pairs of the basic plane, sorted by source code point: the simple
  upper-case and lower-case mappings of UnicodeData.txt, plus one pair the
  runtime has always carried, sharp s (DFh) to S (53h);
- direct tables of the basic plane's mappings, one entry per code point
  (0: no mapping), built by the compiler from those pairs: read-only data
  the program maps from its file, with nothing to fill at start-up;
- case pairs above FFFFh, the same mappings, for the supplementary planes;
- zero width: general categories Mn and Me, plus the Hangul medial vowels
  and final consonants 1160h-11FFh;
- wide: East Asian Width W and F (EastAsianWidth.txt, reserved code points
  included where the file lists them);
- ambiguous: East Asian Width A, less the Mn, Me and Cf characters.
"""
import os
import re
import sys

UNICODE_VERSION = "15.0.0"
SHARP_S_PAIR = (0xDF, 0x53)


def read_fields(path):
    """Yields the ';'-separated fields of each data line, comments dropped."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [x.strip() for x in line.split(";")]


def code_range(text):
    if ".." in text:
        lo, hi = text.split("..")
        return int(lo, 16), int(hi, 16)
    return int(text, 16), int(text, 16)


def check_version(ucd):
    with open(os.path.join(ucd, "EastAsianWidth.txt"), encoding="utf-8") as f:
        head = f.readline()
    m = re.search(r"EastAsianWidth-(\d+\.\d+\.\d+)\.txt", head)
    if not m or m.group(1) != UNICODE_VERSION:
        sys.exit(f"expected the Unicode {UNICODE_VERSION} database in {ucd}, found {head.strip()!r}")


def unicode_data(ucd):
    """General category and simple mappings per code point (ranges expanded)."""
    category, upper, lower = {}, {}, {}
    first = None
    for f in read_fields(os.path.join(ucd, "UnicodeData.txt")):
        cp, name, cat = int(f[0], 16), f[1], f[2]
        if name.endswith(", First>"):
            first = cp
            continue
        start = first if name.endswith(", Last>") else cp
        first = None
        for c in range(start, cp + 1):
            category[c] = cat
        if f[12]:
            upper[cp] = int(f[12], 16)
        if f[13]:
            lower[cp] = int(f[13], 16)
    return category, upper, lower


def east_asian_width(ucd):
    width = {}
    for f in read_fields(os.path.join(ucd, "EastAsianWidth.txt")):
        lo, hi = code_range(f[0])
        for c in range(lo, hi + 1):
            width[c] = f[1]
    return width


def merge_ranges(points):
    out = []
    for c in sorted(points):
        if out and out[-1][1] == c - 1:
            out[-1][1] = c
        else:
            out.append([c, c])
    return out


def split_planes(mapping):
    """Pairs below 10000h and above it; no mapping may cross that line."""
    bmp, supp = [], []
    for src, dst in sorted(mapping.items()):
        if (src > 0xFFFF) != (dst > 0xFFFF):
            sys.exit(f"mapping {src:X} -> {dst:X} crosses the basic plane")
        (supp if src > 0xFFFF else bmp).append((src, dst))
    return bmp, supp


def c_words(name, pairs, per_line=4):
    # constexpr so that the direct tables below can be built from them; the
    # header's extern declaration keeps them visible to other files.
    lines = [f"constexpr uint32_t {name}[] = {{"]
    for i in range(0, len(pairs), per_line):
        chunk = pairs[i:i + per_line]
        lines.append("    " + " ".join(f"0x{a:04X}, 0x{b:04X}," for a, b in chunk))
    lines.append("};")
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    out_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "runtime")
    check_version(ucd)
    category, upper, lower = unicode_data(ucd)
    width = east_asian_width(ucd)

    upper[SHARP_S_PAIR[0]] = SHARP_S_PAIR[1]
    upper_bmp, upper_supp = split_planes(upper)
    lower_bmp, lower_supp = split_planes(lower)

    zero = {c for c, cat in category.items() if cat in ("Mn", "Me")} | set(range(0x1160, 0x1200))
    wide = {c for c, w in width.items() if w in ("W", "F")}
    ambiguous = {c for c, w in width.items()
                 if w == "A" and category.get(c) not in ("Mn", "Me", "Cf")}
    tables = [
        ("TO_UPPER_PAIRS", upper_bmp, "basic-plane pairs (lower, upper)"),
        ("TO_LOWER_PAIRS", lower_bmp, "basic-plane pairs (upper, lower)"),
        ("TO_UPPER_RANGES", upper_supp, "supplementary pairs (lower, upper)"),
        ("TO_LOWER_RANGES", lower_supp, "supplementary pairs (upper, lower)"),
        ("ZERO_WIDTH_RANGES", merge_ranges(zero), "zero-width ranges (start, end)"),
        ("WIDE_RANGES", merge_ranges(wide), "wide ranges (start, end)"),
        ("AMBIGUOUS_RANGES", merge_ranges(ambiguous), "ambiguous-width ranges (start, end)"),
    ]

    banner = (f"// Generated by tools/gen_unicode_tables.py from the Unicode {UNICODE_VERSION} character\n"
              f"// database (Debian unicode-data, /usr/share/unicode). Do not edit; regenerate with\n"
              f"//   python3 tools/gen_unicode_tables.py /usr/share/unicode runtime\n")
    header = [banner + "// Case pairs and display-width ranges, each a flat array of 32-bit words.",
              "#pragma once", "#include <cstdint>", "", "namespace zel::unicode_tables {", ""]
    body = [banner + '#include "runtime/unicode_tables.h"', "", "namespace zel::unicode_tables {", ""]
    for name, pairs, what in tables:
        count = name.replace("_PAIRS", "").replace("_RANGES", "") + ("_PAIR_COUNT" if name.endswith("PAIRS") else "_RANGE_COUNT")
        header.append(f"// {len(pairs)} {what}, sorted by their first member.")
        header.append(f"constexpr uint32_t {count} = {len(pairs)};")
        header.append(f"extern const uint32_t {name}[{count} * 2];")
        header.append("")
        body.append(c_words(name, pairs))
        body.append("")
    header += ["// The basic plane's case mappings by code point (0: no mapping), made from",
               "// TO_UPPER_PAIRS and TO_LOWER_PAIRS.",
               "struct DirectTable {",
               "    uint32_t to[65536];",
               "};",
               "extern const DirectTable TO_UPPER_DIRECT;",
               "extern const DirectTable TO_LOWER_DIRECT;",
               ""]
    body += ["namespace {",
             "",
             "constexpr DirectTable direct(const uint32_t* pairs, uint32_t count) {",
             "    DirectTable t{};",
             "    for (uint32_t i = 0; i < count; ++i) t.to[pairs[2 * i]] = pairs[2 * i + 1];",
             "    return t;",
             "}",
             "",
             "}  // namespace",
             "",
             "constexpr DirectTable TO_UPPER_DIRECT = direct(TO_UPPER_PAIRS, TO_UPPER_PAIR_COUNT);",
             "constexpr DirectTable TO_LOWER_DIRECT = direct(TO_LOWER_PAIRS, TO_LOWER_PAIR_COUNT);",
             ""]
    header.append("}  // namespace zel::unicode_tables")
    body.append("}  // namespace zel::unicode_tables")
    with open(os.path.join(out_dir, "unicode_tables.h"), "w", encoding="utf-8") as f:
        f.write("\n".join(header) + "\n")
    with open(os.path.join(out_dir, "unicode_tables.cpp"), "w", encoding="utf-8") as f:
        f.write("\n".join(body) + "\n")
    for name, pairs, _ in tables:
        print(f"{name}: {len(pairs)}")


if __name__ == "__main__":
    main()
