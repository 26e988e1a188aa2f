#!/usr/bin/env bash
# Builds the presets named, or all three, side by side: host (the logic and its
# unit tests against the simulated machine), win32 (build/win32/talvexun.exe,
# the program) and win64 (the same sources for x86_64, a test subject for
# 64-bit Wine). Each preset's output follows once it is built.
set -uo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ $# -gt 0 ] || presets=(host win32 win64)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
for preset in "${presets[@]}"; do
    { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } >"$logs/$preset" 2>&1 &
done
status=0
for preset in "${presets[@]}"; do
    wait -n || status=1
done
cat "${presets[@]/#/$logs/}"
exit "$status"
