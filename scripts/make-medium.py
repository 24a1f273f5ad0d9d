#!/usr/bin/env python3
"""Lays out a product's medium from a content folder, checked first; without one, the sample medium
of Veyla and a sample update, reproducibly.

usage: make-medium.py BUILD_DIR [--product P --content DIR] [--out DIR] [--capacity-mb N] [--data-mb N]
                      [--sign-pkcs12 FILE --sign-password-file FILE [--sign-timestamp-url URL]]
  With --content (the layout is in scripts/medium_builder.py and docs/shipping.md): one folder and one ISO
  image per disc, DIR/media/P/disc1 and DIR/media/P/disc1.iso, ..., each image labelled as the product
  table says; each fault of the content folder is one line on the error output, and then nothing is
  written (exit 1). --capacity-mb is each disc's capacity (650, a CD, unless given).
  Without: DIR/medium (setup.exe, autorun.inf, Veyla/ with every product file and dcid.001, Data/
  setup01-08.bmp and setup001-007.wav, manual/manual.html) and DIR/update (update.exe, Veyla/update1.tpk),
  laid out by the same builder from a generated content folder (DIR/sample-content); --data-mb sets the
  size of data.tpk (48 MiB unless given).
DIR is BUILD_DIR unless given. The kit's programs come from BUILD_DIR/bin (the stand-in game from
BUILD_DIR/demo for the sample); with a certificate every program placed is signed (Authenticode,
SHA-256) with osslsigncode and its signature verified, while BUILD_DIR/bin stays as built."""
import argparse
import math
import os
import random
import shutil
import struct

import medium_builder

PALETTES = [  # sky top, sky bottom, far hills, near hills, sun
    ((20, 24, 70), (230, 120, 90), (90, 50, 90), (40, 25, 60), (255, 220, 150)),
    ((10, 40, 90), (120, 190, 230), (60, 110, 140), (30, 70, 90), (255, 250, 220)),
    ((60, 20, 60), (250, 170, 120), (140, 70, 90), (70, 30, 60), (255, 230, 160)),
    ((5, 10, 30), (40, 60, 120), (30, 40, 80), (15, 20, 45), (230, 230, 255)),
    ((30, 60, 40), (200, 230, 170), (80, 130, 80), (40, 80, 50), (255, 255, 210)),
    ((80, 30, 20), (250, 200, 110), (150, 80, 50), (80, 40, 30), (255, 240, 190)),
    ((15, 15, 40), (110, 80, 160), (70, 50, 110), (35, 25, 60), (250, 220, 255)),
    ((25, 35, 60), (170, 200, 220), (100, 120, 150), (50, 60, 90), (255, 255, 255)),
]

# A 5x7 pixel font for the title drawn on the pictures.
FONT = {
    'V': ['10001', '10001', '10001', '10001', '01010', '01010', '00100'],
    'E': ['11111', '10000', '10000', '11110', '10000', '10000', '11111'],
    'Y': ['10001', '10001', '01010', '00100', '00100', '00100', '00100'],
    'L': ['10000', '10000', '10000', '10000', '10000', '10000', '11111'],
    'A': ['01110', '10001', '10001', '11111', '10001', '10001', '10001'],
}


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def picture(index, width=560, height=320):
    top, bottom, far, near, sun = PALETTES[index % len(PALETTES)]
    rng = random.Random(index)
    phase1, phase2 = rng.random() * 6, rng.random() * 6
    sun_x, sun_y = width * (0.25 + 0.5 * rng.random()), height * (0.3 + 0.15 * rng.random())
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            c = mix(top, bottom, y / height)
            d = math.hypot(x - sun_x, y - sun_y)
            if d < 28:
                c = sun
            elif d < 60:
                c = mix(c, sun, (60 - d) / 80)
            hill1 = height * 0.62 + 28 * math.sin(x / 70 + phase1) + 12 * math.sin(x / 23 + phase2)
            hill2 = height * 0.78 + 20 * math.sin(x / 50 + phase2) + 8 * math.sin(x / 17)
            if y > hill1:
                c = far
            if y > hill2:
                c = near
            row.append(c)
        rows.append(row)
    # the title in the lower left, 4x scale
    text, scale, x0, y0 = 'VEYLA', 4, 24, height - 24 - 7 * 4
    for n, ch in enumerate(text):
        for gy, line in enumerate(FONT[ch]):
            for gx, bit in enumerate(line):
                if bit == '1':
                    for sy in range(scale):
                        for sx in range(scale):
                            rows[y0 + gy * scale + sy][x0 + n * 6 * scale + gx * scale + sx] = (245, 240, 230)
    return bmp(rows, width, height)


def bmp(rows, width, height):
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        data += line
    header = b'BM' + struct.pack('<IHHI', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def wave(index, seconds=1.2, rate=22050):
    notes = [523.25, 659.25, 783.99, 1046.5]
    base = notes[index % 4] * (1 + 0.05 * index)
    samples = bytearray()
    for n in range(int(seconds * rate)):
        t = n / rate
        envelope = math.exp(-3 * t)
        v = envelope * (0.6 * math.sin(2 * math.pi * base * t) + 0.3 * math.sin(2 * math.pi * base * 1.5 * t))
        samples += struct.pack('<h', int(v * 20000))
    return (b'RIFF' + struct.pack('<I', 36 + len(samples)) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data' + struct.pack('<I', len(samples)) + samples)


def write_pack(f, name, size, seed):
    rng = random.Random(seed)
    header = b'TPK1' + name.encode('ascii').ljust(28, b'\0')
    f.write(header)
    left = size - len(header)
    while left > 0:  # in pieces of whole 32-bit words: the same bytes as one piece
        n = min(left, 16 << 20)
        f.write(rng.randbytes(n))
        left -= n


README = """Veyla  README
================================

このたびは「Veyla」をお買い上げいただき、誠にありがとうございます。

■インストール
  ディスクをドライブに入れ、setup.exe を起動してください。
  「インストール先の参照」でインストール先を選び、「インストール」を押すと
  ゲームがインストールされます。

■起動
  スタートメニューの「TesmafromKuvel」→「Veyla」→「Veyla」から起動できます。

■設定
  インストール先フォルダの tunewell.exe で、描画方法やフルスクリーン時の
  拡大方法などを変更できます。

■アンインストール
  スタートメニューの「Veyla アンインストール」から行ってください。
  \\Program Files 以下にインストールした場合、セーブデータが残ることがあります。

■お問い合わせ
  TesmafromKuvel ユーザーサポート
"""

MANUAL = """<!DOCTYPE html>
<html lang="ja"><head><meta charset="Shift_JIS"><title>Veyla オンラインマニュアル</title>
<style>body{font-family:sans-serif;background:#101830;color:#e8e8f8;margin:2em}h1{color:#f0c090}
h2{border-bottom:1px solid #607090}</style></head>
<body><h1>Veyla オンラインマニュアル</h1>
<h2>はじめに</h2><p>「Veyla」の世界へようこそ。このマニュアルでは遊び方を説明します。</p>
<h2>操作方法</h2><ul><li>左クリック：決定・テキスト送り</li><li>右クリック：メニュー</li>
<li>ホイール：バックログ</li></ul>
<h2>設定ツール</h2><p>tunewell.exe で描画方法や拡大方法を選べます。</p>
</body></html>
"""


def sample_content(build, root, data_mb):
    """The sample product's content folder: the stand-in game, generated packs, pictures, sounds, manual."""
    shutil.rmtree(root, ignore_errors=True)
    disc = os.path.join(root, 'disc1')
    for d in (disc, os.path.join(root, 'slides'), os.path.join(root, 'manual')):
        os.makedirs(d)
    shutil.copy(os.path.join(build, 'demo', 'Veyla.exe'), disc)
    shutil.copy(os.path.join(build, 'generated', 'veyla', 'product.ico'), os.path.join(disc, 'icon.ico'))
    with open(os.path.join(disc, 'tncfg.dat'), 'wb') as f:
        f.write(medium_builder.tncfg_default())
    with open(os.path.join(disc, 'readme.txt'), 'wb') as f:
        f.write(README.replace('\n', '\r\n').encode('cp932'))
    with open(os.path.join(disc, 'data.tpk'), 'wb') as f:
        write_pack(f, 'data.tpk', data_mb << 20, 1)
    for n in range(1, 10):
        with open(os.path.join(disc, 'update%d.tpk' % n), 'wb') as f:
            write_pack(f, 'update%d.tpk' % n, (n * 300 + 100) << 10, 10 + n)
    for n in range(1, 9):
        with open(os.path.join(root, 'slides', 'setup%02d.bmp' % n), 'wb') as f:
            f.write(picture(n - 1))
    for n in range(1, 8):
        with open(os.path.join(root, 'slides', 'setup%03d.wav' % n), 'wb') as f:
            f.write(wave(n - 1))
    with open(os.path.join(root, 'manual', 'manual.html'), 'wb') as f:
        f.write(MANUAL.replace('\n', '\r\n').encode('cp932'))
    update = root + '-update'
    shutil.rmtree(update, ignore_errors=True)
    os.makedirs(update)
    with open(os.path.join(update, 'update1.tpk'), 'wb') as f:
        write_pack(f, 'update1.tpk', 512 << 10, 99)
    return update


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--out')
    parser.add_argument('--product', default='veyla')
    parser.add_argument('--content')
    parser.add_argument('--capacity-mb', type=int, default=650)
    parser.add_argument('--data-mb', type=int, default=48)
    medium_builder.add_signing_arguments(parser)
    args = parser.parse_args()
    medium_builder.check_signing_arguments(parser, args)
    if not args.content and args.product != 'veyla':
        parser.error('only the sample product is generated: give --content for another')
    build = args.build
    out = args.out or build
    product = medium_builder.Product(build, args.product)
    update_content = None
    content_root = args.content
    if not content_root:
        content_root = os.path.join(out, 'sample-content')
        update_content = sample_content(build, content_root, args.data_mb)
    content = medium_builder.check_medium(product, content_root, args.capacity_mb)
    medium_builder.stop_on(content.faults, 'medium')
    if update_content:
        medium_builder.stop_on(medium_builder.check_update(product, update_content), 'medium')
    if args.content:
        media = os.path.join(out, 'media', product.name)
        folders = [os.path.join(media, 'disc%d' % n) for n in range(1, product.disc_count + 1)]
    else:
        folders = [os.path.join(out, 'medium')]
    programs = medium_builder.lay_out(product, content, folders)
    if update_content:
        programs += medium_builder.lay_out_update(product, update_content, os.path.join(out, 'update'))
    # The copies are signed, after the build stripped them; what uninst.exe the game folder receives
    # is the signed one, as it is copied from the medium.
    medium_builder.sign_all(args, product, programs)
    if args.content:
        for n, folder in enumerate(folders, 1):
            medium_builder.make_image(folder, product.labels[n - 1], folder + '.iso')
            print('medium: disc %d of %s: %s, image %s.iso labelled %s' % (n, product.name, folder, folder,
                                                                          product.labels[n - 1]))
    else:
        print('medium: %s, update: %s' % (folders[0], os.path.join(out, 'update')))


if __name__ == '__main__':
    main()
