#!/usr/bin/env bash
# Runs every test: the set-up script's checks, the PE check of the exe, the
# end-to-end tests under Wine (from the moment the exes are built, beside the
# two checks before), unit tests under the sanitizers, a reproducible build,
# short fuzzing runs (a fixed number of runs, or TALVEX_FUZZ_SECONDS each
# where set) and the release's floppy image read back. Installs what is missing
# first (as root). Prints each stage's time and ends with one line: "all: N
# passed, N failed, N skipped"; a stage is skipped only where the machine
# cannot run it (exit code 77).
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh || exit 1

passed=0
failed=0
skipped=0
count() {
    case $1 in
        0) passed=$((passed + 1)) ;;
        77) skipped=$((skipped + 1)); echo "== $2 SKIPPED" ;;
        *) failed=$((failed + 1)); echo "== $2 FAILED" ;;
    esac
}
stage() {
    local name=$1 status=0 start=$SECONDS
    shift
    echo "== $name"
    "$@" || status=$?
    echo "== $name: $((SECONDS - start)) s"
    count "$status" "$name"
}
build() {
    local start=$SECONDS
    ./scripts/build.sh "$@" >/dev/null || { echo "build failed"; ./scripts/build.sh "$@"; exit 1; }
    echo "== build of $*: $((SECONDS - start)) s"
}

pe_check() {
    python3 tests/pe/check_pe.py build/win32/talvexun.exe tests/pe/win95_imports.txt 12288
}
# The check must also see what it is there to catch: box_driver.exe links the
# C runtime and calls functions that Windows 95 lacks.
pe_check_rejects() {
    ! python3 tests/pe/check_pe.py build/win32/box_driver.exe tests/pe/win95_imports.txt 12288 \
        >/tmp/talvex-pe-negative.log || { echo "PE check passed a forbidden exe"; return 1; }
    grep -q "msvcrt.dll" /tmp/talvex-pe-negative.log
}

build win32 win64
# The end-to-end tests start on the exes at once. Beside their first seconds,
# when Wine boots a prefix on one core, run the stages that take one core
# only; the stages that take both follow once they are done, so that each
# stage's time stays its own.
wine=$(mktemp -d)
trap 'rm -rf "$wine"' EXIT
(
    start=$SECONDS
    status=0
    ./scripts/e2e.sh >"$wine/report" 2>&1 || status=$?
    echo "$status $((SECONDS - start))" >"$wine/result"
) &
stage "set-up script" tests/setup/install_deps_check.sh
stage "PE check" pe_check
stage "PE check rejects a forbidden exe" pe_check_rejects
echo "== end-to-end under Wine"
wait
cat "$wine/report"
read -r status seconds <"$wine/result"
echo "== end-to-end under Wine: $seconds s"
count "$status" "end-to-end under Wine"
build host
stage "unit tests" ctest --preset host
stage "reproducible build" ./scripts/reproducible.sh
stage "fuzzing" ./scripts/fuzz.sh ${TALVEX_FUZZ_SECONDS:-}
stage "floppy image" ./scripts/image_check.sh
echo "all: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
