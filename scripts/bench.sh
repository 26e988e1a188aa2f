#!/usr/bin/env bash
# Repeats the measurements of docs/performance.md: the logic on the simulated
# machine (Google Benchmark), then talvexun.exe under Wine against a do-nothing
# exe, for each build that Wine runs here, and the size of the exe.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build/bench/tests/bench/logic_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
arch=x86_64
/usr/lib/wine/wine --version >/dev/null 2>&1 && arch=both
TALVEX_E2E_ARCH=$arch TALVEX_E2E_SCRIPT=wine_bench.py ./scripts/e2e.sh
echo "size: talvexun.exe $(stat -c %s build/win32/talvexun.exe) bytes"
