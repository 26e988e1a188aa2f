#!/usr/bin/env bash
# Builds the host tests and build/win32/talvexun.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset win32 >/dev/null
cmake --build --preset win32
