#!/usr/bin/env bash
# The main job, shown on a sample machine: builds talvexun.exe, makes a Wine
# prefix holding a Talvex installation, runs the uninstaller silently and
# prints what was removed and what stayed. It runs the i386 exe where the
# kernel runs Wine's 32-bit loader, else the x86_64 build (see scripts/e2e.sh).
#   scripts/demo.sh                  silent run
#   scripts/demo.sh --interactive    with its boxes under Xvfb, screenshots in out/demo
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh win32 win64 >/dev/null
echo "Built: build/win32/talvexun.exe ($(stat -c %s build/win32/talvexun.exe) bytes), the program,"
echo "       and build/win64/talvexun.exe, the same sources for 64-bit Wine"
args=()
if [ "${1:-}" = --interactive ]; then
    args=(--interactive --shots out/demo)
fi
TALVEX_E2E_SCRIPT=demo.py exec ./scripts/e2e.sh "${args[@]}"
