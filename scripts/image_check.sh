#!/usr/bin/env bash
# Checks the release's floppy image as an old machine would take it: a sound
# 1.44 MB FAT12 disk labelled TALVEX whose root holds just TALVEXUN.EXE and
# README.TXT, byte for byte the release's files and stamped as the zip's
# members; and the exe read back from it is build/win32/talvexun.exe, which
# the Wine tests run. Usage: image_check.sh [DIST]; without DIST it packs a
# release of build/win32/talvexun.exe into a temporary folder first.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin" # fsck.fat lives there, outside a user's PATH
dist=$([ $# -gt 0 ] && realpath "$1" || true)
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "image: $*"
    exit 1
}
if [ -z "$dist" ]; then
    dist=$work/dist
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800) \
        python3 scripts/release.py build/win32/talvexun.exe "$dist" >/dev/null
fi
images=("$dist"/talvexun-*.img)
[ ${#images[@]} = 1 ] && [ -f "${images[0]}" ] || fail "no single talvexun-VERSION.img in $dist"
image=${images[0]}
grep -q "  ${image##*/}\$" "$dist/SHA256SUMS" || fail "SHA256SUMS does not list ${image##*/}"

size=$(stat -c %s "$image")
[ "$size" = 1474560 ] || fail "$size bytes, not the 1,474,560 of a 1.44 MB disk"
# fsck.fat reads the disk apart from the tools that wrote it: its structure
# must be sound and its geometry the standard one (80 tracks x 2 sides x 18).
fsck.fat -n -v "$image" >"$work/fsck.log" 2>&1 || { cat "$work/fsck.log"; fail "fsck.fat finds faults"; }
for line in "2 FATs, 12 bit entries" "18 sectors/track, 2 heads" "2880 sectors total" \
    "Media byte 0xf0"; do
    grep -qF "$line" "$work/fsck.log" || { cat "$work/fsck.log"; fail "not a standard 1.44 MB FAT12 disk: no '$line'"; }
done

# mtools with no user's settings; times as UTC, as the zip's stamps are.
mt() { env -i PATH="$PATH" HOME="$work" TZ=UTC MTOOLS_SKIP_CHECK=1 "$@"; }
label=$(mt mlabel -s -i "$image" ::)
[ "$(echo $label)" = "Volume label is TALVEX" ] || fail "label: $label"
# The bare listing shows long names and lower-case flags as Windows would.
names=$(mt mdir -b -a -i "$image" :: | sort)
[ "$names" = $'::/README.TXT\n::/TALVEXUN.EXE' ] || fail "root holds: $(echo $names)"
mkdir "$work/read"
mt mcopy -m -n -i "$image" ::TALVEXUN.EXE ::README.TXT "$work/read/"
cmp "$work/read/TALVEXUN.EXE" "$dist/talvexun.exe" || fail "TALVEXUN.EXE differs from dist's talvexun.exe"
cmp "$work/read/README.TXT" "$dist/README.TXT" || fail "README.TXT differs from dist's"
python3 - "$dist" "$work/read" <<'EOF' || fail "a file's time differs from the zip's"
import calendar, os, sys, zipfile
from pathlib import Path
dist, read = Path(sys.argv[1]), Path(sys.argv[2])
(archive,) = dist.glob("talvexun-*.zip")
bad = 0
for info in zipfile.ZipFile(archive).infolist():
    zipped = calendar.timegm(info.date_time + (0, 0, 0))
    imaged = int(os.stat(read / info.filename.upper()).st_mtime)
    if zipped != imaged:
        print(f"{info.filename}: zip {zipped}, image {imaged}")
        bad = 1
sys.exit(bad)
EOF
echo "image: ${image##*/} $(sha256sum <"$image" | cut -c1-16)...: 1.44 MB FAT12, TALVEX, TALVEXUN.EXE and README.TXT as in dist/"

# The exe as it comes off the disk is the one the Wine stage of the test
# command proves, byte for byte.
cmp "$work/read/TALVEXUN.EXE" build/win32/talvexun.exe ||
    fail "TALVEXUN.EXE differs from build/win32/talvexun.exe, the exe the Wine tests run"
echo "image: TALVEXUN.EXE is build/win32/talvexun.exe, byte for byte"
