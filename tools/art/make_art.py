#!/usr/bin/env python3
"""Draws Corvane's program icon and its About window artwork.

Everything is computed here, pixel by pixel, with the standard library only, so the images
can be made again exactly: python3 tools/art/make_art.py ui/resources
"""
import math
import os
import random
import struct
import sys
import zlib


def png(width, height, rows, alpha):
    """Encodes rows of (r, g, b[, a]) tuples as a PNG file's bytes."""
    kind = 6 if alpha else 2
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel[:4] if alpha else pixel[:3])

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, kind, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


NAVY = (12, 38, 92)
BLUE = (36, 94, 196)
SKY = (120, 178, 242)
AMBER = (246, 176, 52)
WHITE = (250, 252, 255)


def ring_coverage(x, y, cx, cy, outer, inner, gap=35):
    """How much of the pixel (x, y) a thick 'C' opening to the right (no ring within `gap`
    degrees of the horizontal) covers, by 4 x 4 supersampling."""
    hits = 0
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4 - cx
            py = y + (sy + 0.5) / 4 - cy
            r = math.hypot(px, py)
            angle = math.degrees(math.atan2(-py, px)) % 360
            if inner <= r <= outer and gap < angle < 360 - gap:
                hits += 1
    return hits / 16


def icon(size):
    """A rounded blue tile with a white 'C' whose opening holds three amber bytes."""
    rows = []
    radius = size * 0.2
    for y in range(size):
        row = []
        for x in range(size):
            # Rounded-square mask, antialiased over one pixel.
            dx = max(radius - x - 0.5, 0, x + 0.5 - (size - radius))
            dy = max(radius - y - 0.5, 0, y + 0.5 - (size - radius))
            edge = radius - math.hypot(dx, dy) if dx and dy else min(x + 0.5, y + 0.5, size - x - 0.5, size - y - 0.5)
            a = max(0.0, min(1.0, edge + 0.5))
            colour = mix(SKY, NAVY, (x + y) / (2 * size))
            c = ring_coverage(x, y, size * 0.47, size * 0.5, size * 0.36, size * 0.22)
            colour = mix(colour, WHITE, c)
            row.append(colour + (round(a * 255),))
        rows.append(row)
    # The 'C' opens to the right; three bytes march out of it.
    cell = max(1, round(size * 0.09))
    for i in range(3):
        left = round(size * 0.66 + i * cell * 1.35)
        top = round(size * 0.5 - cell / 2)
        for y in range(top, min(size, top + cell)):
            for x in range(left, min(size, left + cell)):
                if rows[y][x][3] > 0:
                    rows[y][x] = mix(AMBER, WHITE, i * 0.2) + (rows[y][x][3],)
    return rows


def artwork(width=87, height=273, seed=1440):
    """A tall panel of byte tiles: plain bytes in greys above an amber line, their running sums
    (the encoded bytes) in blues below, with the 'C' of the icon at the top."""
    rng = random.Random(seed)
    rows = [[mix(NAVY, BLUE, y / height) for _ in range(width)] for y in range(height)]
    tile = 6
    plain = [rng.randrange(256) for _ in range((width // tile) * (height // tile))]
    running = 0
    for i, value in enumerate(plain):
        tx, ty = i % (width // tile), i // (width // tile)
        if ty * tile + tile > height:
            break
        running = (running + value) % 256
        top_half = ty * tile < height * 0.42
        if top_half:
            shade = 90 + value * 150 // 255
            colour = (shade, shade, min(255, shade + 10))
        else:
            colour = mix(BLUE, SKY, running / 255)
        if ty * tile == round(height * 0.42 / tile) * tile:
            colour = AMBER
        for y in range(ty * tile + 1, ty * tile + tile - 1):
            for x in range(tx * tile + 1, tx * tile + tile - 1):
                if x < width:
                    rows[y][x] = colour
    # A white 'C' near the top, over the tiles.
    for y in range(0, 70):
        for x in range(width):
            c = ring_coverage(x, y, width / 2, 36, 28, 17)
            rows[y][x] = mix(rows[y][x], WHITE, c)
    return rows


def ico(images):
    """A Windows icon file holding PNG images of the given sizes."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return header + entries + blobs


def main(folder):
    os.makedirs(folder, exist_ok=True)
    images = []
    for size in (16, 24, 32, 48, 64, 128, 256):
        data = png(size, size, icon(size), alpha=True)
        images.append((size, data))
        with open(os.path.join(folder, f"icon-{size}.png"), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "corvane.ico"), "wb") as f:
        f.write(ico([(s, d) for s, d in images if s in (16, 24, 32, 48, 256)]))
    with open(os.path.join(folder, "about-artwork.png"), "wb") as f:
        f.write(png(87, 273, artwork(), alpha=False))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "ui/resources")
