#!/usr/bin/env bash
# Runs the end-to-end tests under Wine as an unprivileged user (as root, Wine
# would open read-only files for writing). Arguments go to
# tests/e2e/run_e2e.py (--only NAME, --shots DIR), or to the script that
# TALVEX_E2E_SCRIPT names there.
#
# The program is the i386 exe, build/win32/talvexun.exe, run by Wine's 32-bit
# loader. Some kernels (in some virtual machines) refuse to execute that
# loader; there the same sources built for x86_64 (build/win64) run under
# 64-bit Wine instead, in the same tests.
#   TALVEX_E2E_ARCH=i386|x86_64|both   forces the choice
#   TALVEX_E2E_EXE=PATH                another i386 talvexun.exe to test
set -euo pipefail
[ -n "${TALVEX_E2E_EXE:-}" ] && TALVEX_E2E_EXE=$(realpath -m "$TALVEX_E2E_EXE")
cd "$(dirname "$0")/.."
repo=$(pwd)

wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
runs() { [ -x "$1" ] && "$1" --version >/dev/null 2>&1; }
refused_i386() {
    if [ -x "$wine32" ]; then echo "this kernel cannot run Wine's 32-bit loader $wine32"
    else echo "Wine's 32-bit loader $wine32 is not installed"; fi
}

if [ ! -x "$wine32" ] && [ ! -x "$wine64" ]; then
    echo "e2e: skipped: Wine is not installed"
    exit 77
fi
if [ -n "${TALVEX_E2E_EXE:-}" ]; then
    if ! runs "$wine32"; then
        echo "e2e: skipped: the i386 exe $TALVEX_E2E_EXE cannot be run here: $(refused_i386)"
        exit 77
    fi
    arches=(i386)
else
    case "${TALVEX_E2E_ARCH:-}" in
        i386 | x86_64) arches=("$TALVEX_E2E_ARCH") ;;
        both) arches=(i386 x86_64) ;;
        "")
            if runs "$wine32"; then
                arches=(i386)
            else
                arches=(x86_64)
                echo "e2e: the x86_64 build stands in for the i386 exe: $(refused_i386)"
            fi
            ;;
        *) echo "e2e: TALVEX_E2E_ARCH must be i386, x86_64 or both" >&2; exit 2 ;;
    esac
fi
for arch in "${arches[@]}"; do
    if [ "$arch" = i386 ] && ! runs "$wine32"; then
        echo "e2e: FAILED: the i386 build cannot be run: $(refused_i386)"
        exit 1
    fi
    if [ "$arch" = x86_64 ] && ! runs "$wine64"; then
        echo "e2e: FAILED: 64-bit Wine ($wine64) does not run here"
        exit 1
    fi
done

user=talvex-e2e
if [ "$(id -u)" = 0 ]; then
    id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
    as_user() { runuser -u "$user" -- env HOME="$(getent passwd "$user" | cut -d: -f6)" "$@"; }
else
    as_user() { "$@"; }
fi
# The work folder shares a file system with the cached prefixes, which each
# scenario copies as hard links (a tmpfs /tmp or a separate /home would not).
# Those of killed runs go after a day.
work=$(as_user bash -c 'mkdir -p "$HOME/.cache" &&
    find "$HOME/.cache" -maxdepth 1 -name "talvex-e2e-work.*" -mmin +1440 -exec rm -rf {} + &&
    mktemp -d "$HOME/.cache/talvex-e2e-work.XXXXXX"')
trap 'rm -rf "$work"' EXIT
shots=""
args=()
while [ $# -gt 0 ]; do
    if [ "$1" = --shots ]; then shots=$(realpath -m "$2"); shift 2; else args+=("$1"); shift; fi
done
# The tests and the binaries go where that user can read them.
cp -r tests/e2e "$work/e2e"
for arch in "${arches[@]}"; do
    build=build/win32
    [ "$arch" = x86_64 ] && build=build/win64
    mkdir "$work/bin-$arch"
    cp "$build/talvexun.exe" "$build/box_driver.exe" "$build/talvex_idle.exe" "$work/bin-$arch/"
    exe="$build/talvexun.exe"
    if [ "$arch" = i386 ] && [ -n "${TALVEX_E2E_EXE:-}" ]; then
        exe=$TALVEX_E2E_EXE
        cp "$exe" "$work/bin-$arch/talvexun.exe"
    fi
    bits=32 loader=$wine32
    [ "$arch" = x86_64 ] && bits=64 loader=$wine64
    echo "$exe ($arch) under ${bits}-bit $("$loader" --version)" >"$work/bin-$arch/proves"
done
[ "$(id -u)" = 0 ] && chown -R "$user" "$work"

status=0
for arch in "${arches[@]}"; do
    run_args=("${args[@]}")
    # One set of screenshots: the first build's.
    [ -n "$shots" ] && [ "$arch" = "${arches[0]}" ] && run_args+=(--shots "$work/shots")
    proves=$(cat "$work/bin-$arch/proves")
    echo "e2e: running $proves"
    run_status=0
    as_user python3 "$work/e2e/${TALVEX_E2E_SCRIPT:-run_e2e.py}" --arch "$arch" \
        --bin "$work/bin-$arch" --work "$work/run-$arch" "${run_args[@]}" || run_status=$?
    if [ -z "${TALVEX_E2E_SCRIPT:-}" ]; then
        [ "$run_status" = 0 ] && echo "e2e: proved $proves" || echo "e2e: FAILED for $proves"
    fi
    [ "$run_status" = 0 ] || status=$run_status
done
if [ -n "$shots" ] && [ -d "$work/shots" ]; then
    mkdir -p "$shots" && cp "$work"/shots/*.png "$shots/" && chown -R --reference="$repo" "$shots"
fi
exit $status
