#!/usr/bin/env python3
"""Lays out a product's update from a folder of the update's files, checked first.

usage: make-update.py BUILD_DIR --product P --content DIR [--out DIR]
                      [--sign-pkcs12 FILE --sign-password-file FILE [--sign-timestamp-url URL]]
  DIR/updates/P (or --out): update.exe and the product's data folder with the content's files. A file
  whose name is in none of the product table's lists (installFiles, extraFiles) would be passed over by
  update.exe: it is refused, each fault one line on the error output, and nothing is written (exit 1).
  With a certificate update.exe and every program of the update are signed and verified."""
import argparse
import os
import sys
import tempfile

import medium_builder


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--product', required=True)
    parser.add_argument('--content', required=True)
    parser.add_argument('--out')
    parser.add_argument('--sign-pkcs12')
    parser.add_argument('--sign-password-file')
    parser.add_argument('--sign-timestamp-url')
    args = parser.parse_args()
    if bool(args.sign_pkcs12) != bool(args.sign_password_file):
        parser.error('signing needs both --sign-pkcs12 and --sign-password-file')
    product = medium_builder.Product(args.build, args.product)
    faults = medium_builder.check_update(product, args.content)
    if faults:
        for line in faults:
            print(line, file=sys.stderr)
        print('update: %d fault%s, nothing written' % (len(faults), '' if len(faults) == 1 else 's'), file=sys.stderr)
        sys.exit(1)
    out = args.out or os.path.join(args.build, 'updates', product.name)
    programs = medium_builder.lay_out_update(product, args.content, out)
    if args.sign_pkcs12:
        with tempfile.TemporaryDirectory() as work:
            signer = medium_builder.Signer(args.sign_pkcs12, args.sign_password_file, args.sign_timestamp_url, work,
                                           product.table['gameName'])
            for program in programs:
                signer.sign(program)
    count = len(os.listdir(os.path.join(out, product.folder)))
    print('update: %s, %d file%s' % (out, count, '' if count == 1 else 's'))


if __name__ == '__main__':
    main()
