#!/usr/bin/env bash
# Builds talvexun.exe, checks that it loads on Windows 95, and writes the
# release into dist/: talvexun-VERSION.zip and the 1.44 MB floppy image
# talvexun-VERSION.img (each with the exe and README.TXT), talvexun.exe,
# README.TXT and SHA256SUMS (check with: cd dist && sha256sum -c SHA256SUMS).
# The same commit gives the same bytes on every machine with the same packages.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# The files in the zip and on the image carry the commit's time; the exe carries none.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
unset SOURCE_DATE_EPOCH
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target talvexun >/dev/null
python3 tests/pe/check_pe.py build/win32/talvexun.exe tests/pe/win95_imports.txt 12288
rm -rf dist
SOURCE_DATE_EPOCH=$epoch python3 scripts/release.py build/win32/talvexun.exe dist
