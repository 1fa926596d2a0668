#!/usr/bin/env python3
"""Draws the keypad's icons: four arrows (32 x 32, 16-colour ICO) and the
numeric block toggle (45 x 46 PNG). Standard library only; run from any
directory, the files are written beside this script."""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Arrow palette (index: RGB); index 0 is masked out as transparent.
PALETTE = [
    (0, 0, 0),
    (0x1F, 0x3A, 0x68),  # outline
    (0x3D, 0x7E, 0xD6),  # body
    (0xA6, 0xCF, 0xF7),  # highlight
]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))
ARROW_SIZE = 32


def inside_up_arrow(x, y):
    """Pixel (x, y) of a 32 x 32 grid lies in an arrow pointing up."""
    cx = 15.5
    if 3 <= y <= 16:  # head: apex at row 3, 26 pixels wide at row 16
        return abs(x - cx) <= y - 3 + 0.01
    if 16 < y <= 28:  # shaft
        return abs(x - cx) <= 5.0
    return False


def arrow_pixels(direction):
    """Palette indices, row 0 at the top, for 'up', 'down', 'left' or 'right'."""
    n = ARROW_SIZE

    def inside(x, y):
        if direction == "up":
            return inside_up_arrow(x, y)
        if direction == "down":
            return inside_up_arrow(x, n - 1 - y)
        if direction == "left":
            return inside_up_arrow(y, x)
        return inside_up_arrow(y, n - 1 - x)

    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            if not inside(x, y):
                row.append(0)
            elif not all(inside(x + dx, y + dy)
                         for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row.append(1)
            elif not (inside(x - 2, y) and inside(x, y - 2)):
                row.append(3)  # light falls from the top left
            else:
                row.append(2)
        rows.append(row)
    return rows


def ico_4bpp(rows):
    """A one-image ICO file holding a 4-bit BMP with its transparency mask."""
    n = len(rows)
    xor_stride = (n * 4 + 31) // 32 * 4
    and_stride = (n + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # BMP rows run bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, index in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if index == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image_size = len(xor) + len(mask)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, image_size, 0, 0, 16, 0)
    body = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(body), 6 + 16)
    return directory + entry + body


def png_rgba(width, height, pixels):
    """An 8-bit RGBA PNG; pixels[y][x] is an (r, g, b, a) tuple."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def numpad_pixels():
    """A 3 x 4 block of small keys, the zero key two keys wide."""
    width, height = 45, 46
    clear = (0, 0, 0, 0)
    border = (0x3A, 0x3F, 0x47, 255)
    face = (0xD9, 0xDE, 0xE4, 255)
    shine = (0xF7, 0xF9, 0xFB, 255)
    shade = (0x9A, 0xA2, 0xAD, 255)
    pixels = [[clear] * width for _ in range(height)]
    key_w, key_h, gap = 11, 8, 3
    left, top = 3, 3
    keys = [(c, r, 1) for r in range(3) for c in range(3)] + [(0, 3, 2), (2, 3, 1)]
    for column, row, span in keys:
        x0 = left + column * (key_w + gap)
        y0 = top + row * (key_h + gap)
        w = key_w * span + gap * (span - 1)
        for y in range(y0, y0 + key_h):
            for x in range(x0, x0 + w):
                edge = x in (x0, x0 + w - 1) or y in (y0, y0 + key_h - 1)
                corner = x in (x0, x0 + w - 1) and y in (y0, y0 + key_h - 1)
                if corner:
                    continue  # rounded look
                if edge:
                    pixels[y][x] = border
                elif y == y0 + 1:
                    pixels[y][x] = shine
                elif y == y0 + key_h - 2:
                    pixels[y][x] = shade
                else:
                    pixels[y][x] = face
    return width, height, pixels


def main():
    for direction, name in (("up", "ARW06UP.ICO"), ("down", "ARW06DN.ICO"),
                            ("left", "ARW06LT.ICO"), ("right", "ARW06RT.ICO")):
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(ico_4bpp(arrow_pixels(direction)))
    width, height, pixels = numpad_pixels()
    with open(os.path.join(HERE, "numpad.png"), "wb") as out:
        out.write(png_rgba(width, height, pixels))


if __name__ == "__main__":
    main()
