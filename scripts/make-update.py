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

import medium_builder


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--product', required=True)
    parser.add_argument('--content', required=True)
    parser.add_argument('--out')
    medium_builder.add_signing_arguments(parser)
    args = parser.parse_args()
    medium_builder.check_signing_arguments(parser, args)
    product = medium_builder.Product(args.build, args.product)
    medium_builder.stop_on(medium_builder.check_update(product, args.content), 'update')
    out = args.out or os.path.join(args.build, 'updates', product.name)
    programs = medium_builder.lay_out_update(product, args.content, out)
    medium_builder.sign_all(args, product, programs)
    count = len(os.listdir(os.path.join(out, product.folder)))
    print('update: %s, %d file%s' % (out, count, '' if count == 1 else 's'))


if __name__ == '__main__':
    main()
