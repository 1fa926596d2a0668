#!/usr/bin/env python3
"""Writes the display's standard glyph map file from the drawings in ../glyphs.

Each drawing is a header line "@CODE label" (or "@FIRST-LAST label" for a run of codes
sharing one pattern) followed by eight rows of five dots, X lit and . unlit, top row
first. Lines starting with # are comments. Every code from 0 to 255 must be drawn exactly
once; a one-character label must be the Windows-1251 character of its code.

The map file has one line per code (286 lines, CR LF): forty comma-separated fields, field
k being the dot of column k // 8, row k % 8, each field followed by a comma. Lines past
255 are never read by the program and are written blank.

    make_glyph_map.py            rewrite the map file
    make_glyph_map.py --check    exit 1 when the committed map file differs
"""

import argparse
import pathlib
import re
import sys

COLUMNS = 5
ROWS = 8
CODES = 256
MAP_LINES = 286

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_GLYPHS = HERE.parent / "glyphs"
DEFAULT_OUTPUT = HERE.parent / "simbolMatrixMap.txt"

HEADER = re.compile(r"^@(\d+)(?:-(\d+))?\s+(\S.*)$")
ROW = re.compile(r"^[X.]{%d}$" % COLUMNS)


class DrawingError(Exception):
    pass


def read_drawings(path):
    """Yields (first, last, label, rows) for each drawing of one file."""
    lines = [line.rstrip() for line in path.read_text(encoding="utf-8").splitlines()]
    index = 0
    while index < len(lines):
        line = lines[index]
        index += 1
        if not line or line.startswith("#"):
            continue
        header = HEADER.match(line)
        if not header:
            raise DrawingError(f"{path.name}:{index}: expected '@CODE label', got {line!r}")
        first = int(header.group(1))
        last = int(header.group(2) or first)
        rows = lines[index:index + ROWS]
        if len(rows) != ROWS or not all(ROW.match(row) for row in rows):
            raise DrawingError(f"{path.name}:{index}: code {first} needs {ROWS} rows of {COLUMNS} X/. dots")
        index += ROWS
        yield first, last, header.group(3), rows


def check_label(path, code, label):
    if len(label) != 1:
        return
    try:
        character = bytes([code]).decode("cp1251")
    except UnicodeDecodeError:
        character = None
    if character != label:
        raise DrawingError(f"{path.name}: label {label!r} is not the character of code {code}")


def load_glyphs(directory):
    """Returns a list of 256 drawings (each a list of rows), indexed by code."""
    glyphs = [None] * CODES
    files = sorted(directory.glob("*.txt"))
    if not files:
        raise DrawingError(f"no drawings in {directory}")
    for path in files:
        for first, last, label, rows in read_drawings(path):
            if not 0 <= first <= last < CODES:
                raise DrawingError(f"{path.name}: codes {first}-{last} out of 0-{CODES - 1}")
            for code in range(first, last + 1):
                if glyphs[code] is not None:
                    raise DrawingError(f"{path.name}: code {code} is drawn twice")
                if first == last:
                    check_label(path, code, label)
                glyphs[code] = rows
    missing = [code for code, rows in enumerate(glyphs) if rows is None]
    if missing:
        raise DrawingError(f"codes not drawn: {missing}")
    return glyphs


def map_line(rows):
    fields = []
    for column in range(COLUMNS):
        for row in range(ROWS):
            lit = rows is not None and rows[row][column] == "X"
            fields.append("1" if lit else "0")
    return ",".join(fields) + ",\r\n"


def map_file(glyphs):
    lines = [map_line(glyphs[code] if code < CODES else None) for code in range(MAP_LINES)]
    return "".join(lines).encode("ascii")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--glyphs", type=pathlib.Path, default=DEFAULT_GLYPHS)
    parser.add_argument("--output", type=pathlib.Path, default=DEFAULT_OUTPUT)
    parser.add_argument("--check", action="store_true", help="compare with the map file instead of writing it")
    args = parser.parse_args()
    try:
        content = map_file(load_glyphs(args.glyphs))
    except DrawingError as error:
        print(f"make_glyph_map: {error}", file=sys.stderr)
        return 2
    if args.check:
        if not args.output.exists() or args.output.read_bytes() != content:
            print(f"make_glyph_map: {args.output} is not what the drawings give; run {pathlib.Path(__file__).name}",
                  file=sys.stderr)
            return 1
        return 0
    args.output.write_bytes(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
