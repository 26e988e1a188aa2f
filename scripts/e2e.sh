#!/usr/bin/env bash
# Runs the end-to-end tests of build/win32/talvexun.exe under Wine as an
# unprivileged user (as root, Wine would open read-only files for writing).
# Arguments go to tests/e2e/run_e2e.py (--only NAME, --shots DIR), or to the
# script that TALVEX_E2E_SCRIPT names there.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
# Wine runs a 32-bit exe through its 32-bit loader, which some kernels (in
# some virtual machines) refuse to execute at all: then there is nothing to
# run, and the caller is told so with exit code 77.
if ! wine --version >/dev/null 2>&1; then
    echo "e2e: skipped: this kernel cannot run Wine's 32-bit loader ($(wine --version 2>&1 | tail -1))"
    exit 77
fi
user=talvex-e2e
if [ "$(id -u)" = 0 ]; then
    id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
    as_user() { runuser -u "$user" -- env HOME="$(getent passwd "$user" | cut -d: -f6)" "$@"; }
else
    as_user() { "$@"; }
fi
work=$(as_user mktemp -d /tmp/talvex-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The tests and the binaries go where that user can read them.
cp -r tests/e2e "$work/e2e"
mkdir "$work/bin"
# TALVEX_E2E_EXE names another talvexun.exe to test (an absolute path), such as a release's.
cp "${TALVEX_E2E_EXE:-build/win32/talvexun.exe}" "$work/bin/talvexun.exe"
cp build/win32/box_driver.exe build/win32/talvex_idle.exe "$work/bin/"
shots=""
args=()
while [ $# -gt 0 ]; do
    if [ "$1" = --shots ]; then shots=$(realpath -m "$2"); shift 2; else args+=("$1"); shift; fi
done
[ -n "$shots" ] && args+=(--shots "$work/shots")
[ "$(id -u)" = 0 ] && chown -R "$user" "$work"
status=0
as_user python3 "$work/e2e/${TALVEX_E2E_SCRIPT:-run_e2e.py}" --bin "$work/bin" --work "$work/run" "${args[@]}" || status=$?
if [ -n "$shots" ] && [ -d "$work/shots" ]; then
    mkdir -p "$shots" && cp "$work"/shots/*.png "$shots/" && chown -R --reference="$repo" "$shots"
fi
exit $status
