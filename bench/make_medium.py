#!/usr/bin/env python3
"""Writes the deterministic benchmark medium (about 1 GiB) into DEST/Veyla:
16 plain files from empty to a few hundred MiB (one of exactly 131,072 bytes) and three zip
archives with about 2000 entries in nested folders, compressible and incompressible data mixed.
Prints the names of the plain files and of the archives, one per line, as 'plain NAME' / 'zip NAME'."""
import os
import random
import sys
import zipfile

MiB = 1 << 20
LAYOUT = 'distinct entry names\n'
PLAIN = [0, 1, 1000, 131072, 65535, 65537, 300000, MiB, 3 * MiB, 8 * MiB, 17 * MiB, 33 * MiB, 64 * MiB,
         100 * MiB, 160 * MiB, 380 * MiB]
WORDS = [b'Veyla ', b'scene ', b'voice ', b'engine ', b'save ', b'disc ', b'\r\n']


def noise(rng, size):
    return rng.randbytes(size)


def text(rng, size):
    out = bytearray()
    while len(out) < size:
        out += rng.choice(WORDS)
    return bytes(out[:size])


def write_file(path, size, seed):
    rng = random.Random(seed)
    with open(path, 'wb') as f:
        left = size
        while left > 0:
            n = min(left, 4 * MiB)
            f.write(noise(rng, n) if seed % 2 else text(rng, n))
            left -= n


def main():
    dest = os.path.join(sys.argv[1], 'Veyla')
    os.makedirs(dest, exist_ok=True)
    stamp = os.path.join(dest, '.complete')
    names = []
    for i, size in enumerate(PLAIN):
        names.append(('plain', 'file%02d.bin' % i, size, i))
    for a in range(3):
        names.append(('zip', 'Arc%d.zip' % a, 0, 100 + a))
    # The stamp holds the layout it was made with: a medium of an earlier layout is made again.
    made = open(stamp).read() if os.path.exists(stamp) else None
    if made != LAYOUT:
        for kind, name, size, seed in names:
            path = os.path.join(dest, name)
            if kind == 'plain':
                write_file(path, size, seed)
                continue
            rng = random.Random(seed)
            with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
                for e in range(667):
                    folder = 'd%d/s%02d/t%d' % (e % 7, e % 13, e % 3)
                    size = rng.choice([0, 100, 4096, 20000, 65536, 150000, 400000])
                    data = noise(rng, size) if e % 2 else text(rng, size)
                    # Every entry its own file: the archives share folders, never names.
                    info = zipfile.ZipInfo('%s/e%04d.dat' % (folder, (seed - 100) * 667 + e), date_time=(2020, 1, 1, 0, 0, 0))
                    info.compress_type = zipfile.ZIP_DEFLATED
                    z.writestr(info, data)
        with open(stamp, 'w') as f:
            f.write(LAYOUT)
    for kind, name, _, _ in names:
        print(kind, name)


if __name__ == '__main__':
    main()
