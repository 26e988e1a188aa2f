#!/usr/bin/env bash
# Builds the host tests, build/win32/talvexun.exe (the program) and the same
# sources for x86_64 in build/win64 (a test subject for 64-bit Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset win64 >/dev/null
cmake --build --preset win64
