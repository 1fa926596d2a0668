#!/usr/bin/env python3
"""Draws the program's icons and pictures into app/resources (the splash screen is painted
at build time by make_splash). Standard library only.

    make_app_images.py            rewrite the files
    make_app_images.py --check    exit 1 when a committed file differs from the drawing
"""

import argparse
import math
import pathlib
import sys

sys.dont_write_bytecode = True  # keep the source tree clean of caches

from raster import (Canvas, arc, circle, gif_bytes, ico_bytes, minus, mix, png_bytes, polygon,
                    rect, segment, union)

RESOURCES = pathlib.Path(__file__).resolve().parent.parent

INK = (0x22, 0x2B, 0x36)
STEEL = (0x5B, 0x67, 0x75)
LCD = (0x9C, 0xD6, 0x5A)
LCD_DARK = (0x2F, 0x4A, 0x1C)
BLUE = (0x1F, 0x5F, 0xB8)
RED = (0xD0, 0x2A, 0x22)
WHITE = (0xFF, 0xFF, 0xFF)
GREEN = (0x2E, 0x9E, 0x44)


def connect_icon(n):
    """The window's icon: a panel with a lit two-row display and a cable."""
    s = n / 32
    c = Canvas(n, n)
    c.fill(segment(26 * s, 24 * s, 30 * s, 30 * s, 2.5 * s), STEEL)
    c.fill(rect(2 * s, 5 * s, 28 * s, 25 * s, 3 * s), INK)
    c.fill(rect(5 * s, 8 * s, 25 * s, 18 * s, 1 * s), LCD)
    for row in range(2):
        for col in range(6):
            x = 7 * s + col * 3 * s
            y = 9.5 * s + row * 4 * s
            c.fill(rect(x, y, x + 2 * s, y + 2.8 * s), LCD_DARK)
    for col in range(3):
        x = 8 * s + col * 6 * s
        c.fill(circle(x, 21.5 * s, 1.4 * s), (0xE8, 0xB0, 0x3A))
    return c.rows()


def binoculars_icon(n):
    s = n / 32
    c = Canvas(n, n)
    for cx in (9, 23):
        c.fill(rect((cx - 5) * s, 6 * s, (cx + 5) * s, 22 * s, 2.5 * s), INK)
        c.fill(circle(cx * s, 22 * s, 7 * s), INK)
        c.fill(circle(cx * s, 22 * s, 4.6 * s), (0x4F, 0x9C, 0xE0))
        c.fill(circle((cx - 1.5) * s, 20.5 * s, 1.6 * s), (0xD8, 0xEE, 0xFF))
        c.fill(rect((cx - 3.5) * s, 3 * s, (cx + 3.5) * s, 8 * s, 1.5 * s), STEEL)
    c.fill(rect(13 * s, 10 * s, 19 * s, 16 * s, 1 * s), STEEL)
    return c.rows()


def russian_icon(n):
    """The Russian language item: three stripes, white, blue, red."""
    s = n / 16
    c = Canvas(n, n)
    top, bottom = 3 * s, 13 * s
    band = (bottom - top) / 3
    c.fill(rect(0.5 * s, top - 0.5 * s, 15.5 * s, bottom + 0.5 * s), (0x80, 0x80, 0x80))
    for i, colour in enumerate((WHITE, (0x1C, 0x3F, 0xAA), RED)):
        c.fill(rect(1 * s, top + i * band, 15 * s, top + (i + 1) * band), colour)
    return c.rows()


def english_picture():
    """The English language item: a blue field crossed by a white-edged red cross and
    white diagonals with red inner lines."""
    n = 32
    c = Canvas(n, n)
    x0, y0, x1, y1 = 1, 6, 31, 26
    c.fill(rect(x0 - 0.5, y0 - 0.5, x1 + 0.5, y1 + 0.5), (0x80, 0x80, 0x80))
    c.fill(rect(x0, y0, x1, y1), (0x1A, 0x2F, 0x80))
    clip = rect(x0, y0, x1, y1)

    def clipped(shape):
        return lambda x, y: clip(x, y) and shape(x, y)

    c.fill(clipped(union(segment(x0, y0, x1, y1, 4.5), segment(x0, y1, x1, y0, 4.5))), WHITE)
    c.fill(clipped(union(segment(x0, y0, x1, y1, 1.6), segment(x0, y1, x1, y0, 1.6))), RED)
    c.fill(union(rect(13, y0, 19, y1), rect(x0, 13, x1, 19)), WHITE)
    c.fill(union(rect(14.5, y0, 17.5, y1), rect(x0, 14.5, x1, 17.5)), RED)
    return c.rows()


def sound_picture():
    """The status bar's sound mark, 15 x 15: a loudspeaker with two waves."""
    c = Canvas(15, 15)
    c.fill(union(rect(1, 5, 4, 10), polygon([(4, 5), (8, 1.5), (8, 13.5), (4, 10)])), INK)
    c.fill(arc(8, 7.5, 3.2, 1.3, -50, 50), BLUE)
    c.fill(arc(8, 7.5, 5.8, 1.3, -55, 55), BLUE)
    return c.rows()


def connect_device_picture():
    """The search window's select button, 45 x 45: a plug going into a socket."""
    c = Canvas(45, 45)
    c.fill(rect(2, 2, 43, 43, 8), (0xE4, 0xF2, 0xE6))
    c.fill(minus(rect(2, 2, 43, 43, 8), rect(4, 4, 41, 41, 6.5)), GREEN)
    c.fill(rect(25, 12, 37, 33, 3), INK)
    c.fill(rect(28, 16, 31, 19), (0xE4, 0xF2, 0xE6))
    c.fill(rect(28, 26, 31, 29), (0xE4, 0xF2, 0xE6))
    c.fill(segment(5, 22.5, 12, 22.5, 3), STEEL)
    c.fill(rect(11, 15, 21, 30, 2.5), GREEN)
    c.fill(rect(21, 16.5, 26, 19), STEEL)
    c.fill(rect(21, 26, 26, 28.5), STEEL)
    return c.rows()


def device_picture():
    """A found device in the search list, 58 x 20: a unit with a display and keys."""
    c = Canvas(58, 20)
    c.fill(rect(1, 1, 57, 19, 3), (0x6E, 0x7A, 0x88))
    c.fill(rect(2, 2, 56, 18, 2.3), (0xC9, 0xD1, 0xD9))
    c.fill(rect(5, 5, 32, 15, 1), LCD)
    for row in range(2):
        for col in range(8):
            x = 6.5 + col * 3.2
            y = 6.2 + row * 4.4
            c.fill(rect(x, y, x + 2.2, y + 3.2), LCD_DARK)
    for i, colour in enumerate((GREEN, (0xE8, 0xB0, 0x3A), RED)):
        c.fill(circle(38 + i * 6, 10, 2.2), colour)
    return c.rows()


def error_icon(n):
    """An error line's mark: a red disc with a white exclamation mark."""
    s = n / 16
    c = Canvas(n, n)
    c.fill(circle(8 * s, 8 * s, 7.5 * s), (0x9E, 0x1A, 0x14))
    c.fill(circle(8 * s, 8 * s, 6.6 * s), RED)
    c.fill(rect(7 * s, 3 * s, 9 * s, 9.5 * s, 0.9 * s), WHITE)
    c.fill(circle(8 * s, 12 * s, 1.15 * s), WHITE)
    return c.rows()


# The busy animation: a ring of dots, a bright head with a fading tail running round.
BUSY_SIZE = 50
BUSY_DOTS = 12
BUSY_LEVELS = 8          # shades of coverage per dot colour
BUSY_DELAY_CS = 8
BUSY_BACKGROUND = (0xFF, 0xFF, 0xFF)


def busy_animation():
    head, tail = (0x1F, 0x5F, 0xB8), (0xC8, 0xD8, 0xEE)
    shades = [mix(tail, head, i / (BUSY_DOTS - 1)) for i in range(BUSY_DOTS)]
    # Index 0 is transparent; the others are a dot shade blended into the background.
    palette = [BUSY_BACKGROUND]
    for shade in shades:
        palette += [mix(BUSY_BACKGROUND, shade, (level + 1) / BUSY_LEVELS) for level in range(BUSY_LEVELS)]
    centre = BUSY_SIZE / 2
    frames = []
    for frame in range(BUSY_DOTS):
        c = Canvas(BUSY_SIZE, BUSY_SIZE)
        dots = []
        for dot in range(BUSY_DOTS):
            angle = 2 * math.pi * dot / BUSY_DOTS
            x = centre + 17 * math.sin(angle)
            y = centre - 17 * math.cos(angle)
            shade = BUSY_DOTS - 1 - (frame - dot) % BUSY_DOTS
            radius = 3.0 + 1.5 * shade / (BUSY_DOTS - 1)
            c.fill(circle(x, y, radius), (255, 255, 255, 255), box=(x - 5, y - 5, x + 6, y + 6))
            dots.append((x, y, shade))

        def shade_at(px, py):
            return min(dots, key=lambda d: (d[0] - px - 0.5) ** 2 + (d[1] - py - 0.5) ** 2)[2]

        indices = []
        for y, row in enumerate(c.rows()):
            for x, pixel in enumerate(row):
                level = round(pixel[3] / 255 * BUSY_LEVELS)
                indices.append(0 if level == 0 else 1 + shade_at(x, y) * BUSY_LEVELS + level - 1)
        frames.append(indices)
    return gif_bytes(BUSY_SIZE, BUSY_SIZE, palette, frames, BUSY_DELAY_CS, transparent=0)


def files():
    return {
        "connect.ico": ico_bytes([connect_icon(16), connect_icon(32), connect_icon(48)]),
        "binoculars.ico": ico_bytes([binoculars_icon(32), binoculars_icon(48), binoculars_icon(64)]),
        "russian.ico": ico_bytes([russian_icon(16), russian_icon(32)]),
        "english.png": png_bytes(english_picture()),
        "sound.png": png_bytes(sound_picture()),
        "connectr.png": png_bytes(connect_device_picture()),
        "device.png": png_bytes(device_picture()),
        "on.ico": ico_bytes([error_icon(16), error_icon(32)]),
        "load.gif": busy_animation(),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    stale = []
    for name, data in files().items():
        path = RESOURCES / name
        if args.check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(name)
        else:
            path.write_bytes(data)
    if stale:
        print(f"make_app_images: {', '.join(stale)} differ from the drawings; run {pathlib.Path(__file__).name}",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
