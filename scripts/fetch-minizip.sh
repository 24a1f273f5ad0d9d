#!/usr/bin/env bash
# Fetches minizip's reader (unzip.c, ioapi.c and their headers) from Debian's zlib source package
# into DEST. Nothing of it is committed; the build calls this when DEST is empty.
set -euo pipefail
dest=${1:?usage: fetch-minizip.sh DEST}
if [ -f "$dest/unzip.c" ] && [ -f "$dest/ioapi.c" ]; then exit 0; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get source --download-only zlib >/dev/null 2>&1; then
  apt-get update -qq >/dev/null 2>&1 || true
  apt-get source --download-only zlib >/dev/null
fi
tarball=$(ls zlib_*.orig.tar.* | head -n1)
tar -xf "$tarball" --wildcards '*/contrib/minizip/unzip.[ch]' '*/contrib/minizip/ioapi.[ch]' '*/contrib/minizip/crypt.h'
mkdir -p "$dest"
cp */contrib/minizip/unzip.[ch] */contrib/minizip/ioapi.[ch] */contrib/minizip/crypt.h "$dest/"
echo "minizip: sources from $tarball in $dest"
