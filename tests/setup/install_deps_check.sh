#!/usr/bin/env bash
# scripts/install-deps.sh (or the script given) on a registry's bad day, with
# stand-ins for the package tools first on PATH, each logging its arguments
# (LOG.all; LOG gets the calls that would change the system): each case's
# calls, printed line and exit code. It touches nothing real.
set -uo pipefail
script=$(realpath "${1:-$(dirname "$0")/../../scripts/install-deps.sh}")
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
mkdir "$dir/bin" && passed=0 failed=0
stand_in() { printf '#!/bin/bash\necho "${0##*/} $*" >>"$LOG.all"\n%s\n' "$2" >"$dir/bin/$1" && chmod +x "$dir/bin/$1"; }
stand_in id 'echo "$AS_UID"' && stand_in locale 'true' && stand_in locale-gen 'printf "gen " >>"$LOG"'
stand_in dpkg-query '[[ $MISSING != all && " $MISSING " != *" ${@: -1} "* ]] && echo "install ok installed"'
stand_in dpkg '[ "$1" = --print-foreign-architectures ] && echo amd64 || printf "i386 " >>"$LOG"'
# The update always fails as a mirror mid-sync does. FAIL: plain (only -t
# installs), i386 (no i386 package at all), all (nothing installs).
stand_in apt-get 'a=" $* " t= w=; [[ $a == *" -t $RELEASE "* ]] && t=-t
[[ $a == *" wine32:i386 "* ]] && w=+w; printf "%s " "$1$t$w" >>"$LOG"
[ "$1" = update ] && exit 100
case $RELEASE$a in bookworm*-19-dev*|trixie*-14-dev*) exit 100 ;; esac # LLVM 14 or 19 only
case $FAIL in plain) [ -n "$t" ] ;; i386) [ -z "$w" ] ;; all) exit 1 ;; esac'
check() { # uid, missing packages, failure, exit code, calls, printed line
    : >"$dir/log" && : >"$dir/log.all"
    out=$(PATH="$dir/bin:$PATH" AS_UID=$1 MISSING=$2 FAIL=$3 LOG="$dir/log" TALVEX_APT_RETRY_DELAY=0 RELEASE=$release \
        TALVEX_OS_RELEASE="$dir/os-release" TALVEX_LOCALE_GEN="$dir/locale.gen" bash "$script" 2>&1)
    status=$? calls=$(cat "$dir/log")
    if [ "$status" = "$4" ] && [ "$calls" = "$5" ] && grep -qF -- "$6" <<<"$out"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s/%s/%s/%s: exit %s, calls: %s\n%s\n%s\n' "$release" "$1" "$2" "$3" "$status" "$calls" "$out" \
            "$(grep -v '^id \|^dpkg-query ' "$dir/log.all")"
    fi
}
# Debian 12 and 13: each its own LLVM, and the install targets its own release.
for release in bookworm trixie; do
echo "VERSION_CODENAME=$release" >"$dir/os-release"
check 0 all none 0 "i386 update update update install+w gen " "going on with the package lists at hand"
check 0 all plain 0 "i386 update update update install+w install-t+w gen " "trying again with -t $release"
check 0 all i386 0 "i386 update update update install+w install-t+w install gen " "wine32:i386 cannot be installed now"
check 0 all all 1 "i386 update update update install+w install-t+w install install-t " "FAILED: apt-get install"
check 0 wine32:i386 all 0 "i386 update install+w install-t+w gen " "wine32:i386 cannot be installed now"
check 1000 wine32:i386 all 0 "" "wine32:i386 cannot be installed now"
done
echo "install-deps checks: $passed passed, $failed failed"
[ "$failed" = 0 ]
