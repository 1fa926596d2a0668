"""A small antialiased rasteriser and the image file writers (PNG, ICO, GIF) that the
program's artwork scripts share. Standard library only."""

import math
import struct
import zlib

SUBSAMPLES = 4  # per axis: 16 samples decide a pixel's coverage


def mix(a, b, t):
    """Colour a..b at t in 0..1, per channel."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


class Canvas:
    """RGBA pixels, row 0 at the top; shapes are filled by their coverage."""

    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [[list(background) for _ in range(width)] for _ in range(height)]

    def fill(self, inside, colour, box=None):
        """Blends `colour` (RGB or RGBA) over every pixel by the share of its samples for
        which inside(x, y) holds; x, y are in pixels, (0, 0) the top-left corner."""
        r, g, b = colour[:3]
        alpha = colour[3] / 255 if len(colour) > 3 else 1.0
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        step = 1 / SUBSAMPLES
        for y in range(max(0, int(y0)), min(self.height, math.ceil(y1))):
            for x in range(max(0, int(x0)), min(self.width, math.ceil(x1))):
                hits = sum(inside(x + (i + 0.5) * step, y + (j + 0.5) * step)
                           for i in range(SUBSAMPLES) for j in range(SUBSAMPLES))
                if hits:
                    self._blend(x, y, (r, g, b), alpha * hits / SUBSAMPLES ** 2)

    def _blend(self, x, y, rgb, a):
        pixel = self.pixels[y][x]
        below = pixel[3] / 255
        out = a + below * (1 - a)
        if out <= 0:
            return
        for c in range(3):
            pixel[c] = round((rgb[c] * a + pixel[c] * below * (1 - a)) / out)
        pixel[3] = round(out * 255)

    def rows(self):
        return [[tuple(p) for p in row] for row in self.pixels]


# Shapes: each returns inside(x, y).

def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + radius - x, 0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, inner, outer):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                result = not result
        return result
    return inside


def segment(xa, ya, xb, yb, width):
    half = width / 2
    length2 = (xb - xa) ** 2 + (yb - ya) ** 2

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - xa) * (xb - xa) + (y - ya) * (yb - ya)) / length2))
        px, py = xa + t * (xb - xa), ya + t * (yb - ya)
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return inside


def arc(cx, cy, radius, width, start_deg, end_deg):
    """A stroke along a circle between two angles (degrees, counter-clockwise, 0 = east)."""
    half = width / 2

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - radius) > half:
            return False
        angle = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return any(start_deg <= a <= end_deg for a in (angle - 360, angle, angle + 360))
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


# File writers.

def png_bytes(rows):
    """RGBA rows as a PNG file."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def _dib(rows):
    """One icon image: a 32-bit BGRA bitmap, bottom row first, and its AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_row_bytes = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def ico_bytes(images):
    """Square RGBA images (a list of rows each) as one ICO file, smallest first."""
    images = sorted(images, key=len)
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bodies = b""
    for rows in images:
        body = _dib(rows)
        size = len(rows)
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset + len(bodies))
        bodies += body
    return directory + bodies


def _lzw(indices, min_code_size):
    """GIF's variable-length LZW of the palette indices, as bytes."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = fresh()
    emit(clear, width)
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], width)
        if next_code < 4096:
            table[candidate] = next_code
            if next_code == 1 << width and width < 12:
                width += 1
            next_code += 1
        else:
            emit(clear, width)
            table, next_code, width = fresh()
        current = (index,)
    if current:
        emit(table[current], width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def _sub_blocks(data):
    return b"".join(bytes((len(data[i:i + 255]),)) + data[i:i + 255] for i in range(0, len(data), 255)) + b"\x00"


def gif_bytes(width, height, palette, frames, delay_cs, transparent):
    """An endlessly looping GIF89a animation: `frames` are lists of palette indices, row
    after row; `palette` has at most 256 RGB entries, `transparent` is an index of it."""
    bits = max(1, math.ceil(math.log2(max(2, len(palette)))))
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    data = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (bits - 1), transparent, 0)
    data += b"".join(bytes(c) for c in table)
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    min_code_size = max(2, bits)
    for indices in frames:
        # Disposal 2: each frame is drawn on a cleared area, so no dot is left behind.
        data += b"\x21\xf9\x04" + struct.pack("<BHB", (2 << 2) | 1, delay_cs, transparent) + b"\x00"
        data += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        data += bytes((min_code_size,)) + _sub_blocks(_lzw(indices, min_code_size))
    return data + b"\x3b"
