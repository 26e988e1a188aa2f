#!/usr/bin/env bash
# Checks that a build is reproducible: the working tree's files, copied into
# two directories of different paths, each build talvexun.exe and pack the
# release in a time zone of its own, and the exes and the whole releases (zip,
# floppy image, checksums) must be the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Only the packing gets the commit's time: the build must be reproducible by
# itself (ld would take its time stamp from SOURCE_DATE_EPOCH too).
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
unset SOURCE_DATE_EPOCH
trees=("$work/a" "$work/a much/longer path to/the second tree")
zones=("UTC0" "<+14>-14")
# The two trees build side by side, one a core.
builds=()
for i in 0 1; do
    tree=${trees[$i]}
    mkdir -p "$tree"
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -f "$f" ] && printf '%s\0' "$f"; done |
        xargs -0 cp --parents -t "$tree"
    (cd "$tree" && cmake --preset win32 >/dev/null && cmake --build --preset win32 --target talvexun -j 1 >/dev/null &&
        TZ=${zones[$i]} SOURCE_DATE_EPOCH=$epoch python3 scripts/release.py build/win32/talvexun.exe dist >/dev/null) &
    builds+=($!)
done
for build in "${builds[@]}"; do wait "$build" || { echo "reproducible: a build failed"; exit 1; }; done
if ! cmp "${trees[0]}/build/win32/talvexun.exe" "${trees[1]}/build/win32/talvexun.exe" ||
    ! diff -r "${trees[0]}/dist" "${trees[1]}/dist"; then
    echo "reproducible: two builds of the same sources differ"
    exit 1
fi
echo "reproducible: talvexun.exe $(sha256sum <"${trees[0]}/build/win32/talvexun.exe" | cut -c1-16)... and the release with its image $(sha256sum <"${trees[0]}"/dist/talvexun-*.img | cut -c1-16)..., the same from two directories"
