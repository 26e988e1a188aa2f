#!/usr/bin/env bash
# Builds the presets named, or all three: host (the logic and its unit tests
# against the simulated machine), win32 (build/win32/talvexun.exe, the
# program) and win64 (the same sources for x86_64, a test subject for 64-bit
# Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ $# -gt 0 ] || presets=(host win32 win64)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
