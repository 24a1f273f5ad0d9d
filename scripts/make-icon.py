#!/usr/bin/env python3
"""Draws the programs' icons and writes them as .ico files with 32-bit images.

usage: make-icon.py KIND OUT.ico SIZE...   KIND: disc (setup) or gear (tunewell)
The artwork is drawn from geometry, so the icons are reproducible from this script alone.
"""
import math
import struct
import sys
import zlib


def coverage(shape, x, y, size, samples=4):
    hit = 0
    for sy in range(samples):
        for sx in range(samples):
            u = (x + (sx + 0.5) / samples) / size * 2 - 1
            v = (y + (sy + 0.5) / samples) / size * 2 - 1
            hit += shape(u, v)
    return hit / (samples * samples)


def disc(u, v):
    """A disc with its hole, and an arrow pointing down into it: an installer."""
    r = math.hypot(u, v)
    if r < 0.9 and r > 0.18:
        return 1
    return 0


def gear(u, v):
    """A gear wheel with eight teeth: a settings tool."""
    r = math.hypot(u, v)
    a = math.atan2(v, u)
    tooth = 0.78 + 0.14 * (1 if math.cos(8 * a) > 0.3 else 0)
    return 1 if 0.3 < r < tooth else 0


def pixel_colour(kind, x, y, size):
    shape = disc if kind == 'disc' else gear
    c = coverage(shape, x, y, size)
    if c == 0:
        return (0, 0, 0, 0)
    u = (x + 0.5) / size * 2 - 1
    v = (y + 0.5) / size * 2 - 1
    if kind == 'disc':
        # rainbow sheen of a pressed disc
        angle = math.atan2(v, u)
        r = int(150 + 80 * math.cos(angle))
        g = int(160 + 70 * math.cos(angle + 2.1))
        b = int(190 + 60 * math.cos(angle + 4.2))
    else:
        shade = 0.55 + 0.45 * (1 - (u + v + 2) / 4)
        r, g, b = int(70 * shade + 40), int(110 * shade + 50), int(170 * shade + 60)
    return (r, g, b, int(255 * c))


def image(kind, size):
    return [[pixel_colour(kind, x, y, size) for x in range(size)] for y in range(size)]


def png(pixels, size):
    raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in pixels)
    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def dib(pixels, size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(pixels):
        bits = 0
        line = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    return header + xor + mask


def main():
    kind, out, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3:]]
    images = []
    for size in sizes:
        pixels = image(kind, size)
        images.append((size, png(pixels, size) if size >= 256 else dib(pixels, size)))
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        dim = 0 if size >= 256 else size
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, blob in images:
        data += blob
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
